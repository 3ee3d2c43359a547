#include "app/startup_rules.h"

#include "family/family_table.h"

namespace cvl {

void ApplyVdevRule(InstallOptions &options, OsKind osKind) {
    bool familyAllows = false;
    for (const FamilyRow &row : FamilyRows())
        familyAllows =
            familyAllows || (row.carriesVirtualDevice && options.families.Has(row.family));
    if (!(familyAllows && IsNtFrom2000On(osKind))) options.families.Remove(FamilyVdevQ2dp);
}

}  // namespace cvl

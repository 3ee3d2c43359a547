#include "uninstall/description_tables.h"

#include "family/family_table.h"

namespace cvl {

DescriptionLists DescriptionListsFor(DeviceFamily family) {
    const FamilyRow *row = FamilyRowOf(family);
    if (row == nullptr) return {};
    return {row->exactDescriptions, row->descriptionPrefixes};
}

}  // namespace cvl

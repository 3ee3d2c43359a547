#include "app/startup_rules.h"

namespace cvl {

void ApplyVdevRule(InstallOptions &options, OsKind osKind) {
    const bool familyAllows = options.b702 || options.vistaB701;
    if (!(familyAllows && IsNtFrom2000On(osKind))) options.vdevQ2dp = false;
}

}  // namespace cvl

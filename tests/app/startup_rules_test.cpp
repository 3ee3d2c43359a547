// The start-up rule for the virtual-device family.
#include "app/startup_rules.h"

#include <gtest/gtest.h>

#include "system/os_detect.h"

namespace cvl {
namespace {

TEST(VdevRuleTest, KeptOnlyWithItsFamiliesOnWindows2000ToWindows7AndLater) {
    struct Case {
        bool b702, vistaB701;
        OsKind osKind;
        bool kept;
    };
    for (const Case &c :
         {Case{true, false, OsNt6Later, true}, Case{false, true, OsNt50, true},
          Case{true, true, OsNt60, true}, Case{false, true, OsNt5Later, true},
          Case{true, false, OsNt4, false}, Case{false, true, Os9xMe, false},
          Case{true, false, Os9x98, false}, Case{true, false, Os9x95, false},
          Case{false, false, OsNt6Later, false}, Case{true, false, OsUnsupported, false}}) {
        InstallOptions options;
        options.families.Add(FamilyVdevQ2dp);
        if (c.b702) options.families.Add(FamilyPcie);
        if (c.vistaB701) options.families.Add(FamilyVistaB701);
        options.families.Add(FamilyVistaB703);  // other families do not carry it
        options.families.Add(FamilyPci);
        ApplyVdevRule(options, c.osKind);
        EXPECT_EQ(options.families.Has(FamilyVdevQ2dp), c.kept)
            << c.b702 << c.vistaB701 << " os " << static_cast<int>(c.osKind);
    }
}

}  // namespace
}  // namespace cvl

// The start-up rule for the virtual-device family.
#include "app/startup_rules.h"

#include <gtest/gtest.h>

#include "app/os_detect.h"

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
        options.vdevQ2dp = true;
        options.b702 = c.b702;
        options.vistaB701 = c.vistaB701;
        options.vistaB703 = true;  // other families do not carry it
        ApplyVdevRule(options, c.osKind);
        EXPECT_EQ(options.vdevQ2dp, c.kept)
            << c.b702 << c.vistaB701 << " os " << static_cast<int>(c.osKind);
    }
}

}  // namespace
}  // namespace cvl

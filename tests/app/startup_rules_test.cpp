// The start-up rule for the virtual-device family.
#include "app/startup_rules.h"

#include <gtest/gtest.h>

#include "app/os_detect.h"

namespace cvl {
namespace {

TEST(VdevRuleTest, KeptOnlyWithItsFamiliesOnWindows2000ToWindows7AndLater) {
    struct Case {
        std::uint32_t b702, vistaB701, osKind, kept;
    };
    for (const Case &c :
         {Case{1, 0, OsNt6Later, 1}, Case{0, 1, OsNt50, 1}, Case{1, 1, OsNt60, 1},
          Case{0, 1, OsNt5Later, 1}, Case{1, 0, OsNt4, 0}, Case{0, 1, Os9xMe, 0},
          Case{1, 0, Os9x98, 0}, Case{1, 0, Os9x95, 0}, Case{0, 0, OsNt6Later, 0}}) {
        InstallOptions options;
        options.vdevQ2dp = 1;
        options.b702 = c.b702;
        options.vistaB701 = c.vistaB701;
        options.vistaB703 = 1;  // other families do not carry it
        ApplyVdevRule(options, c.osKind);
        EXPECT_EQ(options.vdevQ2dp, c.kept) << c.b702 << c.vistaB701 << " os " << c.osKind;
    }
}

}  // namespace
}  // namespace cvl

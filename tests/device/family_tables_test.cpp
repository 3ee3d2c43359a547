// The forms of the family id tables' entries.
#include "device/family_tables.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "support/families.h"

namespace cvl {
namespace {

using test::kEveryFamily;
using test::kNoSuchFamily;

TEST(FamilyTablesTest, EveryEntryHasTheFormItIsComparedIn) {
    for (DeviceFamily family : kEveryFamily) {
        for (std::u16string_view id : FamilyHardwareIds(family)) {
            const bool pci = id.substr(0, 17) == u"PCI\\VEN_1F3A&DEV_" && id.size() == 29 &&
                             id.substr(21, 4) == u"&CC_";
            const bool usb = id.substr(0, 8) == u"usb\\vid_" && id.size() == 30 &&
                             id.substr(12, 5) == u"&pid_" && id.substr(21, 5) == u"&rev_";
            EXPECT_TRUE(pci || usb) << ToUtf8(id);
        }
        // Prefixes are compared over 21 characters with a lower-cased
        // ComponentId.
        for (std::u16string_view prefix : FamilyComponentPrefixes(family)) {
            EXPECT_EQ(prefix.size(), 21u) << ToUtf8(prefix);
            EXPECT_EQ(prefix, LoweredAZ(prefix)) << ToUtf8(prefix);
        }
    }
}

TEST(FamilyTablesTest, EveryFamilyButTheVirtualDeviceCanBeSwitched) {
    for (DeviceFamily family : kEveryFamily) {
        EXPECT_FALSE(FamilyHardwareIds(family).empty()) << static_cast<int>(family);
        EXPECT_EQ(FamilyComponentPrefixes(family).empty(), family == FamilyVdevQ2dp)
            << static_cast<int>(family);
    }
    EXPECT_TRUE(FamilyHardwareIds(kNoSuchFamily).empty());
    EXPECT_TRUE(FamilyComponentPrefixes(kNoSuchFamily).empty());
}

}  // namespace
}  // namespace cvl

// The two matching rules and which families each adapter belongs to.
#include "device/family_match.h"

#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"
#include "app/hardware_id_builders.h"
#include "common/text.h"
#include "platform/sim/simulated_platform.h"
#include "support/families.h"

namespace cvl {
namespace {

using test::kEveryFamily;
using test::kNoSuchFamily;

// Which families an adapter belongs to: through its whole hardware id (the
// install, uninstall and parameter walks) and through the ComponentId its
// driver records (the enable and disable walks).
struct AdapterCase {
    std::u16string_view hardwareId;
    std::u16string_view componentId;
    std::vector<DeviceFamily> byHardwareId;
    std::vector<DeviceFamily> byComponentId;
};

void PrintTo(const AdapterCase &c, std::ostream *out) {
    *out << ToUtf8(c.hardwareId);
}

class FamilyMembershipTest : public ::testing::TestWithParam<AdapterCase> {};

TEST_P(FamilyMembershipTest, AnAdapterBelongsToTheFamiliesOfItsChip) {
    const AdapterCase &c = GetParam();
    const HardwareIdLists none{};
    std::vector<DeviceFamily> byHardwareId, byComponentId;
    for (DeviceFamily family : kEveryFamily) {
        if (MatchFullId(family, c.hardwareId, OemIgnored, none)) byHardwareId.push_back(family);
        if (MatchComponentPrefix(family, c.componentId, none)) byComponentId.push_back(family);
    }
    EXPECT_EQ(test::FamilyCodes(byHardwareId), test::FamilyCodes(c.byHardwareId))
        << ToUtf8(c.hardwareId);
    EXPECT_EQ(test::FamilyCodes(byComponentId), test::FamilyCodes(c.byComponentId))
        << ToUtf8(c.componentId);
}

INSTANTIATE_TEST_SUITE_P(
    Chips, FamilyMembershipTest,
    ::testing::Values(
        // The PCI chips: B701, B703 and B704 are PCI, B702 and later
        // PCI-Express; the B701 driver covers every chip but B703.
        AdapterCase{u"PCI\\VEN_1F3A&DEV_B701&CC_0200",
                    u"pci\\ven_1f3a&dev_b701&subsys_00011043",
                    {FamilyPci, FamilyVistaB701},
                    {FamilyPci, FamilyVistaB701}},
        AdapterCase{u"PCI\\VEN_1F3A&DEV_B703&CC_0200",
                    u"pci\\ven_1f3a&dev_b703&subsys_00011043",
                    {FamilyPci, FamilyVistaB703},
                    {FamilyPci, FamilyVistaB703}},
        AdapterCase{u"pci\\ven_1f3a&dev_b704&cc_0200",
                    u"PCI\\VEN_1F3A&DEV_B704",
                    {FamilyPci, FamilyVistaB701},
                    {FamilyPci, FamilyVistaB701}},
        AdapterCase{u"PCI\\VEN_1F3A&DEV_B702&CC_0200",
                    u"pci\\ven_1f3a&dev_b702",
                    {FamilyPcie, FamilyVistaB701},
                    {FamilyPcie, FamilyVistaB701}},
        AdapterCase{u"PCI\\VEN_1F3A&DEV_B706&CC_0200",
                    u"pci\\ven_1f3a&dev_b706&subsys_1",
                    {FamilyPcie, FamilyVistaB701},
                    {FamilyPcie, FamilyVistaB701}},
        // B708 is switched but never installed by its id; B709 the other way
        // round.
        AdapterCase{u"PCI\\VEN_1F3A&DEV_B708&CC_0200",
                    u"pci\\ven_1f3a&dev_b708",
                    {},
                    {FamilyPcie, FamilyVistaB701}},
        AdapterCase{u"PCI\\VEN_1F3A&DEV_B709&CC_0200",
                    u"pci\\ven_1f3a&dev_b709",
                    {FamilyPcie, FamilyVistaB701},
                    {}},
        // The virtual device is installed, never switched.
        AdapterCase{
            u"PCI\\VEN_1F3A&DEV_B70C&CC_0C07", u"pci\\ven_1f3a&dev_b70c", {FamilyVdevQ2dp}, {}},
        AdapterCase{u"PCI\\VEN_1F3A&DEV_B70A&CC_0200", u"pci\\ven_1f3a&dev_b70", {}, {}},
        // Whole ids compare whole: a longer or shorter class code is another id.
        AdapterCase{u"PCI\\VEN_1F3A&DEV_B702&CC_020000", u"", {}, {}},
        AdapterCase{u"PCI\\VEN_1F3A&DEV_B702&CC_020", u"", {}, {}},
        // USB: the B760 has its own driver; the B761 and B762 drivers also
        // come in the combined B76x package, which alone knows B763, B764
        // and the later revisions.
        AdapterCase{u"USB\\VID_0C7E&PID_B760&REV_0100",
                    u"usb\\vid_0c7e&pid_b760",
                    {FamilyVistaB760},
                    {FamilyVistaB760}},
        AdapterCase{u"usb\\vid_0c7e&pid_b761&rev_2000",
                    u"usb\\vid_0c7e&pid_b761",
                    {FamilyVistaB761, FamilyVistaB76x},
                    {FamilyVistaB761, FamilyVistaB76x}},
        AdapterCase{u"usb\\vid_0c7e&pid_b764&rev_2000",
                    u"usb\\vid_0c7e&pid_b764",
                    {FamilyVistaB76x},
                    {FamilyVistaB76x}},
        AdapterCase{u"usb\\vid_0c7e&pid_b762&rev_3001",
                    u"usb\\vid_0c7e&pid_b762",
                    {FamilyVistaB762, FamilyVistaB76x},
                    {FamilyVistaB762, FamilyVistaB76x}},
        AdapterCase{u"usb\\vid_0c7e&pid_b762&rev_3103",
                    u"usb\\vid_0c7e&pid_b762&rev_3103",
                    {FamilyVistaB76x},
                    {FamilyVistaB762, FamilyVistaB76x}},
        AdapterCase{u"usb\\vid_0c7e&pid_b763&rev_3100",
                    u"usb\\vid_0c7e&pid_b763",
                    {FamilyVistaB76x},
                    {FamilyVistaB76x}},
        // Other vendors' adapters on the same chips.
        AdapterCase{u"usb\\vid_2e61&pid_0761&rev_2000",
                    u"usb\\vid_2e61&pid_0761",
                    {FamilyVistaB761, FamilyVistaB76x},
                    {FamilyVistaB761, FamilyVistaB76x}},
        AdapterCase{u"usb\\vid_20f4&pid_0762&rev_3000",
                    u"usb\\vid_20f4&pid_0762",
                    {FamilyVistaB762, FamilyVistaB76x},
                    {FamilyVistaB762, FamilyVistaB76x}},
        AdapterCase{u"usb\\vid_17ef&pid_3069&rev_3000",
                    u"usb\\vid_17ef&pid_3069",
                    {FamilyVistaB76x},
                    {FamilyVistaB76x}},
        AdapterCase{
            u"usb\\vid_17ef&pid_721e&rev_3000", u"usb\\vid_17ef&pid_721e", {FamilyVistaB76x}, {}},
        AdapterCase{u"usb\\vid_0c7e&pid_b760&rev_0200", u"usb\\vid_0c7e&pid_b76", {}, {}}));

HardwareIdLists NoOemIds() {
    return {};
}

HardwareIdLists OemIds(std::initializer_list<std::u16string_view> entries) {
    HardwareIdLists ids;
    for (std::u16string_view entry : entries)
        StoreInSlot(ids.OemHardwareIds[ids.oemCount++], entry);
    return ids;
}

TEST(MatchFullIdTest, WholeStringsFoldingOnlyAToZ) {
    const auto none = NoOemIds();
    struct Case {
        DeviceFamily family;
        std::u16string_view id;
        bool match;
    };
    for (const Case &c : {Case{FamilyPcie, u"PCI\\VEN_1F3A&DEV_B702&CC_0200", true},
                          Case{FamilyVistaB701, u"PCI\\VEN_1F3A&DEV_B702&CC_0200", true},
                          Case{FamilyPci, u"PCI\\VEN_1F3A&DEV_B702&CC_0200", false},
                          Case{FamilyPcie, u"pci\\ven_1f3a&dev_b702&cc_0200", true},
                          Case{FamilyPcie, u"PCI\\VEN_1F3A&DEV_B702&CC_020", false},
                          Case{FamilyPcie, u"PCI\\VEN_1F3A&DEV_B702&CC_02000", false},
                          Case{FamilyPcie, u"PCI\\VEN_1F3A&DEV_B708&CC_0200", false},
                          Case{FamilyVistaB760, u"USB\\VID_0C7E&PID_B760&REV_0100", true},
                          Case{FamilyVdevQ2dp, u"PCI\\VEN_1F3A&DEV_B70C&CC_0C07", true},
                          Case{kNoSuchFamily, u"PCI\\VEN_1F3A&DEV_B702&CC_0200", false}}) {
        EXPECT_EQ(MatchFullId(c.family, c.id, OemIgnored, none), c.match)
            << ToUtf8(c.id) << " " << static_cast<int>(c.family);
    }
}

TEST(MatchFullIdTest, OemPolicies) {
    const auto oem = OemIds({u"PCI\\VEN_10EC&DEV_8168&CC_0200"});
    const std::u16string_view family = u"PCI\\VEN_1F3A&DEV_B703&CC_0200";
    const std::u16string_view given = u"pci\\ven_10ec&dev_8168&cc_0200";
    EXPECT_FALSE(MatchFullId(FamilyVistaB703, family, OemReplaces, oem));
    EXPECT_TRUE(MatchFullId(FamilyVistaB703, given, OemReplaces, oem));
    EXPECT_TRUE(MatchFullId(FamilyVistaB703, family, OemExtends, oem));
    EXPECT_TRUE(MatchFullId(FamilyVistaB703, given, OemExtends, oem));
    EXPECT_TRUE(MatchFullId(FamilyVistaB703, family, OemIgnored, oem));
    EXPECT_FALSE(MatchFullId(FamilyVistaB703, given, OemIgnored, oem));
    // Without OEM ids "replaces" falls back to the family.
    EXPECT_TRUE(MatchFullId(FamilyVistaB703, family, OemReplaces, NoOemIds()));
}

TEST(MatchComponentPrefixTest, FamilyPrefixesOfTwentyOneCharacters) {
    const auto none = NoOemIds();
    EXPECT_TRUE(MatchComponentPrefix(FamilyPcie, u"pci\\ven_1f3a&dev_b708&subsys_1", none));
    EXPECT_TRUE(MatchComponentPrefix(FamilyVistaB701, u"pci\\ven_1f3a&dev_b708", none));
    EXPECT_FALSE(MatchComponentPrefix(FamilyPci, u"pci\\ven_1f3a&dev_b708", none));
    EXPECT_FALSE(MatchComponentPrefix(FamilyPcie, u"pci\\ven_1f3a&dev_b70", none));
    EXPECT_FALSE(MatchComponentPrefix(FamilyPcie, u"pci\\ven_1f3a&dev_b709", none));
    EXPECT_FALSE(MatchComponentPrefix(FamilyVdevQ2dp, u"pci\\ven_1f3a&dev_b70a", none));
    EXPECT_TRUE(MatchComponentPrefix(FamilyVistaB762, u"usb\\vid_0c7e&pid_b762&rev_3000", none));
}

TEST(MatchComponentPrefixTest, OemIdsReplaceEveryFamilyIncludingTheVirtualDevice) {
    const auto oem = OemIds({u"PCI\\VEN_10EC&DEV_8168&CC_0200", u"PCI\\VEN_AB"});
    for (DeviceFamily family : kEveryFamily) {
        EXPECT_TRUE(MatchComponentPrefix(family, u"pci\\ven_10ec&dev_8168&subsys_12345678", oem))
            << static_cast<int>(family);
        EXPECT_FALSE(MatchComponentPrefix(family, u"pci\\ven_1f3a&dev_b702", oem))
            << static_cast<int>(family);
    }
    // A short OEM entry compares only its own length.
    EXPECT_TRUE(MatchComponentPrefix(FamilyPcie, u"pci\\ven_abcd&dev_0001", oem));
    EXPECT_FALSE(MatchComponentPrefix(FamilyPcie, u"pci\\ven_a", oem));
}

TEST(MatchComponentPrefixTest, BuiltOemSlotsMatchTheirAdapters) {
    sim::SimulatedPlatform machine;
    RunState state(machine);
    ResetCommandLineLists(state);
    state.oemFragments.entries[0].vendorId = {u'1', u'0', u'E', u'C'};
    state.oemFragments.entries[0].deviceId = {u'8', u'1', u'6', u'8'};
    state.oemFragments.count = 1;
    BuildOemHardwareIds(state);
    EXPECT_TRUE(MatchComponentPrefix(FamilyVistaB760, u"pci\\ven_10ec&dev_8168", state.ids));
}

}  // namespace
}  // namespace cvl

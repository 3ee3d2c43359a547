#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "app/hardware_id_builders.h"
#include "common/text.h"
#include "platform/sim/simulated_platform.h"

namespace cvl {
namespace {

class HardwareIdBuildersTest : public ::testing::Test {
protected:
    void ParseAndBuild(std::string_view commandLine) {
        std::u16string text = Widen(commandLine);
        InstallOptions options;
        ASSERT_TRUE(ParseCommandLine(platform, text, options, state));
        BuildOemHardwareIds(state);
        BuildCheckHardwareIds(state);
    }
    std::string Oem(std::size_t i) const { return ToUtf8(SlotText(state.ids.OemHardwareIds[i])); }
    std::string Check(std::size_t i) const {
        return ToUtf8(SlotText(state.ids.CheckHardwareIds[i]));
    }
    // Each command line makes one complete entry: the first slot holds
    // `slot` and the second is left as it was.
    template <typename SlotArray>
    void ExpectFirstSlots(const std::vector<std::pair<const char *, const char *>> &cases,
                          const std::uint32_t &count, const SlotArray &slots) {
        for (const auto &[commandLine, slot] : cases) {
            SCOPED_TRACE(commandLine);
            ParseAndBuild(commandLine);
            EXPECT_EQ(count, 1u);
            EXPECT_EQ(ToUtf8(SlotText(slots[0])), slot);
            EXPECT_EQ(SlotText(slots[1]), kEmptyPciHardwareId);
        }
    }

    sim::SimulatedPlatform platform;
    RunState state{platform};
};

// The subsystem part reads subsystem device id first, then subsystem vendor
// id; without both, the network class code takes its place.
TEST_F(HardwareIdBuildersTest, OemSlotTexts) {
    ExpectFirstSlots(
        {
            {"/oemvid 1F3A /oempid B702", "PCI\\VEN_1F3A&DEV_B702&CC_0200"},
            {"/oemvid 1F3A /oempid B702 /oemsvid 1F3A /oemsdid 0123",
             "PCI\\VEN_1F3A&DEV_B702&SUBSYS_01231F3A"},
            {"/oemvid 1F3A /oempid B702 /oemsvid 1F3A", "PCI\\VEN_1F3A&DEV_B702&CC_0200"},
            {"/oemvid 1F3A /oempid B702 /oemsdid 0123", "PCI\\VEN_1F3A&DEV_B702&CC_0200"},
            {"/oemvid 1f3a5 /oempid b7021", "PCI\\VEN_1f3a&DEV_b702&CC_0200"},
            {"/oemvid 1F /oempid B702", "PCI\\VEN_1F"},
            {"/oemvid 1F3A /oempid B7", "PCI\\VEN_1F3A&DEV_B7"},
            {"/oempid B702", "PCI\\VEN_"},
            {"/oemvid 1F3A /oempid B702 /oemsvid 1F3A /oemsdid 01",
             "PCI\\VEN_1F3A&DEV_B702&SUBSYS_01"},
            {"/oemvid 1F3A /oempid B702 /oemsvid 1F /oemsdid 0123",
             "PCI\\VEN_1F3A&DEV_B702&SUBSYS_01231F"},
        },
        state.ids.oemCount, state.ids.OemHardwareIds);
}

TEST_F(HardwareIdBuildersTest, CheckSlotTexts) {
    ExpectFirstSlots(
        {
            {"/chkvid 1F3A /chkpid B702 /chksvid 1F3A /chkssid 0123",
             "PCI\\VEN_1F3A&DEV_B702&SUBSYS_01231F3A"},
            {"/chkvid 1f3a9 /chkpid b7029 /chksvid abcd9 /chkssid 01239",
             "PCI\\VEN_1f3a&DEV_b702&SUBSYS_0123abcd"},
            {"/chkvid 1F3A /chksvid 1F3A /chkssid 0123", "PCI\\VEN_1F3A&DEV_"},
            {"/chkvid 1F3A /chkpid B702 /chkssid 0123", "PCI\\VEN_1F3A&DEV_B702&SUBSYS_0123"},
            {"/chkvid 1F3A /chkpid B702 /chksvid 1F3A /chkssid 01",
             "PCI\\VEN_1F3A&DEV_B702&SUBSYS_01"},
            {"/chkvid 1F3A /chkpid B702 /chksvid 1F /chkssid 0123",
             "PCI\\VEN_1F3A&DEV_B702&SUBSYS_01231F"},
        },
        state.ids.checkCount, state.ids.CheckHardwareIds);
}

// An entry that was started but not completed is not built.
TEST_F(HardwareIdBuildersTest, OnlyCompleteEntriesAreBuilt) {
    ParseAndBuild(
        "/oemvid 1111 /oempid 2222 /oemvid 3333 "
        "/chkvid 4444 /chkpid 5555 /chksvid 6666 /chkssid 7777 /chkvid 8888 /chkpid 9999");
    EXPECT_EQ(state.ids.oemCount, 1u);
    EXPECT_EQ(Oem(0), "PCI\\VEN_1111&DEV_2222&CC_0200");
    EXPECT_EQ(SlotText(state.ids.OemHardwareIds[1]), kEmptyPciHardwareId);
    EXPECT_EQ(state.ids.checkCount, 1u);
    EXPECT_EQ(Check(0), "PCI\\VEN_4444&DEV_5555&SUBSYS_77776666");
    EXPECT_EQ(SlotText(state.ids.CheckHardwareIds[1]), kEmptyPciHardwareId);
}

TEST_F(HardwareIdBuildersTest, SixteenEntriesFillEverySlot) {
    std::string commandLine;
    for (int i = 0; i < 16; ++i) {
        const std::string n = std::to_string(1000 + i);
        commandLine += "/oemvid " + n + " /oempid B702 /oemsvid 1F3A /oemsdid " + n + " ";
        commandLine += "/chkvid " + n + " /chkpid B702 /chksvid 1F3A /chkssid " + n + " ";
    }
    ParseAndBuild(commandLine);
    ASSERT_EQ(state.ids.oemCount, 16u);
    ASSERT_EQ(state.ids.checkCount, 16u);
    for (std::size_t i = 0; i < 16; ++i) {
        const std::string n = std::to_string(1000 + i);
        EXPECT_EQ(Oem(i), "PCI\\VEN_" + n + "&DEV_B702&SUBSYS_" + n + "1F3A");
        EXPECT_EQ(Check(i), "PCI\\VEN_" + n + "&DEV_B702&SUBSYS_" + n + "1F3A");
    }
}

// A slot once built with the class code gets its subsystem part back when
// the same entry is built again with both subsystem ids.
TEST_F(HardwareIdBuildersTest, RebuildingStartsFromTheEmptyId) {
    ParseAndBuild("/oemvid 1F3A /oempid B702");
    ASSERT_EQ(Oem(0), "PCI\\VEN_1F3A&DEV_B702&CC_0200");
    state.oemFragments.entries[0].subsystemVendorId = {u'1', u'F', u'3', u'A'};
    state.oemFragments.entries[0].subsystemDeviceId = {u'0', u'1', u'2', u'3'};
    BuildOemHardwareIds(state);
    EXPECT_EQ(Oem(0), "PCI\\VEN_1F3A&DEV_B702&SUBSYS_01231F3A");
}

}  // namespace
}  // namespace cvl

// The family id tables and the two matching rules.
#include "device/device_family.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/command_line.h"
#include "common/text.h"
#include "platform/sim/simulated_platform.h"

namespace cvl {
namespace {

std::u16string Pci(std::u16string_view device, std::u16string_view classCode = u"0200") {
    return u"PCI\\VEN_1F3A&DEV_" + std::u16string(device) + u"&CC_" + std::u16string(classCode);
}

std::u16string PciPrefix(std::u16string_view device) {
    return u"pci\\ven_1f3a&dev_" + LoweredAZ(device);
}

std::vector<std::u16string> Strings(std::span<const std::u16string_view> list) {
    return {list.begin(), list.end()};
}

// The vendor and product part of a USB id: "usb\vid_vvvv&pid_pppp".
std::u16string UsbPrefixOf(std::u16string_view fullId) {
    return std::u16string(fullId.substr(0, 21));
}

TEST(FamilyTablesTest, PciFamiliesHoldTheirDevicesInOrder) {
    EXPECT_EQ(Strings(FamilyHardwareIds(FamilyPcie)),
              (std::vector<std::u16string>{Pci(u"B702"), Pci(u"B705"), Pci(u"B706"), Pci(u"B707"),
                                           Pci(u"B709")}));
    EXPECT_EQ(Strings(FamilyHardwareIds(FamilyPci)),
              (std::vector<std::u16string>{Pci(u"B701"), Pci(u"B704"), Pci(u"B703")}));
    EXPECT_EQ(Strings(FamilyHardwareIds(FamilyVistaB701)),
              (std::vector<std::u16string>{Pci(u"B701"), Pci(u"B704"), Pci(u"B702"), Pci(u"B705"),
                                           Pci(u"B706"), Pci(u"B707"), Pci(u"B709")}));
    EXPECT_EQ(Strings(FamilyHardwareIds(FamilyVistaB703)),
              (std::vector<std::u16string>{Pci(u"B703")}));
    EXPECT_EQ(Strings(FamilyHardwareIds(FamilyVistaB760)),
              (std::vector<std::u16string>{u"usb\\vid_0c7e&pid_b760&rev_0100"}));
    EXPECT_EQ(Strings(FamilyHardwareIds(FamilyVdevQ2dp)),
              (std::vector<std::u16string>{Pci(u"B70A", u"0700"), Pci(u"B70B", u"0700"),
                                           Pci(u"B70C", u"0C07")}));
}

TEST(FamilyTablesTest, PciPrefixListsSwapB709ForB708) {
    EXPECT_EQ(
        Strings(FamilyComponentPrefixes(FamilyPcie)),
        (std::vector<std::u16string>{PciPrefix(u"B702"), PciPrefix(u"B705"), PciPrefix(u"B706"),
                                     PciPrefix(u"B708"), PciPrefix(u"B707")}));
    EXPECT_EQ(
        Strings(FamilyComponentPrefixes(FamilyPci)),
        (std::vector<std::u16string>{PciPrefix(u"B703"), PciPrefix(u"B701"), PciPrefix(u"B704")}));
    EXPECT_EQ(Strings(FamilyComponentPrefixes(FamilyVistaB701)),
              (std::vector<std::u16string>{
                  PciPrefix(u"B701"), PciPrefix(u"B704"), PciPrefix(u"B702"), PciPrefix(u"B705"),
                  PciPrefix(u"B706"), PciPrefix(u"B708"), PciPrefix(u"B707")}));
    EXPECT_EQ(Strings(FamilyComponentPrefixes(FamilyVistaB703)),
              (std::vector<std::u16string>{PciPrefix(u"B703")}));
    EXPECT_EQ(Strings(FamilyComponentPrefixes(FamilyVistaB760)),
              (std::vector<std::u16string>{u"usb\\vid_0c7e&pid_b760"}));
    EXPECT_TRUE(FamilyComponentPrefixes(FamilyVdevQ2dp).empty());
}

TEST(FamilyTablesTest, CountsOfEveryFamilyAndNoListForOtherCodes) {
    struct Case {
        std::uint8_t family;
        std::size_t fullIds, prefixes;
    };
    for (const Case &c : {Case{1, 5, 5}, Case{2, 3, 3}, Case{3, 7, 7}, Case{4, 1, 1}, Case{5, 1, 1},
                          Case{6, 3, 0}, Case{7, 8, 7}, Case{8, 21, 19}, Case{9, 43, 30},
                          Case{0, 0, 0}, Case{10, 0, 0}, Case{255, 0, 0}}) {
        EXPECT_EQ(FamilyHardwareIds(c.family).size(), c.fullIds) << int(c.family);
        EXPECT_EQ(FamilyComponentPrefixes(c.family).size(), c.prefixes) << int(c.family);
    }
}

TEST(FamilyTablesTest, EveryEntryHasItsForm) {
    for (std::uint8_t family = 1; family <= 9; ++family) {
        for (std::u16string_view id : FamilyHardwareIds(family)) {
            const bool pci = id.substr(0, 17) == u"PCI\\VEN_1F3A&DEV_" && id.size() == 29 &&
                             id.substr(21, 4) == u"&CC_";
            const bool usb = id.substr(0, 8) == u"usb\\vid_" && id.size() == 30 &&
                             id.substr(12, 5) == u"&pid_" && id.substr(21, 5) == u"&rev_";
            EXPECT_TRUE(pci || usb) << ToUtf8(id);
        }
        for (std::u16string_view prefix : FamilyComponentPrefixes(family)) {
            EXPECT_EQ(prefix.size(), 21u) << ToUtf8(prefix);
            EXPECT_EQ(prefix, LoweredAZ(prefix)) << ToUtf8(prefix);
        }
    }
}

TEST(FamilyTablesTest, UsbFamiliesShareTheirOemRowsAsStated) {
    const auto f7 = Strings(FamilyHardwareIds(FamilyVistaB761));
    const auto f8 = Strings(FamilyHardwareIds(FamilyVistaB762));
    const auto f9 = Strings(FamilyHardwareIds(FamilyVistaB76x));
    EXPECT_EQ(f7[0], u"usb\\vid_0c7e&pid_b761&rev_0100");
    EXPECT_EQ(f7[1], u"usb\\vid_0c7e&pid_b761&rev_2000");
    EXPECT_EQ(f8[0], u"usb\\vid_0c7e&pid_b762&rev_3000");
    EXPECT_EQ(f8[1], u"usb\\vid_0c7e&pid_b762&rev_3001");
    const std::vector<std::u16string> oem7(f7.begin() + 2, f7.end());
    const std::vector<std::u16string> oem8(f8.begin() + 2, f8.end());
    for (const auto &id : oem7) {
        EXPECT_NE(id.substr(8, 4), u"0c7e");
        EXPECT_EQ(id.substr(26), u"2000");
    }
    int otherRevisions = 0;
    for (const auto &id : oem8) {
        EXPECT_NE(id.substr(8, 4), u"0c7e");
        if (id.substr(26) != u"3000") {
            ++otherRevisions;
            EXPECT_TRUE(id.substr(26) == u"3001" || id.substr(26) == u"3010") << ToUtf8(id);
        }
    }
    EXPECT_EQ(otherRevisions, 3);
    bool has2e61 = false;
    for (const auto &id : f9) has2e61 |= id.substr(8, 4) == u"2e61";
    EXPECT_TRUE(has2e61);

    // Family 9: the B761/B764 rows, family 7's OEM rows, the B762 and B763
    // revisions, the first 11 OEM rows of family 8, three more of vendor
    // 17ef, then the last 8 OEM rows of family 8.
    std::vector<std::u16string> expected{u"usb\\vid_0c7e&pid_b761&rev_0100",
                                         u"usb\\vid_0c7e&pid_b764&rev_2000",
                                         u"usb\\vid_0c7e&pid_b761&rev_2000"};
    expected.insert(expected.end(), oem7.begin(), oem7.end());
    for (auto rev : {u"3000", u"3001", u"3002", u"3003", u"3100", u"3101", u"3102", u"3103"})
        expected.push_back(u"usb\\vid_0c7e&pid_b762&rev_" + std::u16string(rev));
    for (auto rev : {u"3100", u"3101", u"3102", u"3103"})
        expected.push_back(u"usb\\vid_0c7e&pid_b763&rev_" + std::u16string(rev));
    expected.insert(expected.end(), oem8.begin(), oem8.begin() + 11);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(f9[expected.size() + i].substr(8, 4), u"17ef");
    }
    std::vector<std::u16string> further(f9.begin() + expected.size(),
                                        f9.begin() + expected.size() + 3);
    expected.insert(expected.end(), further.begin(), further.end());
    expected.insert(expected.end(), oem8.begin() + 11, oem8.end());
    EXPECT_EQ(f9, expected);

    // Prefixes: family 7 and 8 carry their OEM products once each, in
    // order; family 9 carries both and two of its three further products.
    const auto p7 = Strings(FamilyComponentPrefixes(FamilyVistaB761));
    const auto p8 = Strings(FamilyComponentPrefixes(FamilyVistaB762));
    const auto p9 = Strings(FamilyComponentPrefixes(FamilyVistaB76x));
    std::vector<std::u16string> expected7{u"usb\\vid_0c7e&pid_b761"};
    for (const auto &id : oem7) expected7.push_back(UsbPrefixOf(id));
    EXPECT_EQ(p7, expected7);
    std::vector<std::u16string> distinct8;
    for (const auto &id : oem8)
        if (std::find(distinct8.begin(), distinct8.end(), UsbPrefixOf(id)) == distinct8.end())
            distinct8.push_back(UsbPrefixOf(id));
    ASSERT_EQ(distinct8.size(), 18u);
    std::vector<std::u16string> expected8{u"usb\\vid_0c7e&pid_b762"};
    expected8.insert(expected8.end(), distinct8.begin(), distinct8.end());
    EXPECT_EQ(p8, expected8);
    std::vector<std::u16string> expected9{u"usb\\vid_0c7e&pid_b761", u"usb\\vid_0c7e&pid_b764"};
    expected9.insert(expected9.end(), expected7.begin() + 1, expected7.end());
    expected9.push_back(u"usb\\vid_0c7e&pid_b762");
    expected9.push_back(u"usb\\vid_0c7e&pid_b763");
    expected9.insert(expected9.end(), distinct8.begin(), distinct8.end());
    expected9.push_back(u"usb\\vid_17ef&pid_3069");
    expected9.push_back(u"usb\\vid_17ef&pid_7214");
    EXPECT_EQ(p9, expected9);
    EXPECT_NE(std::find(further.begin(), further.end(), u"usb\\vid_17ef&pid_3069&rev_3000"),
              further.end());
    EXPECT_NE(std::find(further.begin(), further.end(), u"usb\\vid_17ef&pid_7214&rev_3000"),
              further.end());
}

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
        std::uint8_t family;
        std::u16string_view id;
        bool match;
    };
    for (const Case &c : {Case{1, u"PCI\\VEN_1F3A&DEV_B702&CC_0200", true},
                          Case{3, u"PCI\\VEN_1F3A&DEV_B702&CC_0200", true},
                          Case{2, u"PCI\\VEN_1F3A&DEV_B702&CC_0200", false},
                          Case{1, u"pci\\ven_1f3a&dev_b702&cc_0200", true},
                          Case{1, u"PCI\\VEN_1F3A&DEV_B702&CC_020", false},
                          Case{1, u"PCI\\VEN_1F3A&DEV_B702&CC_02000", false},
                          Case{1, u"PCI\\VEN_1F3A&DEV_B708&CC_0200", false},
                          Case{5, u"USB\\VID_0C7E&PID_B760&REV_0100", true},
                          Case{6, u"PCI\\VEN_1F3A&DEV_B70C&CC_0C07", true},
                          Case{0, u"PCI\\VEN_1F3A&DEV_B702&CC_0200", false}}) {
        EXPECT_EQ(MatchFullId(c.family, c.id, OemIgnored, none), c.match)
            << ToUtf8(c.id) << " " << int(c.family);
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

TEST(MatchComponentPrefixTest, OemIdsReplaceEveryFamilyIncludingCodeSix) {
    const auto oem = OemIds({u"PCI\\VEN_10EC&DEV_8168&CC_0200", u"PCI\\VEN_AB"});
    for (std::uint8_t family : {1, 3, 5, 6, 7, 9}) {
        EXPECT_TRUE(MatchComponentPrefix(family, u"pci\\ven_10ec&dev_8168&subsys_12345678", oem))
            << int(family);
        EXPECT_FALSE(MatchComponentPrefix(family, u"pci\\ven_1f3a&dev_b702", oem)) << int(family);
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

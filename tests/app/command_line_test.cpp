#include "app/command_line.h"
#include "app/hardware_id_builders.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/text.h"
#include "platform/sim/simulated_platform.h"
#include "system/os_detect.h"

namespace cvl {
namespace {

using sim::SimulatedPlatform;
using Flag = bool InstallOptions::*;

const std::vector<std::pair<const char *, Flag>> kFlagOptions = {
    {"/b703", &InstallOptions::b703},
    {"/hp", &InstallOptions::highPerformance},
    {"/dbgmsg", &InstallOptions::debugLog},
    {"/ncfi", &InstallOptions::ncfi},
    {"/x86", &InstallOptions::x86},
    {"/x64", &InstallOptions::x64},
    {"/KeepNewDrv", &InstallOptions::keepNewDriver},
    {"/s", &InstallOptions::silent},
};

const std::vector<std::pair<const char *, DeviceFamily>> kFamilySwitches = {
    {"/b702", FamilyPcie},           {"/b701", FamilyPci},
    {"/vistab701", FamilyVistaB701}, {"/vistab703", FamilyVistaB703},
    {"/vistab760", FamilyVistaB760}, {"/vistab761", FamilyVistaB761},
    {"/vistab762", FamilyVistaB762}, {"/vistab76x", FamilyVistaB76x},
    {"/vdevq2dp", FamilyVdevQ2dp},
};

const std::vector<Flag> kAllFlags = {
    &InstallOptions::infPathGiven,
    &InstallOptions::b703,
    &InstallOptions::x86,
    &InstallOptions::x64,
    &InstallOptions::highPerformance,
    &InstallOptions::ncfi,
    &InstallOptions::debugLog,
    &InstallOptions::uninstallerMode,
    &InstallOptions::selfDeleteArgsGiven,
    &InstallOptions::betaDriver,
    &InstallOptions::silent,
    &InstallOptions::keepNewDriver,
};

auto AllFields(const InstallOptions &o) {
    std::vector<std::uint32_t> flags;
    for (Flag flag : kAllFlags) flags.push_back(o.*flag);
    return std::tuple(o.action, flags, o.families, o.infPath, o.selfDeleteProcessId,
                      o.selfDeleteTarget, o.savedSigningPolicy);
}

std::string Upper(std::string text) {
    for (auto &c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

class CommandLineTest : public ::testing::Test {
protected:
    bool Parse(std::string_view commandLine) {
        text = Widen(commandLine);
        return ParseCommandLine(platform, text, options, state);
    }
    std::string Text() const { return ToUtf8(text); }
    const ParameterEntry &Parameter(std::size_t i) const { return state.parameters.entries[i]; }

    SimulatedPlatform platform;
    RunState state{platform};
    InstallOptions options;
    std::u16string text;
};

// A slot's text up to its first zero; an id fragment has no terminator of
// its own, so this reads at most its four characters.
template <std::size_t N>
std::string Utf8(const std::array<char16_t, N> &slot) {
    return ToUtf8(SlotText(slot));
}

std::string Repeat(std::string_view piece, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) result += piece;
    return result;
}

// Each flag option, in its own spelling and in upper case, sets its flag and
// nothing else.
TEST_F(CommandLineTest, EachFlagOptionSetsOnlyItsFlag) {
    for (const auto &[name, flag] : kFlagOptions) {
        for (const std::string &spelling : {std::string(name), Upper(name)}) {
            SCOPED_TRACE(spelling);
            ASSERT_TRUE(Parse(spelling));
            for (Flag other : kAllFlags) EXPECT_EQ(options.*other, other == flag ? 1u : 0u);
            EXPECT_TRUE(options.families.Empty());
            EXPECT_EQ(options.action, ActionNone);
        }
    }
}

TEST_F(CommandLineTest, EachFamilySwitchSelectsItsFamilyAlone) {
    for (const auto &[name, family] : kFamilySwitches) {
        for (const std::string &spelling : {std::string(name), Upper(name)}) {
            SCOPED_TRACE(spelling);
            ASSERT_TRUE(Parse(spelling));
            EXPECT_TRUE(options.families == FamilySet{family});
            for (Flag flag : kAllFlags) EXPECT_EQ(options.*flag, 0u);
            EXPECT_EQ(options.action, ActionNone);
        }
    }
    // Given twice, a switch is still one family; all together, all of them.
    std::string every;
    for (const auto &[name, family] : kFamilySwitches)
        every += std::string(name) + " " + name + " ";
    ASSERT_TRUE(Parse(every));
    for (const auto &[name, family] : kFamilySwitches)
        EXPECT_TRUE(options.families.Has(family)) << name;
}

TEST_F(CommandLineTest, EachActionOptionSetsItsAction) {
    const std::vector<std::pair<const char *, ActionCode>> cases = {
        {"/i", ActionInstall},
        {"/u", ActionUninstall},
        {"/setwolreg", ActionSetParameters},
        {"/q", ActionRecordVersion},
        {"/qdev 1f3a b702 01", ActionQueryDevice},
        {"/rp", ActionRunPnputil},
        {"/enicdrv", ActionEnable},
        {"/dnicdrv", ActionDisable},
        {"/denicdrv", ActionRestart},
        {"/chknicexist", ActionCheckPresence},
        {"/uninstaller", ActionUninstall},
        {"/selfdel 1234 c:\\temp\\cvlsetup.exe", ActionSelfDelete},
        {"/hwscan", ActionRescan},
        {"/HWSCAN", ActionRescan},
        {"/i /u", ActionUninstall},
        {"/u /i", ActionInstall},
        {"", ActionNone},
        {"   ", ActionNone},
    };
    for (const auto &[commandLine, action] : cases) {
        SCOPED_TRACE(commandLine);
        EXPECT_TRUE(Parse(commandLine));
        EXPECT_EQ(options.action, action);
    }
}

TEST_F(CommandLineTest, RejectsAndKeepsReading) {
    const std::vector<const char *> rejected = {
        "/ix",
        "/i/u",
        "i",
        "/",
        "-i",
        "/i /bogus",
        "/bogus /i",
        "/vistab70",
        "/vistab7011",
        "/keepnewdrvx",
        "/i\t/u",
        "/f c:\\drivers\\setup.txt",
        "/spt abc",
        "/spt x4",
        "/spt -",
        "/rpd 1",
        "/rpd /i",
        "/f",
        "/rpd",
        "/spn",
        "/spt",
        "/spv",
        "/oemvid",
        "/oempid",
        "/oemsvid",
        "/oemsdid",
        "/chkvid",
        "/chkpid",
        "/chksvid",
        "/chkssid",
        "/nicid",
        "/selfdel",
        "/selfdel 1234",
        "/qdev",
        "/qdev 1f3a",
        "/qdev 1f3a b702",
    };
    for (const char *commandLine : rejected) {
        SCOPED_TRACE(commandLine);
        EXPECT_FALSE(Parse(std::string("/i ") + commandLine));
    }
    // A rejected token does not end the parse: later options still apply.
    EXPECT_FALSE(Parse("/bogus /U /vistab701"));
    EXPECT_EQ(options.action, ActionUninstall);
    EXPECT_TRUE(options.families.Has(FamilyVistaB701));
    EXPECT_EQ(Text(), "/bogus /u /vistab701");
}

TEST_F(CommandLineTest, OrderOfFamilyAndActionDoesNotMatter) {
    ASSERT_TRUE(Parse("/vistab701 /i /f x.inf"));
    const auto before = AllFields(options);
    ASSERT_TRUE(Parse("/i /f x.inf /vistab701"));
    EXPECT_EQ(AllFields(options), before);
}

TEST_F(CommandLineTest, OptionTokensAreLowerCasedInPlaceAndValuesKeptAsGiven) {
    ASSERT_TRUE(
        Parse("/I  /VistaB701 /NICID PCI\\VEN_1F3A&DEV_B702\\4&AB /F C:\\Drv\\Setup.INF "
              "/SelfDel 12AB C:\\Temp\\X.EXE /SPN Name /SPV ValUE /OEMVID 1F3A /OEMPID B70A"));
    EXPECT_EQ(Text(),
              "/i  /vistab701 /nicid PCI\\VEN_1F3A&DEV_B702\\4&AB /f c:\\drv\\setup.inf "
              "/selfdel 12ab C:\\Temp\\X.EXE /spn Name /spv ValUE /oemvid 1F3A /oempid B70A");
    EXPECT_EQ(Utf8(state.nicIdText), "PCI\\VEN_1F3A&DEV_B702\\4&AB");
    EXPECT_EQ(options.infPath, u"c:\\drv\\setup.inf");
    EXPECT_EQ(options.selfDeleteProcessId, u"12ab");
    EXPECT_EQ(options.selfDeleteTarget, u"C:\\Temp\\X.EXE");
    EXPECT_EQ(Utf8(Parameter(0).name), "Name");
    EXPECT_EQ(Utf8(Parameter(0).value), "ValUE");
    EXPECT_EQ(Utf8(state.oemFragments.entries[0].deviceId), "B70A");
}

TEST_F(CommandLineTest, OnlyAsciiLettersAreFolded) {
    text = u"/I /\u00C9";
    EXPECT_FALSE(ParseCommandLine(platform, text, options, state));
    EXPECT_EQ(text, u"/i /\u00C9");
}

TEST_F(CommandLineTest, ValuesAreNeverTakenForOptions) {
    ASSERT_TRUE(Parse("/spn /i /spv /u /nicid /hwscan /f /x86.inf"));
    EXPECT_EQ(options.action, ActionNone);
    EXPECT_FALSE(options.x86);
    EXPECT_EQ(Utf8(Parameter(0).name), "/i");
    EXPECT_EQ(Utf8(Parameter(0).value), "/u");
    EXPECT_EQ(Utf8(state.nicIdText), "/hwscan");
    EXPECT_EQ(options.infPath, u"/x86.inf");
}

TEST_F(CommandLineTest, InfPathNeedsInfAfterLowerCasing) {
    ASSERT_TRUE(Parse("/f C:\\SETUP\\CVL.INF"));
    EXPECT_TRUE(options.infPathGiven);
    EXPECT_EQ(options.infPath, u"c:\\setup\\cvl.inf");

    EXPECT_FALSE(Parse("/f c:\\setup\\cvl.in"));
    EXPECT_FALSE(options.infPathGiven);
    EXPECT_FALSE(options.infPath.has_value());
}

// The value is read and lower-cased, and the command line is refused.
TEST_F(CommandLineTest, RpdConsumesItsValueAndRejects) {
    EXPECT_FALSE(Parse("/rpd ABC /i"));
    EXPECT_EQ(Text(), "/rpd abc /i");
    EXPECT_EQ(options.action, ActionInstall);
}

TEST_F(CommandLineTest, QueryDeviceReplacesDigitsInPlace) {
    const std::vector<std::pair<const char *, const char *>> cases = {
        {"/qdev 1f3A B702 1", "PCI\\VEN_1f3A&DEV_B702&SUBSYS_00000000&REV_01"},
        {"/qdev 1F3A b702 2c", "PCI\\VEN_1F3A&DEV_b702&SUBSYS_00000000&REV_2c"},
        {"/QDEV abcd ef01 9", "PCI\\VEN_abcd&DEV_ef01&SUBSYS_00000000&REV_09"},
    };
    for (const auto &[commandLine, expected] : cases) {
        SCOPED_TRACE(commandLine);
        ASSERT_TRUE(Parse(commandLine));
        EXPECT_EQ(Utf8(state.QueryDeviceId), expected);
    }
}

// A wrong length ends the parse at once: what follows is neither
// lower-cased nor applied.
TEST_F(CommandLineTest, QueryDeviceWithWrongLengthsStopsAtOnce) {
    const std::vector<const char *> wrong = {
        "/qdev 1f3 b702 01",   "/qdev 1f3a5 b702 01", "/qdev 1f3a b70 01",
        "/qdev 1f3a b7020 01", "/qdev 1f3a b702 012",
    };
    for (const char *values : wrong) {
        SCOPED_TRACE(values);
        EXPECT_FALSE(Parse(std::string("/vistab701 ") + values + " /I /BOGUS"));
        EXPECT_EQ(options.action, ActionNone);
        EXPECT_TRUE(options.families.Has(FamilyVistaB701));
        EXPECT_EQ(SlotText(state.QueryDeviceId), kInitialQueryDeviceId);
        EXPECT_TRUE(Text().ends_with(" /I /BOGUS"));
    }
}

TEST_F(CommandLineTest, ParameterEntriesAreFilledInOrder) {
    ASSERT_TRUE(Parse("/spn WakeOnLan /spt 4 /spv 0x1f /spt 4 /spn Speed /spv 100 /hp"));
    ASSERT_EQ(state.parameters.count, 3u);
    EXPECT_EQ(Utf8(Parameter(0).name), "WakeOnLan");
    EXPECT_EQ(Parameter(0).kind, kParameterKindHexNumber);
    EXPECT_EQ(Utf8(Parameter(0).value), "0x1f");
    // "/spn" sets the kind back to text, so "/spt" must come after it.
    EXPECT_EQ(Utf8(Parameter(1).name), "Speed");
    EXPECT_EQ(Parameter(1).kind, kParameterKindText);
    EXPECT_EQ(Utf8(Parameter(1).value), "100");
    EXPECT_EQ(Utf8(Parameter(2).name), "OptimalPerf");
    EXPECT_EQ(Parameter(2).kind, kParameterKindText);
    EXPECT_EQ(Utf8(Parameter(2).value), "1");
    EXPECT_TRUE(options.highPerformance);
}

// Read the way a "%d" scan reads: blanks, an optional sign, then digits;
// anything may follow.
TEST_F(CommandLineTest, ParameterKindIsTheLeadingDecimalNumber) {
    const std::vector<std::pair<std::u16string, std::int32_t>> cases = {
        {u"4", 4}, {u"-3", -3}, {u"+7", 7}, {u"12abc", 12}, {u"007", 7}, {u"\t5", 5}, {u"0", 0},
    };
    for (const auto &[value, kind] : cases) {
        SCOPED_TRACE(ToUtf8(value));
        text = u"/spn n /spt " + value + u" /spv v";
        ASSERT_TRUE(ParseCommandLine(platform, text, options, state));
        EXPECT_EQ(Parameter(0).kind, kind);
    }
}

TEST_F(CommandLineTest, ParameterNamesAndValuesAreCutTo31Characters) {
    const std::string exact(31, 'n');
    ASSERT_TRUE(Parse("/spn " + exact + " /spv " + std::string(31, 'v') + " /spn " + exact +
                      "X /spv " + std::string(31, 'v') + "Y"));
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Utf8(Parameter(i).name), exact);
        EXPECT_EQ(Utf8(Parameter(i).value), std::string(31, 'v'));
    }
}

TEST_F(CommandLineTest, TwentyFirstParameterIsRejected) {
    const std::string twenty = Repeat("/spn n /spv v ", 20);
    ASSERT_TRUE(Parse(twenty));
    EXPECT_EQ(state.parameters.count, 20u);
    ASSERT_TRUE(Parse(Repeat("/hp ", 20)));
    EXPECT_EQ(state.parameters.count, 20u);

    for (const char *extra : {"/spv v", "/hp", "/spn n", "/spt 4"}) {
        SCOPED_TRACE(extra);
        EXPECT_FALSE(Parse(twenty + extra + " /i"));
        EXPECT_EQ(state.parameters.count, 20u);
        EXPECT_EQ(options.action, ActionInstall);
    }
}

TEST_F(CommandLineTest, NicIdIsCutTo255Characters) {
    ASSERT_TRUE(Parse("/nicid " + std::string(255, 'a')));
    EXPECT_TRUE(state.nicIdGiven);
    EXPECT_EQ(Utf8(state.nicIdText), std::string(255, 'a'));
    ASSERT_TRUE(Parse("/nicid " + std::string(255, 'b') + "c"));
    EXPECT_EQ(Utf8(state.nicIdText), std::string(255, 'b'));
}

TEST_F(CommandLineTest, IdFragmentsKeepFourCharactersAndPadShortOnesWithZeros) {
    ASSERT_TRUE(
        Parse("/oemvid 1F3A5 /oempid B7 /oemsvid 0123 /oemsdid 4 "
              "/chkvid 1F3A /chkpid B7023 /chksvid 01 /chkssid 0123"));
    const auto &oem = state.oemFragments.entries[0];
    EXPECT_EQ(Utf8(oem.vendorId), "1F3A");
    EXPECT_EQ(oem.deviceId, (IdFragment{u'B', u'7', 0, 0}));
    EXPECT_EQ(Utf8(oem.subsystemVendorId), "0123");
    EXPECT_EQ(oem.subsystemDeviceId, (IdFragment{u'4', 0, 0, 0}));
    const auto &check = state.checkFragments.entries[0];
    EXPECT_EQ(Utf8(check.vendorId), "1F3A");
    EXPECT_EQ(Utf8(check.deviceId), "B702");
    EXPECT_EQ(check.subsystemVendorId, (IdFragment{u'0', u'1', 0, 0}));
    EXPECT_EQ(Utf8(check.subsystemId), "0123");

    // A later shorter id leaves no characters of the earlier one behind.
    ASSERT_TRUE(Parse("/chkvid 1F3A /chkvid 12"));
    EXPECT_EQ(state.checkFragments.entries[0].vendorId, (IdFragment{u'1', u'2', 0, 0}));
}

TEST_F(CommandLineTest, OemSubsystemIdsAttachToTheLastCompletePair) {
    ASSERT_TRUE(
        Parse("/oemvid 1111 /oempid 2222 /oemvid 3333 /oempid 4444 /oemsvid 5555 /oemsdid 6666 "
              "/oemvid 7777"));
    const auto &entries = state.oemFragments.entries;
    EXPECT_EQ(state.oemFragments.count, 2u);
    EXPECT_EQ(entries[0].subsystemVendorId, IdFragment{});
    EXPECT_EQ(Utf8(entries[1].subsystemVendorId), "5555");
    EXPECT_EQ(Utf8(entries[1].subsystemDeviceId), "6666");
    EXPECT_EQ(Utf8(entries[2].vendorId), "7777");
    EXPECT_EQ(entries[2].subsystemVendorId, IdFragment{});
}

// Before any pair is complete there is nothing to attach to: accepted,
// nothing changed.
TEST_F(CommandLineTest, OemSubsystemIdsBeforeAnyPairAreDropped) {
    for (const char *commandLine :
         {"/oemsvid 1F3A", "/oemsdid 0123", "/oemvid 1F3A /oemsvid 5555 /oemsdid 6666"}) {
        SCOPED_TRACE(commandLine);
        ASSERT_TRUE(Parse(commandLine));
        EXPECT_EQ(state.oemFragments.count, 0u);
        for (const auto &entry : state.oemFragments.entries) {
            EXPECT_EQ(entry.subsystemVendorId, IdFragment{});
            EXPECT_EQ(entry.subsystemDeviceId, IdFragment{});
        }
    }
}

TEST_F(CommandLineTest, SeventeenthIdEntryIsRejected) {
    const std::string sixteenOem = Repeat("/oemvid 1F3A /oempid B702 ", 16);
    const std::string sixteenCheck = Repeat("/chkvid 1F3A /chkpid B702 /chksvid 1 /chkssid 2 ", 16);
    ASSERT_TRUE(Parse(sixteenOem + sixteenCheck + "/oemsvid 0001 /oemsdid 0002"));
    EXPECT_EQ(state.oemFragments.count, 16u);
    EXPECT_EQ(state.checkFragments.count, 16u);
    EXPECT_EQ(Utf8(state.oemFragments.entries[15].subsystemVendorId), "0001");

    for (const char *extra :
         {"/oemvid 1", "/oempid 1", "/chkvid 1", "/chkpid 1", "/chksvid 1", "/chkssid 1"}) {
        SCOPED_TRACE(extra);
        EXPECT_FALSE(Parse(sixteenOem + sixteenCheck + extra));
        EXPECT_EQ(state.oemFragments.count, 16u);
        EXPECT_EQ(state.checkFragments.count, 16u);
    }
}

TEST_F(CommandLineTest, UninstallerAndSelfDeleteSuppressTheLog) {
    ASSERT_TRUE(Parse("/uninstaller /s"));
    EXPECT_EQ(options.action, ActionUninstall);
    EXPECT_TRUE(options.uninstallerMode);
    EXPECT_TRUE(state.log.logSuppressed);

    RunState fresh{platform};
    text = u"/selfdel 4242 c:\\temp\\cvlsetup.exe";
    ASSERT_TRUE(ParseCommandLine(platform, text, options, fresh));
    EXPECT_TRUE(fresh.log.logSuppressed);
    EXPECT_TRUE(options.selfDeleteArgsGiven);
    EXPECT_EQ(options.selfDeleteProcessId, u"4242");

    RunState other{platform};
    text = u"/u /s";
    ASSERT_TRUE(ParseCommandLine(platform, text, options, other));
    EXPECT_FALSE(other.log.logSuppressed);
}

TEST_F(CommandLineTest, BetaDriverTakesEffectOnlyOnSomeGenerations) {
    struct Case {
        DWORD platformId, major, minor;
        std::uint32_t betaDriver;
    };
    const std::vector<Case> cases = {
        {VER_PLATFORM_WIN32_NT, 6, 1, 0},       {VER_PLATFORM_WIN32_NT, 6, 0, 0},
        {VER_PLATFORM_WIN32_NT, 5, 1, 1},       {VER_PLATFORM_WIN32_NT, 5, 0, 1},
        {VER_PLATFORM_WIN32_NT, 4, 0, 0},       {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 1},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1}, {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0},
        {VER_PLATFORM_WIN32_NT, 10, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.platformId << " " << c.major << "." << c.minor);
        platform.Setup().SetVersion(c.platformId, c.major, c.minor);
        EXPECT_TRUE(Parse("/i /betadrv"));
        EXPECT_EQ(options.betaDriver, c.betaDriver);
    }
}

TEST_F(CommandLineTest, EachParseStartsFromAFreshRecordAndLists) {
    ASSERT_TRUE(
        Parse("/i /vistab701 /f x.inf /spn n /spv v /oemvid 1 /oempid 2 /chkvid 1 /chkpid 2 "
              "/chksvid 3 /chkssid 4 /nicid PCI\\X /qdev 1f3a b702 01"));
    BuildOemHardwareIds(state);
    BuildCheckHardwareIds(state);

    ASSERT_TRUE(Parse(""));
    EXPECT_EQ(AllFields(options), AllFields(InstallOptions{}));
    EXPECT_EQ(state.parameters.count, 0u);
    EXPECT_EQ(SlotText(Parameter(0).name), u"");
    EXPECT_EQ(state.oemFragments.count, 0u);
    EXPECT_EQ(state.oemFragments.entries[0].vendorId, IdFragment{});
    EXPECT_EQ(state.checkFragments.count, 0u);
    EXPECT_EQ(state.checkFragments.entries[0].subsystemId, IdFragment{});
    EXPECT_EQ(state.ids.oemCount, 0u);
    EXPECT_EQ(state.ids.checkCount, 0u);
    for (const auto &slot : state.ids.OemHardwareIds)
        EXPECT_EQ(SlotText(slot), kEmptyPciHardwareId);
    for (const auto &slot : state.ids.CheckHardwareIds)
        EXPECT_EQ(SlotText(slot), kEmptyPciHardwareId);
    EXPECT_EQ(SlotText(state.QueryDeviceId), kInitialQueryDeviceId);
    EXPECT_FALSE(state.nicIdGiven);
    EXPECT_EQ(SlotText(state.nicIdText), u"");
}

}  // namespace
}  // namespace cvl

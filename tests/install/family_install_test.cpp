// The per-family install flow, run as whole "/i" and "/q" command lines.
#include <gtest/gtest.h>

#include "support/devices.h"
#include "support/install_package.h"
#include "support/scenario.h"

namespace cvl {
namespace {

using sim::Op;
using test::AddPackage;
using test::LogLines;
using test::LogOf;
using test::PciAdapter;
using test::RunTail;
using test::Tail;
using test::UsbAdapter;
using test::ValueNames;

using Lines = std::vector<std::string>;

constexpr char16_t kB701Key[] = u"HKLM\\Software\\CVLSetup\\VISTA_B701";
constexpr char16_t kNetworkStatus[] = u"HKLM\\Software\\Corvane\\Network";

class FamilyInstallTest : public ::testing::Test {
protected:
    FamilyInstallTest() { AddPackage(machine); }
    sim::SimulatedPlatform machine;
};

// One B702 on the PCI family's old driver: the package is installed,
// recorded and the adapter switched off and on again.
TEST_F(FamilyInstallTest, InstallsRecordsAndSwitchesTheAdapterBackOn) {
    const sim::DeviceSpec adapter = PciAdapter(u"B702");
    machine.Setup().AddDevice(adapter);
    EXPECT_EQ(RunTail(machine, Tail(u"/i /vistab701")), 0u);

    const Lines expected = {"Starting Install...",
                            "The file path...",
                            "C:\\setup\\pkg",
                            "C:\\setup\\pkg\\netcvx64.inf",
                            "Apply VISTA B701 driver...",
                            "Copy INF success ...",
                            "Curr : = '8.45.507.2016'",
                            "New : = '9.1.2.2017'",
                            "Driver is required to install",
                            "Installing  = 'PCI\\VEN_1F3A&DEV_B701&CC_0200'",
                            "Found no devices, preinstalll driver ...",
                            "Installing  = 'PCI\\VEN_1F3A&DEV_B704&CC_0200'",
                            "Found no devices, preinstalll driver ...",
                            "Installing  = 'PCI\\VEN_1F3A&DEV_B702&CC_0200'"};
    const Lines log = LogLines(*LogOf(machine));
    ASSERT_GE(log.size(), expected.size());
    EXPECT_EQ(Lines(log.begin(), log.begin() + expected.size()), expected);
    EXPECT_EQ(log.back(), "Exit code: = 0");

    // Source first, then the copied INF; the status key in its own order.
    EXPECT_EQ(ValueNames(machine, kB701Key),
              (std::vector<std::u16string>{u"SourcePath", u"InfName"}));
    EXPECT_EQ(machine.Setup().GetRegString(kB701Key, u"SourcePath"), u"C:\\setup\\pkg");
    EXPECT_EQ(machine.Setup().GetRegString(kB701Key, u"InfName"), u"C:\\Windows\\INF\\oem0.inf");
    EXPECT_EQ(ValueNames(machine, kNetworkStatus),
              (std::vector<std::u16string>{u"install", u"reboot", u"version"}));
    EXPECT_EQ(machine.Setup().GetRegString(kNetworkStatus, u"install"), u"success");
    EXPECT_EQ(machine.Setup().GetRegString(kNetworkStatus, u"reboot"), u"no");
    EXPECT_EQ(machine.Setup().GetRegString(kNetworkStatus, u"version"), test::kPackageVersion);

    const std::string id = ToUtf8(adapter.instanceId);
    EXPECT_EQ(machine.Setup().Timeline(),
              (Lines{"reenumerate", "update " + id + " C:\\setup\\pkg\\netcvx64.inf",
                     "disable " + id, "sleep 3000", "enable " + id, "sleep 2000"}));
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
    EXPECT_EQ(machine.Setup().OutstandingAllocations(), 0u);
}

TEST_F(FamilyInstallTest, PathsFollowTheInfOption) {
    machine.Setup().AddFile(u"C:\\setup\\netcvx64.inf", test::PackageInfText({}));
    machine.Setup().AddFile(u"C:\\setup\\win7\\x64\\netcvx64.inf", test::PackageInfText({}));
    struct Case {
        const char16_t *option;
        const char16_t *sourceDir;
        const char *infPath;
    };
    for (const Case &c : {Case{u"netcvx64.inf", u"C:\\setup\\", "C:\\setup\\netcvx64.inf"},
                          Case{u"win7\\x64\\netcvx64.inf", u"C:\\setup\\win7\\x64",
                               "C:\\setup\\win7\\x64\\netcvx64.inf"}}) {
        sim::SimulatedPlatform fresh;
        fresh.Setup().AddFile(u"C:\\setup\\netcvx64.inf", test::PackageInfText({}));
        fresh.Setup().AddFile(u"C:\\setup\\win7\\x64\\netcvx64.inf", test::PackageInfText({}));
        // No Cvlhvdev.inf beside the package: the virtual functions' update
        // finds no INF.
        EXPECT_EQ(RunTail(fresh, u"/i /vistab701 /vdevq2dp /ncfi /f " + std::u16string(c.option)),
                  13u);
        const Lines log = LogLines(*LogOf(fresh));
        ASSERT_GE(log.size(), 5u);
        EXPECT_EQ(log[2], ToUtf8(c.sourceDir));
        EXPECT_EQ(log[3], c.infPath);
        const std::string vdev =
            std::string(c.infPath).substr(0, std::string(c.infPath).rfind('\\'));
        EXPECT_EQ(log[4], vdev + "\\Cvlhvdev.inf");
        EXPECT_EQ(fresh.Setup().GetRegString(kB701Key, u"SourcePath"), c.sourceDir);
    }
}

TEST_F(FamilyInstallTest, RecordVersionOnlyWritesTheVersion) {
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    EXPECT_EQ(RunTail(machine, Tail(u"/q /vistab762")), 0u);
    EXPECT_EQ(ValueNames(machine, u"HKLM\\Software\\CVLSetup\\VISTA_B762"),
              (std::vector<std::u16string>{u"NewDrvVer"}));
    EXPECT_EQ(machine.Setup().GetRegString(u"HKLM\\Software\\CVLSetup\\VISTA_B762", u"NewDrvVer"),
              test::kPackageVersion);
    EXPECT_EQ(machine.Setup().RegSubkeyNames(u"HKLM\\Software\\CVLSetup"),
              (std::vector<std::u16string>{u"VISTA_B762"}));
    EXPECT_TRUE(machine.Setup().Timeline().empty());
    EXPECT_EQ(machine.Setup().CallCount(Op::SetupCopyOEMInfW), 0u);
    EXPECT_EQ(LogLines(*LogOf(machine)), (Lines{"The file path...", "C:\\setup\\pkg",
                                                "C:\\setup\\pkg\\netcvx64.inf", "Exit code: = 0"}));
}

// Without its INF the flow ends before it changes anything.
TEST_F(FamilyInstallTest, AMissingOrUnnamedInfEndsWithNine) {
    struct Case {
        const char16_t *tail;
        Lines paths;
    };
    for (const Case &c : {Case{u"/i /vistab703 /f pkg\\missing.inf",
                               {"C:\\setup\\pkg", "C:\\setup\\pkg\\missing.inf"}},
                          Case{u"/q /vistab703 /f pkg\\missing.inf",
                               {"C:\\setup\\pkg", "C:\\setup\\pkg\\missing.inf"}},
                          Case{u"/i /vistab760", {"C:\\setup\\", "C:\\setup\\"}},
                          Case{u"/q /vistab761", {"C:\\setup\\", "C:\\setup\\"}}}) {
        sim::SimulatedPlatform fresh;
        AddPackage(fresh);
        fresh.Setup().AddDevice(PciAdapter(u"B703"));
        const auto before = fresh.Setup().RegValues(u"HKLM\\Software");
        EXPECT_EQ(RunTail(fresh, c.tail), 9u) << ToUtf8(c.tail);
        Lines log = LogLines(*LogOf(fresh));
        if (!log.empty() && log.front() == "Starting Install...") log.erase(log.begin());
        EXPECT_EQ(log, (Lines{"The file path...", c.paths[0], c.paths[1], "Exit code: = 9"}))
            << ToUtf8(c.tail);
        EXPECT_FALSE(fresh.Setup().RegKeyExists(u"HKLM\\Software\\CVLSetup"));
        EXPECT_FALSE(fresh.Setup().RegKeyExists(u"HKLM\\Software\\Corvane"));
        EXPECT_EQ(fresh.Setup().CallCount(Op::SetupAddToSourceListW), 0u);
        EXPECT_TRUE(fresh.Setup().Timeline().empty());
    }
}

TEST_F(FamilyInstallTest, TheRequirementCheckDecidesWhetherToGoOn) {
    struct Case {
        const char16_t *tail;
        std::u16string adapterVersion;  // empty: no adapter
        DWORD exitCode;
        bool updated;
    };
    for (const Case &c :
         {Case{u"/i /vistab701", test::kPackageVersion, 12, false},
          Case{u"/i /vistab701", u"", 0, false}, Case{u"/i /vistab701 /ncfi", u"", 0, true},
          Case{u"/i /vistab701 /KeepNewDrv", u"10.0.0.0", 12, false},
          Case{u"/i /vistab701", u"10.0.0.0", 0, true}}) {
        sim::SimulatedPlatform fresh;
        AddPackage(fresh);
        if (!c.adapterVersion.empty())
            fresh.Setup().AddDevice(PciAdapter(u"B701", u"1", c.adapterVersion));
        EXPECT_EQ(RunTail(fresh, Tail(c.tail)), c.exitCode) << ToUtf8(c.tail);
        // The INF is in the store whatever the check said.
        EXPECT_EQ(fresh.Setup().GetRegString(kB701Key, u"InfName"), u"C:\\Windows\\INF\\oem0.inf");
        EXPECT_EQ(fresh.Setup().CallCount(Op::UpdateDriverForPlugAndPlayDevicesW) > 0, c.updated)
            << ToUtf8(c.tail);
        // The status key only follows the updates.
        EXPECT_EQ(fresh.Setup().RegKeyExists(kNetworkStatus), c.updated) << ToUtf8(c.tail);
    }
}

// A package whose DriverVer writes its version with leading zeros: the
// driver key keeps the version as Windows reads it, so the same install
// run again finds the adapter current.
TEST_F(FamilyInstallTest, TheSameInstallAgainFindsTheAdapterCurrent) {
    sim::SimulatedPlatform fresh;
    fresh.Setup().AddFile(test::kPackageInf, test::PackageInfText(test::AllTestModels(),
                                                                  "05/07/2016,8.045.0507.2016"));
    fresh.Setup().AddDevice(PciAdapter(u"B702", u"1", u"8.44.101.2015"));
    ASSERT_EQ(RunTail(fresh, Tail(u"/i /vistab701")), 0u);
    EXPECT_EQ(RunTail(fresh, Tail(u"/i /vistab701")), 12u);
    const Lines log = LogLines(*LogOf(fresh));
    EXPECT_EQ(Lines(log.end() - 3, log.end()),
              (Lines{"Curr : = '8.45.507.2016'", "New : = '8.45.507.2016'", "Exit code: = 12"}));
}

// Each last error of a failed update has its line. No device and a newer
// driver in place leave nothing undone; every other error ends the install
// with 13 and without the status key, after every id was tried.
TEST_F(FamilyInstallTest, EachUpdateErrorHasItsLineAndItsResult) {
    struct Case {
        DWORD error;
        Lines lines;
        DWORD exitCode;
    };
    for (const Case &c :
         {Case{ERROR_SUCCESS, {"Newer driver is present ..."}, 0},
          Case{ERROR_NO_SUCH_DEVINST, {"Found no devices, preinstalll driver ..."}, 0},
          Case{ERROR_FILE_NOT_FOUND, {"ERROR_FILE_NOT_FOUND"}, 13},
          Case{ERROR_IN_WOW64, {"ERROR_IN_WOW64"}, 13},
          Case{ERROR_INVALID_FLAGS, {"ERROR_INVALID_FLAGS"}, 13},
          Case{ERROR_NO_ASSOCIATED_SERVICE, {"Unknown error", "ErrorCode = -536870375"}, 13}}) {
        sim::SimulatedPlatform fresh;
        AddPackage(fresh);
        fresh.Setup().AddDevice(PciAdapter(u"B702"));
        fresh.Setup().Fail(Op::UpdateDriverForPlugAndPlayDevicesW, c.error);
        EXPECT_EQ(RunTail(fresh, Tail(u"/i /vistab701")), c.exitCode) << c.error;
        Lines expected = {"Installing  = 'PCI\\VEN_1F3A&DEV_B702&CC_0200'"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        const Lines log = LogLines(*LogOf(fresh));
        const auto at = std::find(log.begin(), log.end(), expected.front());
        ASSERT_NE(at, log.end());
        EXPECT_EQ(Lines(at, at + static_cast<long>(expected.size())), expected) << c.error;
        // The loop goes on: every id of the family is tried.
        EXPECT_EQ(fresh.Setup().CallCount(Op::UpdateDriverForPlugAndPlayDevicesW), 7u);
        EXPECT_EQ(fresh.Setup().RegKeyExists(kNetworkStatus), c.exitCode == 0) << c.error;
        // The package stays in the driver store for adapters plugged in later.
        EXPECT_EQ(fresh.Setup().GetRegString(kB701Key, u"InfName"), u"C:\\Windows\\INF\\oem0.inf");
        EXPECT_EQ(log.back(), "Exit code: = " + std::to_string(c.exitCode));
        // A failed update waits for nothing and switches nothing off.
        EXPECT_EQ(fresh.Setup().Sleeps(),
                  c.exitCode == 0 ? std::vector<DWORD>{2000} : std::vector<DWORD>{})
            << c.error;
    }
}

// One failed update among successful ones fails the install; a status key of
// an earlier install keeps what it held.
TEST_F(FamilyInstallTest, OneFailedUpdateAmongOthersKeepsTheEarlierStatus) {
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    machine.Setup().AddDevice(PciAdapter(u"B705"));
    machine.Setup().SetRegString(kNetworkStatus, u"install", u"success");
    machine.Setup().SetRegString(kNetworkStatus, u"version", u"8.45.507.2016");
    // The fourth id of the family is the B705's.
    machine.Setup().Fail(Op::UpdateDriverForPlugAndPlayDevicesW, ERROR_ACCESS_DENIED, 4);
    EXPECT_EQ(RunTail(machine, Tail(u"/i /vistab701")), 13u);
    EXPECT_EQ(machine.Setup().GetRegString(kNetworkStatus, u"version"), u"8.45.507.2016");
    EXPECT_FALSE(machine.Setup().GetRegString(kNetworkStatus, u"reboot").has_value());
}

TEST_F(FamilyInstallTest, OemIdsOfTheB703FamilyAreListedAndUpdated) {
    EXPECT_EQ(RunTail(machine, Tail(u"/i /vistab703 /ncfi /oemvid 1f3a /oempid b701 /oemvid 1f3a "
                                    u"/oempid b704 /oemvid 1f3a /oempid b709")),
              0u);
    const Lines log = LogLines(*LogOf(machine));
    const auto apply = std::find(log.begin(), log.end(), "Apply VISTA B703 driver...");
    ASSERT_NE(apply, log.end());
    ASSERT_GE(apply - log.begin(), 3);
    EXPECT_EQ(Lines(apply - 3, apply),
              (Lines{"PCI\\VEN_1f3a&DEV_b701&CC_0200", "PCI\\VEN_1f3a&DEV_b704&CC_0200",
                     "PCI\\VEN_1f3a&DEV_b709&CC_0200"}));
    EXPECT_EQ(
        std::count_if(log.begin(), log.end(),
                      [](const std::string &line) { return line.rfind("Installing", 0) == 0; }),
        3);
    // The B701 family takes the OEM ids without listing them.
    sim::SimulatedPlatform b701;
    AddPackage(b701);
    RunTail(b701, Tail(u"/i /vistab701 /ncfi /oemvid 1f3a /oempid b709"));
    const Lines b701Log = LogLines(*LogOf(b701));
    const auto b701Apply = std::find(b701Log.begin(), b701Log.end(), "Apply VISTA B701 driver...");
    ASSERT_NE(b701Apply, b701Log.end());
    EXPECT_EQ(*(b701Apply - 1), "C:\\setup\\pkg\\netcvx64.inf");
    EXPECT_EQ(b701.Setup().CallCount(Op::UpdateDriverForPlugAndPlayDevicesW), 1u);
}

TEST_F(FamilyInstallTest, TheFirstFamilyFlagWinsAndUsbFamiliesIgnoreOemIds) {
    EXPECT_EQ(RunTail(machine, Tail(u"/i /vistab761 /vistab701 /ncfi")), 0u);
    EXPECT_TRUE(machine.Setup().RegKeyExists(kB701Key));
    EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\Software\\CVLSetup\\VISTA_B761"));
    EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\Software\\Corvane\\USBFENetwork"));

    struct Case {
        const char16_t *flag;
        std::uint32_t updates;
        const char16_t *statusKey;  // null: none
    };
    for (const Case &c : {Case{u"/vistab760", 1, nullptr},
                          Case{u"/vistab761", 8, u"HKLM\\Software\\Corvane\\USBFENetwork"},
                          Case{u"/vistab762", 21, u"HKLM\\Software\\Corvane\\USBGBENetwork"},
                          Case{u"/vistab76x", 43, u"HKLM\\Software\\Corvane\\USBGBENetwork"}}) {
        sim::SimulatedPlatform fresh;
        AddPackage(fresh);
        EXPECT_EQ(
            RunTail(fresh, Tail(std::u16string(u"/i /ncfi /oemvid 1f3a /oempid b701 ") + c.flag)),
            0u);
        EXPECT_EQ(fresh.Setup().CallCount(Op::UpdateDriverForPlugAndPlayDevicesW), c.updates)
            << ToUtf8(c.flag);
        EXPECT_FALSE(fresh.Setup().RegKeyExists(kNetworkStatus));
        if (c.statusKey != nullptr) {
            EXPECT_EQ(fresh.Setup().GetRegString(c.statusKey, u"install"), u"success");
        } else {
            EXPECT_FALSE(fresh.Setup().RegKeyExists(u"HKLM\\Software\\Corvane"));
        }
    }
}

TEST_F(FamilyInstallTest, TheB760FamilyAsksForAnAsynchronousLookAtTheEnd) {
    EXPECT_EQ(RunTail(machine, Tail(u"/i /vistab760 /ncfi")), 0u);
    EXPECT_EQ(machine.Setup().DeviceTreeCalls(), (Lines{"connect", "locate", "reenumerate:1",
                                                        "disconnect", "locate", "reenumerate:0"}));
}

// The virtual-device copy decides whether the main INF is copied again.
TEST_F(FamilyInstallTest, TheRetryCopyFollowsTheLastCopy) {
    struct Case {
        std::uint32_t failingCopy;  // 1: the main INF, 2: the virtual-device INF
        bool mainRecorded;
        bool vdevRecorded;
        std::uint32_t copies;
    };
    for (const Case &c : {Case{1, false, true, 2}, Case{2, true, false, 3}}) {
        sim::SimulatedPlatform fresh;
        AddPackage(fresh);
        fresh.Setup().Fail(Op::SetupCopyOEMInfW, ERROR_ACCESS_DENIED, c.failingCopy);
        EXPECT_EQ(RunTail(fresh, Tail(u"/i /vistab701 /vdevq2dp /ncfi")), 0u);
        EXPECT_EQ(fresh.Setup().RegValues(kB701Key).size() == 2, c.mainRecorded) << c.failingCopy;
        EXPECT_EQ(fresh.Setup().RegKeyExists(u"HKLM\\Software\\CVLSetup\\VDEV_Q2DP"),
                  c.vdevRecorded);
        EXPECT_EQ(fresh.Setup().CallCount(Op::SetupCopyOEMInfW), c.copies);
        // The three virtual functions are updated with their own INF.
        const Lines log = LogLines(*LogOf(fresh));
        EXPECT_NE(
            std::find(log.begin(), log.end(), "Installing  = 'PCI\\VEN_1F3A&DEV_B70C&CC_0C07'"),
            log.end());
    }
}

TEST_F(FamilyInstallTest, WindowsMeRegistersItsOwnSetupFolderAndSkipsTheCheck) {
    machine.Setup().SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 90);
    machine.Setup().AddDevice(UsbAdapter(u"0C7E", u"B760", u"0100", test::kPackageVersion));
    EXPECT_EQ(RunTail(machine, Tail(u"/i /vistab760")), 0u);
    const Lines log = LogLines(*LogOf(machine));
    ASSERT_GE(log.size(), 7u);
    EXPECT_EQ(Lines(log.begin() + 4, log.begin() + 7),
              (Lines{"AddSrcList", "C:\\Windows\\OPTIONS\\INSTALL", "Apply VISTA B760 driver..."}));
    EXPECT_EQ(machine.Setup().GetRegString(u"HKLM\\Software\\CVLSetup\\VISTA_B760", u"SourcePath"),
              u"C:\\Windows\\OPTIONS\\INSTALL");
    // No requirement check: the adapter on the package version is updated.
    EXPECT_EQ(machine.Setup().CallCount(Op::UpdateDriverForPlugAndPlayDevicesW), 1u);
    EXPECT_EQ(machine.Setup().DeviceTreeCalls(),
              (Lines{"connect", "locate", "reenumerate:1", "disconnect"}));
}

TEST_F(FamilyInstallTest, Windows98LetsTheSystemFindTheB760Adapter) {
    machine.Setup().SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    machine.Setup().CreateRegKey(u"HKLM\\Enum\\USB\\VID_0C7E&PID_B760\\0001");
    const std::u16string sysDm = u"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SysDM";
    machine.Setup().SetRegDword(sysDm, u"SearchFlags", 0x00010003);
    EXPECT_EQ(RunTail(machine, Tail(u"/i /vistab760 /ncfi")), 0u);

    const Lines log = LogLines(*machine.Setup().ReadFileContents(u"C:\\INST.TXT"));
    EXPECT_EQ(log, (Lines{"Starting Install...", "The file path...", "C:\\setup\\pkg",
                          "C:\\setup\\pkg\\netcvx64.inf", "OPEN ENUM USB SUCCESSFULLY",
                          "DEL RET = 0", "Create Key Succ", "Open Key Succ", "Query Key Succ",
                          "Set Key Succ", "Query Key Succ", "Set Key Succ",
                          "Apply VISTA B760 driver...", "Copy INF success ...", "Exit code: = 0"}));
    EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\Enum\\USB\\VID_0C7E&PID_B760"));
    EXPECT_EQ(machine.Setup().GetRegString(sysDm, u"SearchLocation"),
              u"C:\\Windows\\OPTIONS\\INSTALL");
    EXPECT_EQ(machine.Setup().GetRegDword(sysDm, u"SearchFlags"), 0x00010008u);
    EXPECT_EQ(ValueNames(machine, u"HKLM\\Software\\CVLSetup\\VISTA_B760"),
              (std::vector<std::u16string>{u"InfName"}));
    EXPECT_EQ(machine.Setup().CallCount(Op::UpdateDriverForPlugAndPlayDevicesW), 0u);
    EXPECT_EQ(machine.Setup().CallCount(Op::SetupAddToSourceListW), 0u);
    EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\Software\\Corvane"));
}

// Without the Windows folder, neither Windows 98's device search nor Windows
// Me's source list is pointed at "\OPTIONS\INSTALL" of whatever drive is
// current: the search stays as cleared, and no source is registered.
TEST_F(FamilyInstallTest, AnUnreadableWindowsFolderNamesNoSetupFolder) {
    const std::u16string sysDm = u"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SysDM";
    for (const DWORD minor : {10u, 90u}) {
        SCOPED_TRACE(minor);
        sim::SimulatedPlatform fresh;
        test::AddPackage(fresh);
        fresh.Setup().SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, minor);
        fresh.Setup().AddDevice(UsbAdapter(u"0C7E", u"B760", u"0100"));
        fresh.Setup().SetRegDword(sysDm, u"SearchFlags", 3);
        fresh.Setup().Fail(Op::GetWindowsDirectoryW, ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_EQ(RunTail(fresh, Tail(u"/i /vistab760")), 0u);
        EXPECT_EQ(fresh.Setup().GetRegString(sysDm, u"SearchLocation").value_or(u"(none)"),
                  minor == 10 ? u"" : u"(none)");
        EXPECT_EQ(fresh.Setup().GetRegDword(sysDm, u"SearchFlags"), 3u);
        EXPECT_FALSE(fresh.Setup().GetRegValue(
            u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup", u"Installation Sources"));
        EXPECT_FALSE(
            fresh.Setup().GetRegString(u"HKLM\\Software\\CVLSetup\\VISTA_B760", u"SourcePath"));
    }
}

TEST_F(FamilyInstallTest, Windows98PreparationLogsWhatItCouldNotDo) {
    machine.Setup().SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    machine.Setup().Fail(Op::RegOpenKeyExW, ERROR_ACCESS_DENIED);
    machine.Setup().Fail(Op::RegCreateKeyExW, ERROR_ACCESS_DENIED);
    EXPECT_EQ(RunTail(machine, Tail(u"/i /vistab760")), 0u);
    const Lines log = LogLines(*machine.Setup().ReadFileContents(u"C:\\INST.TXT"));
    EXPECT_EQ(Lines(log.begin() + 4, log.begin() + 7),
              (Lines{"OPEN ENUM USB FAIL", "Create Key Failed", "Apply VISTA B760 driver..."}));
}

// The flow's own platform calls: only reading its own path and memory for
// the id list stop it; every other failure is logged or passed over.
TEST_F(FamilyInstallTest, PlatformFailures) {
    struct Case {
        Op operation;
        std::uint32_t nth;
        DWORD exitCode;
        bool statusWritten;
    };
    for (const Case &c :
         {Case{Op::GetModuleFileNameW, 0, 9, false}, Case{Op::FindFirstFileW, 0, 9, false},
          Case{Op::LocalAlloc, 1, 10, false}, Case{Op::SetupAddToSourceListW, 0, 0, true},
          Case{Op::SetupCopyOEMInfW, 0, 0, true}, Case{Op::CM_Connect_MachineW, 0, 0, true},
          Case{Op::CM_Locate_DevNode_ExW, 0, 0, true},
          Case{Op::CM_Reenumerate_DevNode_Ex, 0, 0, true},
          Case{Op::UpdateDriverForPlugAndPlayDevicesW, 0, 13, false},
          Case{Op::SetupOpenInfFileW, 0, 0, true}}) {
        sim::SimulatedPlatform fresh;
        AddPackage(fresh);
        fresh.Setup().Fail(c.operation, ERROR_ACCESS_DENIED, c.nth);
        EXPECT_EQ(RunTail(fresh, Tail(u"/i /vistab703 /ncfi")), c.exitCode) << c.operation;
        EXPECT_EQ(fresh.Setup().RegKeyExists(kNetworkStatus), c.statusWritten) << c.operation;
        EXPECT_EQ(fresh.Setup().OpenHandleCount(), 0u) << c.operation;
        EXPECT_EQ(fresh.Setup().OutstandingAllocations(), 0u) << c.operation;
    }
    // Registry writes that fail leave the flow going.
    sim::SimulatedPlatform registry;
    AddPackage(registry);
    registry.Setup().Fail(Op::RegSetValueExW, ERROR_ACCESS_DENIED);
    EXPECT_EQ(RunTail(registry, Tail(u"/i /vistab703 /ncfi")), 0u);
    EXPECT_EQ(registry.Setup().CallCount(Op::UpdateDriverForPlugAndPlayDevicesW), 1u);
}

}  // namespace
}  // namespace cvl

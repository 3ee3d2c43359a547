// The legacy PCI install flow, run as whole "/i" and "/q" command lines.
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
using test::ValueNames;

using Lines = std::vector<std::string>;

constexpr char16_t kPcieKey[] = u"HKLM\\Software\\CVLSetup\\PCIE";
constexpr char16_t kPciKey[] = u"HKLM\\Software\\CVLSetup\\PCI";
constexpr char16_t kNetworkStatus[] = u"HKLM\\Software\\Corvane\\Network";

// The default package names of the two families, beside the program.
void AddDefaultPackages(sim::SimulatedPlatform &machine) {
    machine.Setup().AddFile(u"C:\\setup\\Netcvle.inf", test::PackageInfText(test::AllTestModels()));
    machine.Setup().AddFile(u"C:\\setup\\Netcvlx.inf", test::PackageInfText(test::AllTestModels()));
    machine.Setup().AddFile(u"C:\\setup\\Cvlhvdev.inf",
                            test::PackageInfText(test::AllTestModels()));
}

TEST(LegacyInstallTest, InstallsThePcieFamilyAndRecordsTheCard) {
    sim::SimulatedPlatform machine;
    AddDefaultPackages(machine);
    const sim::DeviceSpec adapter = PciAdapter(u"B702");
    machine.Setup().AddDevice(adapter);
    EXPECT_EQ(RunTail(machine, u"/i /b702"), 0u);

    const Lines log = LogLines(*LogOf(machine));
    const Lines head = {"Starting Install...",
                        "The file path...",
                        "C:\\setup\\",
                        "C:\\setup\\Netcvle.inf",
                        "Copy INF success ...",
                        "Apply B702 driver...",
                        "Installing  = 'PCI\\VEN_1F3A&DEV_B702&CC_0200'"};
    ASSERT_GE(log.size(), head.size());
    EXPECT_EQ(Lines(log.begin(), log.begin() + head.size()), head);
    EXPECT_EQ(ValueNames(machine, kPcieKey),
              (std::vector<std::u16string>{u"SourcePath", u"InfName", u"CardFound"}));
    EXPECT_EQ(machine.Setup().GetRegString(kPcieKey, u"SourcePath"), u"C:\\setup\\");
    EXPECT_EQ(machine.Setup().GetRegString(kPcieKey, u"CardFound"), u"TRUE");
    EXPECT_EQ(machine.Setup().GetRegString(kNetworkStatus, u"version"), test::kPackageVersion);
    // Windows 7 is not asked to look at the device tree again first.
    const std::string id = ToUtf8(adapter.instanceId);
    EXPECT_EQ(machine.Setup().Timeline(),
              (Lines{"update " + id + " C:\\setup\\Netcvle.inf", "disable " + id, "sleep 3000",
                     "enable " + id, "sleep 2000"}));
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
    EXPECT_EQ(machine.Setup().OutstandingAllocations(), 0u);
}

// The 32-bit program on 64-bit Windows: every update fails. The card record
// and the INF are written as before, the status key is not, and the install
// ends with 13.
TEST(LegacyInstallTest, AFailedUpdateEndsWithThirteenWithoutTheStatusKey) {
    sim::SimulatedPlatform machine;
    AddDefaultPackages(machine);
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    machine.Setup().Fail(Op::UpdateDriverForPlugAndPlayDevicesW, ERROR_IN_WOW64);
    EXPECT_EQ(RunTail(machine, u"/i /b702"), 13u);
    EXPECT_EQ(machine.Setup().CallCount(Op::UpdateDriverForPlugAndPlayDevicesW), 5u);
    EXPECT_EQ(machine.Setup().GetRegString(kPcieKey, u"CardFound"), u"FALSE");
    EXPECT_TRUE(machine.Setup().GetRegString(kPcieKey, u"InfName").has_value());
    EXPECT_FALSE(machine.Setup().RegKeyExists(kNetworkStatus));
    EXPECT_EQ(LogLines(*LogOf(machine)).back(), "Exit code: = 13");
}

TEST(LegacyInstallTest, OnlyWindows2000AndXpReenumerateBeforeTheUpdate) {
    struct Case {
        DWORD platformId, major, minor;
        bool reenumerates;
    };
    for (const Case &c :
         {Case{VER_PLATFORM_WIN32_NT, 6, 1, false}, Case{VER_PLATFORM_WIN32_NT, 6, 0, false},
          Case{VER_PLATFORM_WIN32_NT, 5, 1, true}, Case{VER_PLATFORM_WIN32_NT, 5, 0, true},
          Case{VER_PLATFORM_WIN32_NT, 4, 0, false},
          Case{VER_PLATFORM_WIN32_WINDOWS, 4, 90, false}}) {
        sim::SimulatedPlatform machine;
        machine.Setup().SetVersion(c.platformId, c.major, c.minor);
        AddDefaultPackages(machine);
        EXPECT_EQ(RunTail(machine, u"/i /b701"), 0u);
        EXPECT_EQ(machine.Setup().CallCount(Op::CM_Reenumerate_DevNode_Ex) == 1, c.reenumerates)
            << c.major << "." << c.minor;
        // Every generation registers the package folder.
        EXPECT_EQ(machine.Setup().GetRegString(kPciKey, u"SourcePath"), u"C:\\setup\\");
    }
}

TEST(LegacyInstallTest, WithoutALegacyFamilyNothingHappens) {
    for (const char16_t *tail : {u"/i", u"/i /b703", u"/q"}) {
        sim::SimulatedPlatform machine;
        AddDefaultPackages(machine);
        machine.Setup().AddDevice(PciAdapter(u"B701"));
        EXPECT_EQ(RunTail(machine, tail), 8u) << ToUtf8(tail);
        EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\Software\\CVLSetup"));
        // Neither the parameter retry nor the re-enable follows.
        EXPECT_TRUE(machine.Setup().Timeline().empty()) << ToUtf8(tail);
    }
}

TEST(LegacyInstallTest, B701WinsAndNoAdapterMeansNoCard) {
    sim::SimulatedPlatform machine;
    AddDefaultPackages(machine);
    EXPECT_EQ(RunTail(machine, u"/i /b702 /b701 /vdevq2dp"), 0u);
    EXPECT_FALSE(machine.Setup().RegKeyExists(kPcieKey));
    EXPECT_EQ(machine.Setup().GetRegString(kPciKey, u"CardFound"), u"FALSE");
    EXPECT_TRUE(machine.Setup().RegKeyExists(kNetworkStatus));
    // No virtual-device copy with "/b701", but its functions are updated.
    EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\Software\\CVLSetup\\VDEV_Q2DP"));
    EXPECT_EQ(machine.Setup().CallCount(Op::SetupCopyOEMInfW), 1u);
    EXPECT_EQ(machine.Setup().CallCount(Op::UpdateDriverForPlugAndPlayDevicesW), 3u + 3u);
    const Lines log = LogLines(*LogOf(machine));
    EXPECT_EQ(std::count(log.begin(), log.end(), "Found no devices, preinstalll driver ..."), 6);
}

// A copy that worked, of either INF, keeps the main INF from being copied
// again.
TEST(LegacyInstallTest, AnySuccessfulCopyStopsTheRetryCopy) {
    struct Case {
        std::uint32_t failingCopy;
        std::uint32_t copies;
        bool mainRecorded;
    };
    for (const Case &c : {Case{1, 2, false}, Case{2, 2, true}, Case{0, 3, false}}) {
        sim::SimulatedPlatform machine;
        AddDefaultPackages(machine);
        if (c.failingCopy != 0) {
            machine.Setup().Fail(Op::SetupCopyOEMInfW, ERROR_ACCESS_DENIED, c.failingCopy);
        } else {
            machine.Setup().Fail(Op::SetupCopyOEMInfW, ERROR_ACCESS_DENIED);
        }
        EXPECT_EQ(RunTail(machine, u"/i /b702 /vdevq2dp"), 0u);
        EXPECT_EQ(machine.Setup().CallCount(Op::SetupCopyOEMInfW), c.copies) << c.failingCopy;
        EXPECT_EQ(machine.Setup().GetRegString(kPcieKey, u"InfName").has_value(), c.mainRecorded)
            << c.failingCopy;
    }
}

TEST(LegacyInstallTest, RecordVersionAndAMissingPackage) {
    sim::SimulatedPlatform machine;
    AddDefaultPackages(machine);
    EXPECT_EQ(RunTail(machine, u"/q /b702"), 0u);
    EXPECT_EQ(ValueNames(machine, kPcieKey), (std::vector<std::u16string>{u"NewDrvVer"}));
    EXPECT_EQ(machine.Setup().GetRegString(kPcieKey, u"NewDrvVer"), test::kPackageVersion);
    EXPECT_EQ(machine.Setup().CallCount(Op::SetupCopyOEMInfW), 0u);

    for (const char16_t *tail : {u"/q /b702", u"/i /b702"}) {
        sim::SimulatedPlatform empty;
        EXPECT_EQ(RunTail(empty, tail), 9u);
        EXPECT_FALSE(empty.Setup().RegKeyExists(u"HKLM\\Software\\CVLSetup"));
    }
}

TEST(LegacyInstallTest, PlatformFailures) {
    struct Case {
        Op operation;
        std::uint32_t nth;
        DWORD exitCode;
    };
    for (const Case &c :
         {Case{Op::GetModuleFileNameW, 0, 9}, Case{Op::LocalAlloc, 1, 10},
          Case{Op::LocalAlloc, 2, 10}, Case{Op::SetupAddToSourceListW, 0, 0},
          Case{Op::UpdateDriverForPlugAndPlayDevicesW, 0, 13}, Case{Op::RegCreateKeyExW, 0, 0}}) {
        sim::SimulatedPlatform machine;
        AddDefaultPackages(machine);
        machine.Setup().Fail(c.operation, ERROR_ACCESS_DENIED, c.nth);
        EXPECT_EQ(RunTail(machine, u"/i /b702 /vdevq2dp"), c.exitCode) << c.operation;
        EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u) << c.operation;
        EXPECT_EQ(machine.Setup().OutstandingAllocations(), 0u) << c.operation;
    }
}

}  // namespace
}  // namespace cvl

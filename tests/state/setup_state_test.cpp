// The setup-state key and the status keys.
#include "state/setup_state.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl {
namespace {

using sim::Op;

constexpr char16_t kSetup[] = u"HKLM\\Software\\CVLSetup";

std::u16string Sub(std::u16string_view name) {
    return std::u16string(kSetup) + u"\\" + std::u16string(name);
}

class SetupStateTest : public ::testing::Test {
protected:
    sim::SimulatedPlatform machine;
};

TEST_F(SetupStateTest, WriteCreatesTheKeysAndStoresTextWithItsTerminator) {
    ASSERT_TRUE(WriteSetupValue(machine, u"NewDrvVer", u"10.13.1115.2016", 8));
    const auto value = machine.GetRegValue(Sub(u"VISTA_B762"), u"NewDrvVer");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, REG_SZ);
    EXPECT_EQ(value->data.size(), (15u + 1) * 2);
    EXPECT_EQ(machine.GetRegString(Sub(u"VISTA_B762"), u"NewDrvVer"), u"10.13.1115.2016");
    EXPECT_EQ(machine.OpenHandleCount(), 0u);
}

TEST_F(SetupStateTest, EverySelectorHasItsSubkey) {
    const std::vector<std::u16string> names{u"PCIE",       u"PCI",        u"VISTA_B701",
                                            u"VISTA_B703", u"VISTA_B760", u"VDEV_Q2DP",
                                            u"VISTA_B761", u"VISTA_B762", u"VISTA_B76x"};
    for (std::uint8_t selector = 1; selector <= 9; ++selector) {
        ASSERT_TRUE(WriteSetupValue(machine, u"InfName", u"x", selector));
        EXPECT_TRUE(machine.RegKeyExists(Sub(names[selector - 1]))) << int(selector);
    }
    for (std::uint8_t selector : {0, 10, 255}) {
        EXPECT_FALSE(WriteSetupValue(machine, u"InfName", u"x", selector));
        BYTE data[16];
        DWORD size = sizeof(data);
        EXPECT_FALSE(ReadSetupValue(machine, u"InfName", data, size, selector));
        EXPECT_EQ(size, 0u);
    }
    EXPECT_EQ(machine.OpenHandleCount(), 0u);
}

TEST_F(SetupStateTest, ReadReportsStoredOrNeededSize) {
    machine.SetRegString(Sub(u"VISTA_B701"), u"InfName", std::u16string(599, u'x'));  // 1200 bytes
    std::vector<BYTE> buffer(1024, 0xAB);
    DWORD size = 1024;
    EXPECT_FALSE(ReadSetupValue(machine, u"InfName", buffer.data(), size, 3));
    EXPECT_EQ(size, 1200u);
    EXPECT_EQ(buffer, std::vector<BYTE>(1024, 0xAB));

    machine.SetRegString(Sub(u"VISTA_B701"), u"SourcePath", u"C:\\pkg");
    size = 1024;
    EXPECT_TRUE(ReadSetupValue(machine, u"SourcePath", buffer.data(), size, 3));
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(buffer[0], 'C');
    EXPECT_EQ(machine.OpenHandleCount(), 0u);
}

TEST_F(SetupStateTest, ReadFindsNothingForMissingKeysValuesOrSelectorSix) {
    BYTE data[64];
    DWORD size = sizeof(data);
    EXPECT_FALSE(ReadSetupValue(machine, u"InfName", data, size, 3));
    EXPECT_EQ(size, 0u);
    machine.SetRegString(Sub(u"VDEV_Q2DP"), u"InfName", u"C:\\Windows\\INF\\oem3.inf");
    size = sizeof(data);
    EXPECT_FALSE(ReadSetupValue(machine, u"InfName", data, size, 6));
    EXPECT_EQ(size, 0u);
    machine.CreateRegKey(Sub(u"VISTA_B701"));
    size = sizeof(data);
    EXPECT_FALSE(ReadSetupValue(machine, u"Missing", data, size, 3));
    EXPECT_EQ(size, 0u);
}

TEST_F(SetupStateTest, FailedRegistryCallsAreFalseAndLeakNothing) {
    for (Op operation : {Op::RegCreateKeyExW, Op::RegSetValueExW}) {
        sim::SimulatedPlatform fresh;
        fresh.Fail(operation, ERROR_ACCESS_DENIED);
        EXPECT_FALSE(WriteSetupValue(fresh, u"NicExist", u"yes", 3)) << operation;
        EXPECT_EQ(fresh.OpenHandleCount(), 0u);
    }
    machine.SetRegString(Sub(u"VISTA_B701"), u"InfName", u"x");
    machine.Fail(Op::RegQueryValueExW, ERROR_ACCESS_DENIED, 2);
    BYTE data[64];
    DWORD size = sizeof(data);
    EXPECT_FALSE(ReadSetupValue(machine, u"InfName", data, size, 3));
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(machine.OpenHandleCount(), 0u);
}

TEST_F(SetupStateTest, DeletingTheLastFamilyRemovesCVLSetup) {
    WriteSetupValue(machine, u"InfName", u"a", 3);
    WriteSetupValue(machine, u"InfName", u"b", 5);
    DeleteSetupFamily(machine, 3);
    EXPECT_FALSE(machine.RegKeyExists(Sub(u"VISTA_B701")));
    EXPECT_TRUE(machine.RegKeyExists(kSetup));
    DeleteSetupFamily(machine, 5);
    EXPECT_FALSE(machine.RegKeyExists(kSetup));
    EXPECT_TRUE(machine.RegKeyExists(u"HKLM\\Software"));
    EXPECT_EQ(machine.OpenHandleCount(), 0u);
}

TEST_F(SetupStateTest, PciStateSurvivesTheLastPerFamilyDeletionOnEverySystem) {
    struct Case {
        DWORD platformId, major, minor;
    };
    for (const Case &c :
         {Case{VER_PLATFORM_WIN32_NT, 6, 1}, Case{VER_PLATFORM_WIN32_WINDOWS, 4, 10}}) {
        sim::SimulatedPlatform fresh;
        fresh.SetVersion(c.platformId, c.major, c.minor);
        WriteSetupValue(fresh, u"InfName", u"v", 5);
        WriteSetupValue(fresh, u"CardFound", u"TRUE", 1);
        DeleteSetupFamily(fresh, 5);
        EXPECT_FALSE(fresh.RegKeyExists(Sub(u"VISTA_B760")));
        EXPECT_EQ(fresh.GetRegString(Sub(u"PCIE"), u"CardFound"), u"TRUE") << c.platformId;
        DeleteSetupFamily(fresh, 1);
        EXPECT_FALSE(fresh.RegKeyExists(kSetup)) << c.platformId;
    }
}

TEST_F(SetupStateTest, OtherSelectorsDeleteNoFamilyButStillTidyAnEmptyKey) {
    WriteSetupValue(machine, u"InfName", u"v", 3);
    DeleteSetupFamily(machine, 0);
    EXPECT_TRUE(machine.RegKeyExists(Sub(u"VISTA_B701")));
    sim::SimulatedPlatform empty;
    empty.CreateRegKey(kSetup);
    DeleteSetupFamily(empty, 42);
    EXPECT_FALSE(empty.RegKeyExists(kSetup));
    sim::SimulatedPlatform none;
    DeleteSetupFamily(none, 3);
    EXPECT_FALSE(none.RegKeyExists(kSetup));
}

TEST_F(SetupStateTest, StatusKeysRecordTheInstallAndGoOnDelete) {
    struct Case {
        void (*operation)(Platform &, int, std::uint32_t, std::u16string_view);
        const char16_t *key;
    };
    for (const Case &c : {Case{SetNetworkStatus, u"HKLM\\Software\\Corvane\\Network"},
                          Case{SetUsbFeStatus, u"HKLM\\Software\\Corvane\\USBFENetwork"},
                          Case{SetUsbGbeStatus, u"HKLM\\Software\\Corvane\\USBGBENetwork"}}) {
        for (std::uint32_t osKind = 1; osKind <= 8; ++osKind) {
            sim::SimulatedPlatform fresh;
            c.operation(fresh, StatusWrite, osKind, u"8.45.507.2016");
            EXPECT_EQ(fresh.GetRegString(c.key, u"install"), u"success");
            EXPECT_EQ(fresh.GetRegString(c.key, u"reboot"),
                      (osKind == 6 || osKind == 7) ? u"yes" : u"no");
            EXPECT_EQ(fresh.GetRegString(c.key, u"version"), u"8.45.507.2016");
            c.operation(fresh, 3, osKind, u"x");
            EXPECT_TRUE(fresh.RegKeyExists(c.key));
            c.operation(fresh, StatusDelete, osKind, u"");
            EXPECT_FALSE(fresh.RegKeyExists(c.key));
            EXPECT_TRUE(fresh.RegKeyExists(u"HKLM\\Software\\Corvane"));
            EXPECT_EQ(fresh.OpenHandleCount(), 0u);
        }
    }
}

TEST_F(SetupStateTest, StatusWriteStopsWhenTheKeyCannotBeCreated) {
    machine.Fail(Op::RegCreateKeyExW, ERROR_ACCESS_DENIED);
    SetNetworkStatus(machine, StatusWrite, 1, u"1.0");
    EXPECT_FALSE(machine.RegKeyExists(u"HKLM\\Software\\Corvane\\Network"));
}

}  // namespace
}  // namespace cvl

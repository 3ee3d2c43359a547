// The setup-state key and the status keys.
#include "state/setup_state.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/text.h"
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
    ASSERT_TRUE(WriteSetupValue(machine, u"NewDrvVer", u"10.13.1115.2016", FamilyVistaB762));
    const auto value = machine.Setup().GetRegValue(Sub(u"VISTA_B762"), u"NewDrvVer");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, REG_SZ);
    EXPECT_EQ(value->data.size(), (15u + 1) * 2);
    EXPECT_EQ(machine.Setup().GetRegString(Sub(u"VISTA_B762"), u"NewDrvVer"), u"10.13.1115.2016");
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST_F(SetupStateTest, EveryFamilyHasItsSubkey) {
    const struct {
        DeviceFamily family;
        const char16_t *subkey;
    } rows[] = {{FamilyPcie, u"PCIE"},
                {FamilyPci, u"PCI"},
                {FamilyVistaB701, u"VISTA_B701"},
                {FamilyVistaB703, u"VISTA_B703"},
                {FamilyVistaB760, u"VISTA_B760"},
                {FamilyVdevQ2dp, u"VDEV_Q2DP"},
                {FamilyVistaB761, u"VISTA_B761"},
                {FamilyVistaB762, u"VISTA_B762"},
                {FamilyVistaB76x, u"VISTA_B76x"}};
    for (const auto &row : rows) {
        ASSERT_TRUE(WriteSetupValue(machine, u"InfName", u"x", row.family));
        EXPECT_TRUE(machine.Setup().RegKeyExists(Sub(row.subkey))) << ToUtf8(row.subkey);
    }
    for (int code : {0, 10, 255}) {
        const auto family = static_cast<DeviceFamily>(code);
        EXPECT_FALSE(WriteSetupValue(machine, u"InfName", u"x", family));
        BYTE data[16];
        DWORD size = sizeof(data);
        EXPECT_FALSE(ReadSetupValue(machine, u"InfName", data, size, family));
        EXPECT_EQ(size, 0u);
    }
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST_F(SetupStateTest, ReadReportsStoredOrNeededSize) {
    machine.Setup().SetRegString(Sub(u"VISTA_B701"), u"InfName",
                                 std::u16string(599, u'x'));  // 1200 bytes
    std::vector<BYTE> buffer(1024, 0xAB);
    DWORD size = 1024;
    EXPECT_FALSE(ReadSetupValue(machine, u"InfName", buffer.data(), size, FamilyVistaB701));
    EXPECT_EQ(size, 1200u);
    EXPECT_EQ(buffer, std::vector<BYTE>(1024, 0xAB));

    machine.Setup().SetRegString(Sub(u"VISTA_B701"), u"SourcePath", u"C:\\pkg");
    size = 1024;
    EXPECT_TRUE(ReadSetupValue(machine, u"SourcePath", buffer.data(), size, FamilyVistaB701));
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(buffer[0], 'C');
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST_F(SetupStateTest, ReadFindsNothingForMissingKeysValuesOrTheVirtualDevice) {
    BYTE data[64];
    DWORD size = sizeof(data);
    EXPECT_FALSE(ReadSetupValue(machine, u"InfName", data, size, FamilyVistaB701));
    EXPECT_EQ(size, 0u);
    machine.Setup().SetRegString(Sub(u"VDEV_Q2DP"), u"InfName", u"C:\\Windows\\INF\\oem3.inf");
    size = sizeof(data);
    EXPECT_FALSE(ReadSetupValue(machine, u"InfName", data, size, FamilyVdevQ2dp));
    EXPECT_EQ(size, 0u);
    machine.Setup().CreateRegKey(Sub(u"VISTA_B701"));
    size = sizeof(data);
    EXPECT_FALSE(ReadSetupValue(machine, u"Missing", data, size, FamilyVistaB701));
    EXPECT_EQ(size, 0u);
}

TEST_F(SetupStateTest, FailedRegistryCallsAreFalseAndLeakNothing) {
    for (Op operation : {Op::RegCreateKeyExW, Op::RegSetValueExW}) {
        sim::SimulatedPlatform fresh;
        fresh.Setup().Fail(operation, ERROR_ACCESS_DENIED);
        EXPECT_FALSE(WriteSetupValue(fresh, u"NicExist", u"yes", FamilyVistaB701)) << operation;
        EXPECT_EQ(fresh.Setup().OpenHandleCount(), 0u);
    }
    machine.Setup().SetRegString(Sub(u"VISTA_B701"), u"InfName", u"x");
    machine.Setup().Fail(Op::RegQueryValueExW, ERROR_ACCESS_DENIED, 2);
    BYTE data[64];
    DWORD size = sizeof(data);
    EXPECT_FALSE(ReadSetupValue(machine, u"InfName", data, size, FamilyVistaB701));
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST_F(SetupStateTest, DeletingTheLastFamilyRemovesCVLSetup) {
    WriteSetupValue(machine, u"InfName", u"a", FamilyVistaB701);
    WriteSetupValue(machine, u"InfName", u"b", FamilyVistaB760);
    DeleteSetupFamily(machine, FamilyVistaB701);
    EXPECT_FALSE(machine.Setup().RegKeyExists(Sub(u"VISTA_B701")));
    EXPECT_TRUE(machine.Setup().RegKeyExists(kSetup));
    DeleteSetupFamily(machine, FamilyVistaB760);
    EXPECT_FALSE(machine.Setup().RegKeyExists(kSetup));
    EXPECT_TRUE(machine.Setup().RegKeyExists(u"HKLM\\Software"));
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST_F(SetupStateTest, PciStateSurvivesTheLastPerFamilyDeletionOnEverySystem) {
    struct Case {
        DWORD platformId, major, minor;
    };
    for (const Case &c :
         {Case{VER_PLATFORM_WIN32_NT, 6, 1}, Case{VER_PLATFORM_WIN32_WINDOWS, 4, 10}}) {
        sim::SimulatedPlatform fresh;
        fresh.Setup().SetVersion(c.platformId, c.major, c.minor);
        WriteSetupValue(fresh, u"InfName", u"v", FamilyVistaB760);
        WriteSetupValue(fresh, u"CardFound", u"TRUE", FamilyPcie);
        DeleteSetupFamily(fresh, FamilyVistaB760);
        EXPECT_FALSE(fresh.Setup().RegKeyExists(Sub(u"VISTA_B760")));
        EXPECT_EQ(fresh.Setup().GetRegString(Sub(u"PCIE"), u"CardFound"), u"TRUE") << c.platformId;
        DeleteSetupFamily(fresh, FamilyPcie);
        EXPECT_FALSE(fresh.Setup().RegKeyExists(kSetup)) << c.platformId;
    }
}

TEST_F(SetupStateTest, OtherCodesDeleteNoFamilyButStillTidyAnEmptyKey) {
    WriteSetupValue(machine, u"InfName", u"v", FamilyVistaB701);
    DeleteSetupFamily(machine, static_cast<DeviceFamily>(0));
    EXPECT_TRUE(machine.Setup().RegKeyExists(Sub(u"VISTA_B701")));
    sim::SimulatedPlatform empty;
    empty.Setup().CreateRegKey(kSetup);
    DeleteSetupFamily(empty, static_cast<DeviceFamily>(42));
    EXPECT_FALSE(empty.Setup().RegKeyExists(kSetup));
    sim::SimulatedPlatform none;
    DeleteSetupFamily(none, FamilyVistaB701);
    EXPECT_FALSE(none.Setup().RegKeyExists(kSetup));
}

TEST_F(SetupStateTest, StatusKeysRecordTheInstallAndGoOnDelete) {
    struct Case {
        DeviceFamily family;
        const char16_t *key;
    };
    constexpr char16_t kNetwork[] = u"HKLM\\Software\\Corvane\\Network";
    constexpr char16_t kUsbGbe[] = u"HKLM\\Software\\Corvane\\USBGBENetwork";
    for (const Case &c : {Case{FamilyPcie, kNetwork}, Case{FamilyPci, kNetwork},
                          Case{FamilyVistaB701, kNetwork}, Case{FamilyVistaB703, kNetwork},
                          Case{FamilyVistaB761, u"HKLM\\Software\\Corvane\\USBFENetwork"},
                          Case{FamilyVistaB762, kUsbGbe}, Case{FamilyVistaB76x, kUsbGbe}}) {
        // Only Windows 98 and Me restart after an install.
        for (const auto &[osKind, reboot] :
             {std::pair{OsNt6Later, u"no"}, std::pair{OsNt60, u"no"}, std::pair{OsNt5Later, u"no"},
              std::pair{OsNt50, u"no"}, std::pair{OsNt4, u"no"}, std::pair{Os9xMe, u"yes"},
              std::pair{Os9x98, u"yes"}, std::pair{Os9x95, u"no"}}) {
            sim::SimulatedPlatform fresh;
            SetFamilyStatus(fresh, c.family, StatusWrite, osKind, u"8.45.507.2016");
            EXPECT_EQ(fresh.Setup().GetRegString(c.key, u"install"), u"success");
            EXPECT_EQ(fresh.Setup().GetRegString(c.key, u"reboot"), reboot);
            EXPECT_EQ(fresh.Setup().GetRegString(c.key, u"version"), u"8.45.507.2016");
            SetFamilyStatus(fresh, c.family, StatusDelete, osKind, u"");
            EXPECT_FALSE(fresh.Setup().RegKeyExists(c.key));
            EXPECT_TRUE(fresh.Setup().RegKeyExists(u"HKLM\\Software\\Corvane"));
            EXPECT_EQ(fresh.Setup().OpenHandleCount(), 0u);
        }
    }
}

// The B760 install asks for a fresh look at the devices instead, and the
// virtual device rides with a family that has its own key.
TEST_F(SetupStateTest, FamiliesWithoutAStatusKeyWriteNone) {
    for (const DeviceFamily family : {FamilyVistaB760, FamilyVdevQ2dp}) {
        SetFamilyStatus(machine, family, StatusWrite, OsNt6Later, u"1.0");
        EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\Software\\Corvane"));
    }
}

TEST_F(SetupStateTest, StatusWriteStopsWhenTheKeyCannotBeCreated) {
    machine.Setup().Fail(Op::RegCreateKeyExW, ERROR_ACCESS_DENIED);
    SetFamilyStatus(machine, FamilyVistaB701, StatusWrite, OsNt6Later, u"1.0");
    EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\Software\\Corvane\\Network"));
}

}  // namespace
}  // namespace cvl

// The driver version checks and the parameter writes.
#include "device/version_check.h"

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "common/family_code.h"
#include "support/devices.h"
#include "support/scenario.h"
#include "system/registry_text.h"

namespace cvl {
namespace {

using sim::Op;

using test::PciAdapter;
using test::UsbAdapter;

TEST(IsPackageVersionNewerTest, ComparesHexComponentsFourthBeforeThird) {
    struct Case {
        std::u16string_view package, adapter;
        bool newer;
    };
    for (const Case &c :
         {Case{u"1.2.0101.2017", u"1.2.0300.2016", true}, Case{u"1.2.3", u"1.2.3.4", false},
          Case{u"1.1a.0.0", u"1.19.0.0", true},
          Case{u"10.13.1115.2016", u"10.013.1115.2016", false}, Case{u"2.0.0.0", u"1.9.9.9", true},
          Case{u"1.0.0.0", u"1.0.0.0", false}, Case{u"1..2.3.4", u"1.2.3.3", true},
          Case{u".5.0.0", u"0.0.0.0", false}, Case{u"1.2.x.4", u"1.2.0.3", true},
          Case{u"1.2.3.4.9", u"1.2.3.4.1", false}}) {
        EXPECT_EQ(IsPackageVersionNewer(c.package, c.adapter), c.newer)
            << ToUtf8(c.package) << " vs " << ToUtf8(c.adapter);
    }
}

TEST(WakeOnLanTest, SettingsAndTheirCapabilityWords) {
    EXPECT_EQ(WakeOnLanCapabilities(u"wol_ptn_and_mag"), 0x20u);
    EXPECT_EQ(WakeOnLanCapabilities(u"WOL_MAG_ONLY"), 0x120u);
    EXPECT_EQ(WakeOnLanCapabilities(u"wol_power_saving_only"), 0x30u);
    EXPECT_EQ(WakeOnLanCapabilities(u"WOL_NONE"), 0x38u);
    EXPECT_FALSE(WakeOnLanCapabilities(u"wol_all"));
}

class VersionCheckTest : public ::testing::Test {
protected:
    sim::SimulatedPlatform machine;
    RunState state{machine};
    ParameterTargets targets = ParameterTargets::PackageVersionOnly;
    bool keepNewerDriver = false;
    std::u16string driverKey;

    void SetUp() override {
        ResetCommandLineLists(state);
        state.PackageDriverVersion = u"8.45.507.2016";
        OpenInstallLog(state.log);
    }
    void AddParameter(std::u16string_view name, std::u16string_view value, std::int32_t kind = 1) {
        ParameterEntry &entry = state.parameters.entries[state.parameters.count++];
        StoreInSlot(entry.name, name);
        StoreInSlot(entry.value, value);
        entry.kind = kind;
    }
    std::string Log() {
        CloseInstallLog(state.log);
        return machine.Setup().ReadFileContents(test::kLogPath).value_or("");
    }
};

TEST_F(VersionCheckTest, NoAdapterMeansSuccessAndNothingWritten) {
    AddParameter(u"wol_setting", u"wol_none");
    EXPECT_TRUE(CheckDriverSetParameters(machine, state, FamilyVistaB701, targets));
    EXPECT_EQ(CheckDriverInstallNeeded(machine, state, FamilyVistaB701, keepNewerDriver),
              InstallNeed::NoAdapter);
}

TEST_F(VersionCheckTest, WakeOnLanIsWrittenIntoAnAdapterRunningThePackage) {
    driverKey = machine.Setup().AddDevice(PciAdapter(u"B702"));
    AddParameter(u"wol_setting", u"WOL_NONE");
    AddParameter(u"wol_setting", u"wol_everything");
    EXPECT_TRUE(CheckDriverSetParameters(machine, state, FamilyVistaB701, targets));
    EXPECT_EQ(machine.Setup().GetRegDword(driverKey, u"PnPCapabilities"), 56u);
    EXPECT_EQ(Log(), "Driver Ver = '8.45.507.2016'\r\nDest Driver Ver = '8.45.507.2016'\r\n");
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST_F(VersionCheckTest, AnotherVersionFailsExceptInTheSetParametersAction) {
    driverKey = machine.Setup().AddDevice(PciAdapter(u"B702", u"1", u"10.013.1115.2016"));
    state.PackageDriverVersion = u"10.13.1115.2016";
    AddParameter(u"wol_setting", u"wol_mag_only");
    EXPECT_FALSE(CheckDriverSetParameters(machine, state, FamilyVistaB701, targets));
    EXPECT_FALSE(machine.Setup().GetRegValue(driverKey, u"PnPCapabilities"));
    targets = ParameterTargets::AnyVersion;
    EXPECT_TRUE(CheckDriverSetParameters(machine, state, FamilyVistaB701, targets));
    EXPECT_EQ(machine.Setup().GetRegDword(driverKey, u"PnPCapabilities"), 0x120u);
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 1u);  // the log
}

TEST_F(VersionCheckTest, VersionsDifferingOnlyInLetterCaseAreEqual) {
    machine.Setup().AddDevice(PciAdapter(u"B702", u"1", u"1.0.0.A"));
    state.PackageDriverVersion = u"1.0.0.a";
    AddParameter(u"wol_setting", u"wol_none");
    EXPECT_TRUE(CheckDriverSetParameters(machine, state, FamilyVistaB701, targets));
    EXPECT_EQ(CheckDriverInstallNeeded(machine, state, FamilyVistaB701, keepNewerDriver),
              InstallNeed::NotNeeded);
}

TEST_F(VersionCheckTest, TextAndNumberParametersOnlyReplaceExistingValues) {
    driverKey = machine.Setup().AddDevice(PciAdapter(u"B702"));
    machine.Setup().SetRegString(driverKey, u"SpeedDuplex", u"0");
    machine.Setup().SetRegDword(driverKey, u"JumboFrame", 1);
    machine.Setup().SetRegString(driverKey, u"FlowControl", u"3");
    AddParameter(u"SpeedDuplex", u"100");
    AddParameter(u"JumboFrame", u"ff", kParameterKindHexNumber);
    AddParameter(u"NotThere", u"1");
    AddParameter(u"FlowControl", u"1a", kParameterKindHexNumber);
    EXPECT_TRUE(CheckDriverSetParameters(machine, state, FamilyPcie, targets));
    EXPECT_EQ(machine.Setup().GetRegString(driverKey, u"SpeedDuplex"), u"100");
    EXPECT_EQ(machine.Setup().GetRegDword(driverKey, u"JumboFrame"), 255u);
    EXPECT_FALSE(machine.Setup().GetRegValue(driverKey, u"NotThere"));
    // A hexadecimal parameter over a text keeps the type and is stored as the
    // number's decimal text, which the driver reads back as the same number.
    const auto flow = machine.Setup().GetRegValue(driverKey, u"FlowControl");
    EXPECT_EQ(flow->type, REG_SZ);
    EXPECT_EQ(flow->data, RegistryTextBytes(u"26"));
    EXPECT_EQ(Log(),
              "Driver Ver = '8.45.507.2016'\r\nDest Driver Ver = '8.45.507.2016'\r\n"
              "Para value = 48\r\nPara value = 1\r\nPara value = 0\r\nPara value = 51\r\n");
}

// A kind-4 number takes the form of the value it replaces: decimal text in a
// text value, the number's bytes in the others.
TEST_F(VersionCheckTest, AHexNumberIsStoredInTheFormOfTheExistingValue) {
    struct Case {
        const char *what;
        DWORD type;
        std::vector<BYTE> existing;
        std::vector<BYTE> stored;
    };
    for (const Case &c :
         {Case{"text", REG_SZ, RegistryTextBytes(u"1514"), RegistryTextBytes(u"9042")},
          Case{"expandable text", REG_EXPAND_SZ, RegistryTextBytes(u"1514"),
               RegistryTextBytes(u"9042")},
          Case{"number", REG_DWORD, {0xEA, 0x05, 0, 0}, {0x52, 0x23, 0, 0}},
          Case{"bytes", REG_BINARY, {1, 2, 3, 4, 5, 6}, {0x52, 0x23, 0, 0, 0, 0}}}) {
        sim::SimulatedPlatform fresh;
        RunState freshState(fresh);
        freshState.PackageDriverVersion = u"8.45.507.2016";
        const std::u16string key = fresh.Setup().AddDevice(PciAdapter(u"B702"));
        fresh.Setup().SetRegValue(key, u"*JumboPacket", c.type, c.existing);
        ParameterEntry &entry = freshState.parameters.entries[freshState.parameters.count++];
        StoreInSlot(entry.name, u"*JumboPacket");
        StoreInSlot(entry.value, u"2352");
        entry.kind = kParameterKindHexNumber;
        EXPECT_TRUE(CheckDriverSetParameters(fresh, freshState, FamilyPcie, targets)) << c.what;
        const auto stored = fresh.Setup().GetRegValue(key, u"*JumboPacket");
        EXPECT_EQ(stored->type, c.type) << c.what;
        EXPECT_EQ(stored->data, c.stored) << c.what;
    }
}

TEST_F(VersionCheckTest, AnUnparsableHexValueIsAFailedWriteAndOtherEntriesStillGo) {
    driverKey = machine.Setup().AddDevice(PciAdapter(u"B702"));
    machine.Setup().SetRegDword(driverKey, u"JumboFrame", 1);
    AddParameter(u"JumboFrame", u"zz", kParameterKindHexNumber);
    AddParameter(u"wol_setting", u"wol_none");
    EXPECT_FALSE(CheckDriverSetParameters(machine, state, FamilyPcie, targets));
    EXPECT_EQ(machine.Setup().GetRegDword(driverKey, u"JumboFrame"), 1u);
    EXPECT_EQ(machine.Setup().GetRegDword(driverKey, u"PnPCapabilities"), 56u);
}

TEST_F(VersionCheckTest, ALargeExistingValueIsNotFilledFromBeyondTheNumber) {
    driverKey = machine.Setup().AddDevice(PciAdapter(u"B702"));
    machine.Setup().SetRegValue(driverKey, u"Mask", REG_BINARY, std::vector<BYTE>(12, 0xEE));
    AddParameter(u"Mask", u"12345678", kParameterKindHexNumber);
    EXPECT_TRUE(CheckDriverSetParameters(machine, state, FamilyPcie, targets));
    EXPECT_EQ(machine.Setup().GetRegValue(driverKey, u"Mask")->data,
              (std::vector<BYTE>{0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// An existing value larger than the first 16-byte read is read again with
// the size the registry reports and then written; one that still cannot be
// read is a failed write and stays as it was.
TEST_F(VersionCheckTest, AnExistingValueLargerThanTheFirstReadIsStillWritten) {
    const std::vector<BYTE> address = RegistryTextBytes(u"001122334455");
    struct Case {
        const char *what;
        std::vector<BYTE> existing;
        std::uint32_t failingRead;  // 0: none; the first is "DriverVersion"
        bool written;
    };
    for (const Case &c :
         {Case{"read again", address, 0, true}, Case{"second read fails", address, 3, false},
          Case{"first read fails", address, 2, false},
          Case{"larger than a value can be", std::vector<BYTE>(1024 * 1024 + 2, 0x31), 0, false}}) {
        sim::SimulatedPlatform fresh;
        RunState freshState(fresh);
        freshState.PackageDriverVersion = u"8.45.507.2016";
        const std::u16string key = fresh.Setup().AddDevice(PciAdapter(u"B702"));
        fresh.Setup().SetRegValue(key, u"NetworkAddress", REG_SZ, c.existing);
        if (c.failingRead != 0)
            fresh.Setup().Fail(Op::RegQueryValueExW, ERROR_ACCESS_DENIED, c.failingRead);
        ParameterEntry &entry = freshState.parameters.entries[freshState.parameters.count++];
        StoreInSlot(entry.name, u"NetworkAddress");
        StoreInSlot(entry.value, u"00AABBCCDDEE");
        entry.kind = 1;
        EXPECT_EQ(CheckDriverSetParameters(fresh, freshState, FamilyPcie, targets), c.written)
            << c.what;
        EXPECT_EQ(fresh.Setup().GetRegValue(key, u"NetworkAddress")->data,
                  c.written ? RegistryTextBytes(u"00AABBCCDDEE") : c.existing)
            << c.what;
        EXPECT_EQ(fresh.Setup().OpenHandleCount(), 0u) << c.what;
    }
    // The log shows the first four bytes of what was read: "00" as UTF-16.
    driverKey = machine.Setup().AddDevice(PciAdapter(u"B702"));
    machine.Setup().SetRegValue(driverKey, u"NetworkAddress", REG_SZ, address);
    AddParameter(u"NetworkAddress", u"00AABBCCDDEE");
    EXPECT_TRUE(CheckDriverSetParameters(machine, state, FamilyPcie, targets));
    EXPECT_NE(Log().find("Para value = 3145776\r\n"), std::string::npos);
}

TEST_F(VersionCheckTest, TextForANumberValueIsStoredAsTheNumberItMeans) {
    driverKey = machine.Setup().AddDevice(PciAdapter(u"B702"));
    machine.Setup().SetRegDword(driverKey, u"OptimalPerf", 0);
    machine.Setup().SetRegDword(driverKey, u"Other", 5);
    AddParameter(u"OptimalPerf", u"1");
    EXPECT_TRUE(CheckDriverSetParameters(machine, state, FamilyPcie, targets));
    EXPECT_EQ(machine.Setup().GetRegDword(driverKey, u"OptimalPerf"), 1u);
    AddParameter(u"Other", u"fast");
    EXPECT_FALSE(CheckDriverSetParameters(machine, state, FamilyPcie, targets));
    EXPECT_EQ(machine.Setup().GetRegDword(driverKey, u"Other"), 5u);
}

TEST_F(VersionCheckTest, AFailedWriteStopsAfterThatAdapter) {
    const std::u16string first = machine.Setup().AddDevice(PciAdapter(u"B702", u"1"));
    const std::u16string second = machine.Setup().AddDevice(PciAdapter(u"B705", u"2"));
    AddParameter(u"wol_setting", u"wol_none");
    machine.Setup().Fail(Op::RegSetValueExW, ERROR_ACCESS_DENIED, 1);
    EXPECT_FALSE(CheckDriverSetParameters(machine, state, FamilyPcie, targets));
    EXPECT_FALSE(machine.Setup().GetRegValue(first, u"PnPCapabilities"));
    EXPECT_FALSE(machine.Setup().GetRegValue(second, u"PnPCapabilities"));
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 1u);
}

TEST_F(VersionCheckTest, UnreadableDriverKeysAreSkippedAndAFailedListIsZero) {
    auto noKey = PciAdapter(u"B702", u"1");
    noKey.withDriverKey = false;
    machine.Setup().AddDevice(noKey);
    auto noVersion = PciAdapter(u"B705", u"2");
    noVersion.driverStrings.erase(noVersion.driverStrings.begin() + 1);
    machine.Setup().AddDevice(noVersion);
    AddParameter(u"wol_setting", u"wol_none");
    EXPECT_TRUE(CheckDriverSetParameters(machine, state, FamilyPcie, targets));
    machine.Setup().Fail(Op::SetupDiGetClassDevsW, ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(CheckDriverSetParameters(machine, state, FamilyPcie, targets));
    EXPECT_EQ(CheckDriverInstallNeeded(machine, state, FamilyVistaB701, keepNewerDriver),
              InstallNeed::NoAdapter);
}

TEST_F(VersionCheckTest, UsbAndB703MatchesAreLogged) {
    machine.Setup().AddDevice(UsbAdapter(u"0C7E", u"B762", u"3000", u"8.45.507.2016"));
    AddParameter(u"wol_setting", u"wol_none");
    EXPECT_TRUE(CheckDriverSetParameters(machine, state, FamilyVistaB762, targets));
    EXPECT_EQ(
        Log(),
        "Found 1 adapter... CHK_DRV_SET_PARA\r\nSTRING :  = 'USB\\VID_0C7E&PID_B762&REV_3000'\r\n"
        "Driver Ver = '8.45.507.2016'\r\nDest Driver Ver = '8.45.507.2016'\r\n");
}

TEST_F(VersionCheckTest, InstallNeedFollowsVersionsAndKeepNewDriver) {
    struct Case {
        std::u16string_view adapter, package;
        bool keep;
        InstallNeed need;
    };
    for (const Case &c :
         {Case{u"10.013.1115.2016", u"10.13.1115.2016", true, InstallNeed::NotNeeded},
          Case{u"10.013.1115.2016", u"10.13.1115.2016", false, InstallNeed::Needed},
          Case{u"1.2.0300.2016", u"1.2.0101.2017", true, InstallNeed::Needed},
          Case{u"8.45.507.2016", u"8.45.507.2016", false, InstallNeed::NotNeeded}}) {
        sim::SimulatedPlatform fresh;
        RunState freshState(fresh);
        ResetCommandLineLists(freshState);
        fresh.Setup().AddDevice(PciAdapter(u"B702", u"1", c.adapter));
        freshState.PackageDriverVersion = std::u16string(c.package);
        EXPECT_EQ(CheckDriverInstallNeeded(fresh, freshState, FamilyVistaB701, c.keep), c.need)
            << ToUtf8(c.adapter) << " " << ToUtf8(c.package) << " " << c.keep;
        EXPECT_EQ(fresh.Setup().OpenHandleCount(), 0u);
    }
}

TEST_F(VersionCheckTest, FamiliesWithoutAnInstallCheckFindNoAdapter) {
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    for (DeviceFamily family :
         {FamilyPcie, FamilyPci, FamilyVdevQ2dp, static_cast<DeviceFamily>(0)})
        EXPECT_EQ(CheckDriverInstallNeeded(machine, state, family, keepNewerDriver),
                  InstallNeed::NoAdapter);
}

TEST_F(VersionCheckTest, InstallNeedWithAnUnopenableDriverKeyAsksForTheInstall) {
    auto adapter = PciAdapter(u"B703");
    adapter.withDriverKey = false;
    machine.Setup().AddDevice(adapter);
    EXPECT_EQ(CheckDriverInstallNeeded(machine, state, FamilyVistaB703, keepNewerDriver),
              InstallNeed::Needed);
}

TEST_F(VersionCheckTest, InstallNeedLogsEveryUsbComparison) {
    machine.Setup().AddDevice(UsbAdapter(u"0C7E", u"B760", u"0100", u"8.45.507.2016"));
    EXPECT_EQ(CheckDriverInstallNeeded(machine, state, FamilyVistaB760, keepNewerDriver),
              InstallNeed::NotNeeded);
    EXPECT_EQ(Log(),
              "usb\\vid_0c7e&pid_b760&rev_0100\r\nusb\\vid_0c7e&pid_b760&rev_0100\r\n"
              "Curr : = '8.45.507.2016'\r\nNew : = '8.45.507.2016'\r\n");
}

}  // namespace
}  // namespace cvl

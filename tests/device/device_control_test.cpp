// Switching adapters off and on: which adapters each walk takes, what it
// sends, and what it logs.
#include "device/device_control.h"

#include <gtest/gtest.h>

#include "common/family_code.h"
#include "support/devices.h"
#include "support/scenario.h"

namespace cvl {
namespace {

using sim::Op;

using test::PciAdapter;
using test::UsbAdapter;

std::string Utf8(std::u16string_view text) {
    return ToUtf8(text);
}

class DeviceControlTest : public ::testing::Test {
protected:
    sim::SimulatedPlatform machine;
    RunState state{machine};

    void SetUp() override {
        machine.Setup().CreateRegKey(u"HKLM\\Software");
        OpenInstallLog(state.log);
    }
    std::string Log() {
        CloseInstallLog(state.log);
        return machine.Setup().ReadFileContents(test::kLogPath).value_or("");
    }
};

TEST_F(DeviceControlTest, DisablingTakesOnlyStartedAdaptersOfTheFamily) {
    auto started = PciAdapter(u"B702", u"1");
    auto stopped = PciAdapter(u"B705", u"2");
    stopped.started = false;
    auto otherFamily = PciAdapter(u"B703", u"3");
    machine.Setup().AddDevice(started);
    machine.Setup().AddDevice(stopped);
    machine.Setup().AddDevice(otherFamily);
    SetFamilyAdaptersState(machine, state, FamilyPcie, AdapterSwitch::Off);
    EXPECT_EQ(machine.Setup().Timeline(),
              std::vector<std::string>{"disable " + Utf8(started.instanceId)});
    EXPECT_EQ(
        machine.Setup().ClassInstallerCalls(),
        std::vector<std::string>{"DIF_PROPERTYCHANGE DICS_DISABLE " + Utf8(started.instanceId)});
    EXPECT_FALSE(machine.Setup().DeviceState(started.instanceId)->started);
    EXPECT_EQ(Log(),
              "ComponentId = 'pci\\ven_1f3a&dev_b702&subsys_00011043'\r\n"
              "ComponentId = 'pci\\ven_1f3a&dev_b703&subsys_00011043'\r\n");
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST_F(DeviceControlTest, EnablingTakesOnlyStoppedAdapters) {
    auto started = PciAdapter(u"B702", u"1");
    auto stopped = PciAdapter(u"B705", u"2");
    stopped.started = false;
    machine.Setup().AddDevice(started);
    machine.Setup().AddDevice(stopped);
    SetFamilyAdaptersState(machine, state, FamilyPcie, AdapterSwitch::On);
    EXPECT_EQ(
        machine.Setup().ClassInstallerCalls(),
        std::vector<std::string>{"DIF_PROPERTYCHANGE DICS_ENABLE " + Utf8(stopped.instanceId)});
    EXPECT_TRUE(machine.Setup().DeviceState(stopped.instanceId)->started);
}

TEST_F(DeviceControlTest, HiddenOrNotDisableableAdaptersAreNeverChanged) {
    auto hidden = PciAdapter(u"B702", u"1");
    hidden.hiddenFromDeviceManager = true;
    auto fixed = PciAdapter(u"B702", u"2");
    fixed.disableable = false;
    machine.Setup().AddDevice(hidden);
    machine.Setup().AddDevice(fixed);
    SetFamilyAdaptersState(machine, state, FamilyPcie, AdapterSwitch::Off);
    SetFamilyAdaptersState(machine, state, FamilyVistaB701, AdapterSwitch::Off);
    EXPECT_TRUE(machine.Setup().ClassInstallerCalls().empty());
    EXPECT_EQ(Log(), "");
}

TEST_F(DeviceControlTest, B708IsTakenByItsPrefixThoughNoFullIdListHoldsIt) {
    machine.Setup().AddDevice(PciAdapter(u"B708"));
    SetFamilyAdaptersState(machine, state, FamilyPcie, AdapterSwitch::Off);
    EXPECT_EQ(machine.Setup().ClassInstallerCalls().size(), 1u);
    SetFamilyAdaptersState(machine, state, FamilyVistaB701, AdapterSwitch::On);
    EXPECT_EQ(machine.Setup().ClassInstallerCalls().size(), 2u);
    SetFamilyAdaptersState(machine, state, FamilyPci, AdapterSwitch::Off);
    EXPECT_EQ(machine.Setup().ClassInstallerCalls().size(), 2u);
}

TEST_F(DeviceControlTest, OemIdsReplaceTheFamilyPrefixes) {
    auto partner = PciAdapter(u"B702");
    partner.driverStrings[0].second = u"pci\\ven_10ec&dev_8168&subsys_00011043";
    machine.Setup().AddDevice(partner);
    machine.Setup().AddDevice(PciAdapter(u"B705", u"2"));
    StoreInSlot(state.ids.OemHardwareIds[0], u"PCI\\VEN_10EC&DEV_8168&CC_0200");
    state.ids.oemCount = 1;
    SetFamilyAdaptersState(machine, state, FamilyVistaB762, AdapterSwitch::Off);
    EXPECT_EQ(
        machine.Setup().ClassInstallerCalls(),
        std::vector<std::string>{"DIF_PROPERTYCHANGE DICS_DISABLE " + Utf8(partner.instanceId)});
}

TEST_F(DeviceControlTest, TheVirtualDeviceMatchesNothingWithoutOemIds) {
    machine.Setup().AddDevice(PciAdapter(u"B70A"));
    SetFamilyAdaptersState(machine, state, FamilyVdevQ2dp, AdapterSwitch::Off);
    EXPECT_TRUE(machine.Setup().ClassInstallerCalls().empty());
}

TEST_F(DeviceControlTest, AdaptersWithoutADriverKeyOrComponentIdArePassedOver) {
    auto noKey = PciAdapter(u"B702", u"1");
    noKey.withDriverKey = false;
    auto noComponent = PciAdapter(u"B702", u"2");
    noComponent.driverStrings.erase(noComponent.driverStrings.begin());
    machine.Setup().AddDevice(noKey);
    machine.Setup().AddDevice(noComponent);
    SetFamilyAdaptersState(machine, state, FamilyPcie, AdapterSwitch::Off);
    EXPECT_TRUE(machine.Setup().ClassInstallerCalls().empty());
    EXPECT_EQ(Log(), "");
}

TEST_F(DeviceControlTest, AFailedRequestDoesNotStopTheWalk) {
    // The request's results are not looked at: the first adapter's
    // parameters are refused, so its class-installer call changes nothing,
    // and the second adapter is still switched off.
    auto first = PciAdapter(u"B702", u"1");
    auto second = PciAdapter(u"B705", u"2");
    machine.Setup().AddDevice(first);
    machine.Setup().AddDevice(second);
    machine.Setup().Fail(Op::SetupDiSetClassInstallParamsW, ERROR_INVALID_PARAMETER, 1);
    SetFamilyAdaptersState(machine, state, FamilyPcie, AdapterSwitch::Off);
    EXPECT_EQ(machine.Setup().Timeline(),
              std::vector<std::string>{"disable " + Utf8(second.instanceId)});
    EXPECT_TRUE(machine.Setup().DeviceState(first.instanceId)->started);
}

TEST_F(DeviceControlTest, AFailedDeviceListSwitchesNothing) {
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    machine.Setup().Fail(Op::SetupDiGetClassDevsW, ERROR_INVALID_PARAMETER);
    SetFamilyAdaptersState(machine, state, FamilyPcie, AdapterSwitch::Off);
    SetAdapterStateById(machine, state, u"x", AdapterSwitch::Off);
    EXPECT_TRUE(machine.Setup().ClassInstallerCalls().empty());
}

TEST_F(DeviceControlTest, ByIdMatchesTheConnectionInstanceIdInAnyCase) {
    auto adapter = PciAdapter(u"B702", u"7");
    machine.Setup().AddDevice(adapter);
    const std::u16string upper = test::DriverString(adapter, u"NetCfgInstanceId");
    std::u16string lower = LoweredAZ(upper);
    SetAdapterStateById(machine, state, lower, AdapterSwitch::Off);
    EXPECT_EQ(
        machine.Setup().ClassInstallerCalls(),
        std::vector<std::string>{"DIF_PROPERTYCHANGE DICS_DISABLE " + Utf8(adapter.instanceId)});
    EXPECT_EQ(Log(), "NetCfgInstanceId = '" + Utf8(lower) + "'\r\nNicId = '" + Utf8(lower) +
                         "'\r\nFound!!!\r\n");
}

TEST_F(DeviceControlTest, ByIdFallsBackToTheFirst21CharactersOfAHardwareId) {
    auto adapter = PciAdapter(u"B702", u"7");
    machine.Setup().AddDevice(adapter);
    const std::u16string longId =
        u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_FFFFFFFF&REV_99";  // 44 characters
    SetAdapterStateById(machine, state, longId, AdapterSwitch::Off);
    EXPECT_EQ(machine.Setup().ClassInstallerCalls().size(), 1u);
    const std::string log = Log();
    EXPECT_NE(log.find("ComponentId = 'pci\\ven_1f3a&dev_b702&subsys_00011043'\r\n"
                       "NicId = 'PCI\\VEN_1F3A&DEV_B702'\r\nFound!!!\r\n"),
              std::string::npos)
        << log;
    SetAdapterStateById(machine, state, u"PCI\\VEN_1F3A&DEV_B705&SUBSYS_00011043",
                        AdapterSwitch::On);
    EXPECT_EQ(machine.Setup().ClassInstallerCalls().size(), 1u);
}

TEST_F(DeviceControlTest, ByIdLogsAnAdapterWhoseDriverKeyCannotBeOpened) {
    auto adapter = PciAdapter(u"B702");
    adapter.withDriverKey = false;
    machine.Setup().AddDevice(adapter);
    SetAdapterStateById(machine, state, u"{x}", AdapterSwitch::Off);
    EXPECT_EQ(Log(), "Not Run as Administrator ?\r\n");
}

TEST_F(DeviceControlTest, EnableSelectedFamiliesGoesInTheOrderGivenThenWaits) {
    auto b703 = PciAdapter(u"B703", u"1");
    auto b701 = PciAdapter(u"B701", u"2");
    auto b762 = UsbAdapter(u"0C7E", u"B762", u"3000");
    for (auto *spec : {&b703, &b701, &b762}) {
        spec->started = false;
        machine.Setup().AddDevice(*spec);
    }
    const DeviceFamily families[] = {FamilyVistaB703, FamilyVistaB701, FamilyVistaB762};
    EnableSelectedFamilies(machine, state, families);
    EXPECT_EQ(machine.Setup().Timeline(),
              (std::vector<std::string>{"enable " + Utf8(b703.instanceId),
                                        "enable " + Utf8(b701.instanceId),
                                        "enable " + Utf8(b762.instanceId), "sleep 2000"}));
}

}  // namespace
}  // namespace cvl

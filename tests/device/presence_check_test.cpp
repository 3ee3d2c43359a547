// Whether an adapter is present: the driver stage and the hardware-id stage.
#include "device/presence_check.h"

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "support/devices.h"
#include "support/scenario.h"

namespace cvl {
namespace {

using sim::Op;

using test::PciAdapter;

class PresenceCheckTest : public ::testing::Test {
protected:
    sim::SimulatedPlatform machine;
    RunState state{machine};
    InstallOptions options;

    void SetUp() override {
        ResetCommandLineLists(state);
        options.action = ActionCheckPresence;
        OpenInstallLog(state.log);
    }
    void AskFor(std::u16string_view vendor, std::u16string_view device,
                std::u16string_view subsystemVendor, std::u16string_view subsystem) {
        CheckIdFragments &entry = state.checkFragments.entries[state.checkFragments.count++];
        std::copy(vendor.begin(), vendor.end(), entry.vendorId.begin());
        std::copy(device.begin(), device.end(), entry.deviceId.begin());
        std::copy(subsystemVendor.begin(), subsystemVendor.end(), entry.subsystemVendorId.begin());
        std::copy(subsystem.begin(), subsystem.end(), entry.subsystemId.begin());
        BuildCheckHardwareIds(state);
    }
    std::string Log() {
        CloseInstallLog(state.log);
        return machine.ReadFileContents(test::kLogPath).value_or("");
    }
};

TEST_F(PresenceCheckTest, AGenericIdAcceptsAnyGenericAdapter) {
    machine.AddDevice(PciAdapter(u"B702"));
    AskFor(u"1F3A", u"B701", u"0000", u"0000");
    EXPECT_EQ(ChkNicExist(machine, state, options), 1);
    EXPECT_EQ(Log(),
              "ChkNicExist : ComponentId = 'pci\\ven_1f3a&dev_b702&subsys_00011043'\r\n"
              "S1 = 'pci\\ven_1f3a&dev_b702'\r\nEQUAL\r\n");
}

TEST_F(PresenceCheckTest, AnExactIdMatchesTheWholeComponentIdInAnyCase) {
    machine.AddDevice(PciAdapter(u"B707"));  // ComponentId ...&subsys_00011043
    AskFor(u"1F3A", u"B707", u"1043", u"0001");
    EXPECT_EQ(ChkNicExist(machine, state, options), 1);
    EXPECT_EQ(SlotText(state.ids.CheckHardwareIds[0]), u"pci\\ven_1f3a&dev_b707&subsys_00011043");
}

TEST_F(PresenceCheckTest, AStoppedAdapterCountsButAHiddenOneDoesNot) {
    auto stopped = PciAdapter(u"B705", u"1");
    stopped.started = false;
    machine.AddDevice(stopped);
    AskFor(u"1F3A", u"B705", u"1043", u"0001");
    EXPECT_EQ(ChkNicExist(machine, state, options), 1);

    sim::SimulatedPlatform other;
    RunState otherState(other);
    ResetCommandLineLists(otherState);
    otherState.ids = state.ids;
    auto hidden = PciAdapter(u"B705");
    hidden.hiddenFromDeviceManager = true;
    other.AddDevice(hidden);
    EXPECT_EQ(ChkNicExist(other, otherState, options), 0);
}

TEST_F(PresenceCheckTest, WithoutCheckIdsOnlyTheSecondStageCanFind) {
    machine.AddDevice(PciAdapter(u"B702"));
    EXPECT_EQ(ChkNicExist(machine, state, options), 0);
    auto driverless = PciAdapter(u"B707", u"2");
    driverless.withDriverKey = false;
    machine.AddDevice(driverless);
    EXPECT_EQ(ChkNicExist(machine, state, options), 1);
}

TEST_F(PresenceCheckTest, ADriverlessB707OrB709IsFoundWhateverWasAskedFor) {
    for (std::u16string_view device : {u"B707", u"B709"}) {
        sim::SimulatedPlatform fresh;
        RunState freshState(fresh);
        ResetCommandLineLists(freshState);
        auto driverless = PciAdapter(device);
        driverless.withDriverKey = false;
        fresh.AddDevice(driverless);
        EXPECT_EQ(ChkNicExist(fresh, freshState, options), 1) << ToUtf8(device);
    }
}

TEST_F(PresenceCheckTest, PartnerBoardsAreFoundByTheirWholeIdWithoutALogLine) {
    sim::DeviceSpec board;
    board.instanceId = u"PCI\\VEN_1432&DEV_9230&SUBSYS_14320105&REV_01\\3&1&0&00";
    board.hardwareIds = {u"PCI\\VEN_1432&DEV_9230&SUBSYS_14320105&REV_01",
                         u"PCI\\VEN_1432&DEV_9230&SUBSYS_14320105"};
    board.withDriverKey = false;
    machine.AddDevice(board);
    EXPECT_EQ(ChkNicExist(machine, state, options), 1);
    EXPECT_EQ(Log(),
              "pci\\ven_1432&dev_9230&subsys_14320105&rev_01\r\npci\\ven_1432&dev_9230&subsys_"
              "14320105\r\n");
}

TEST_F(PresenceCheckTest, DeviceQueryComparesVendorDeviceAndRevision) {
    options.action = ActionQueryDevice;
    auto adapter = PciAdapter(u"B702");
    adapter.withDriverKey = false;
    machine.AddDevice(adapter);
    struct Case {
        std::u16string_view query;
        int found;
    };
    for (const Case &c : {Case{u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00000000&REV_06", 1},
                          Case{u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00000000&REV_07", 0},
                          Case{u"PCI\\VEN_1f3a&DEV_b702&SUBSYS_00000000&REV_06", 1},
                          Case{u"PCI\\VEN_1F3A&DEV_B705&SUBSYS_00000000&REV_06", 0}}) {
        StoreInSlot(state.QueryDeviceId, c.query);
        EXPECT_EQ(ChkNicExist(machine, state, options), c.found) << ToUtf8(c.query);
    }
}

TEST_F(PresenceCheckTest, AFailedSecondStageListAnswersAbsent) {
    auto driverless = PciAdapter(u"B707");
    driverless.withDriverKey = false;
    machine.AddDevice(driverless);
    machine.Fail(Op::SetupDiGetClassDevsW, ERROR_INVALID_PARAMETER, 2);
    EXPECT_EQ(ChkNicExist(machine, state, options), 0);
    EXPECT_EQ(machine.OpenHandleCount(), 1u);  // only the log
}

}  // namespace
}  // namespace cvl

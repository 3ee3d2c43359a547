// Whether an adapter is present: the driver stage and the hardware-id stage.
#include "device/presence_check.h"

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/hardware_id_builders.h"
#include "support/devices.h"
#include "support/scenario.h"

namespace cvl {
namespace {

using sim::Op;

using test::PciAdapter;

std::string LoweredUtf8(std::u16string_view text) {
    return ToUtf8(LoweredAZ(text));
}

class PresenceCheckTest : public ::testing::Test {
protected:
    sim::SimulatedPlatform machine;
    RunState state{machine};
    PresenceQuery query = PresenceQuery::CheckHardwareIds;

    void SetUp() override {
        ResetCommandLineLists(state);
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
        return machine.Setup().ReadFileContents(test::kLogPath).value_or("");
    }
};

TEST_F(PresenceCheckTest, AGenericIdAcceptsAnyGenericAdapter) {
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    AskFor(u"1F3A", u"B701", u"0000", u"0000");
    EXPECT_TRUE(ChkNicExist(machine, state, query));
    EXPECT_EQ(Log(),
              "ChkNicExist : ComponentId = 'pci\\ven_1f3a&dev_b702&subsys_00011043'\r\n"
              "S1 = 'pci\\ven_1f3a&dev_b702'\r\nEQUAL\r\n");
}

TEST_F(PresenceCheckTest, AGenericIdComparesTheFirst21CharactersOfTheComponentId) {
    // The generic chips differ from B703 and B708 only in the 21st
    // character.
    struct Case {
        std::u16string_view device;
        bool found;
    };
    for (const Case &c :
         {Case{u"B705", true}, Case{u"B704", true}, Case{u"B703", false}, Case{u"B708", false}}) {
        sim::SimulatedPlatform fresh;
        RunState freshState(fresh);
        ResetCommandLineLists(freshState);
        fresh.Setup().AddDevice(PciAdapter(c.device));
        StoreInSlot(freshState.ids.CheckHardwareIds[0], u"PCI\\VEN_1F3A&DEV_B706&SUBSYS_00000000");
        freshState.ids.checkCount = 1;
        OpenInstallLog(freshState.log);
        EXPECT_EQ(ChkNicExist(fresh, freshState, query), c.found) << ToUtf8(c.device);
        CloseInstallLog(freshState.log);
        const std::string cut = "S1 = 'pci\\ven_1f3a&dev_" + LoweredUtf8(c.device) + "'\r\n";
        EXPECT_NE(fresh.Setup().ReadFileContents(test::kLogPath).value_or("").find(cut),
                  std::string::npos)
            << ToUtf8(c.device);
    }
}

TEST_F(PresenceCheckTest, AnExactIdMatchesTheWholeComponentIdInAnyCase) {
    machine.Setup().AddDevice(PciAdapter(u"B707"));  // ComponentId ...&subsys_00011043
    AskFor(u"1F3A", u"B707", u"1043", u"0001");
    EXPECT_TRUE(ChkNicExist(machine, state, query));
    EXPECT_EQ(SlotText(state.ids.CheckHardwareIds[0]), u"pci\\ven_1f3a&dev_b707&subsys_00011043");
}

TEST_F(PresenceCheckTest, AStoppedAdapterCountsButAHiddenOneDoesNot) {
    auto stopped = PciAdapter(u"B705", u"1");
    stopped.started = false;
    machine.Setup().AddDevice(stopped);
    AskFor(u"1F3A", u"B705", u"1043", u"0001");
    EXPECT_TRUE(ChkNicExist(machine, state, query));

    sim::SimulatedPlatform other;
    RunState otherState(other);
    ResetCommandLineLists(otherState);
    otherState.ids = state.ids;
    auto hidden = PciAdapter(u"B705");
    hidden.hiddenFromDeviceManager = true;
    other.Setup().AddDevice(hidden);
    EXPECT_FALSE(ChkNicExist(other, otherState, query));
}

TEST_F(PresenceCheckTest, WithoutCheckIdsOnlyTheSecondStageCanFind) {
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    EXPECT_FALSE(ChkNicExist(machine, state, query));
    auto driverless = PciAdapter(u"B707", u"2");
    driverless.withDriverKey = false;
    machine.Setup().AddDevice(driverless);
    EXPECT_TRUE(ChkNicExist(machine, state, query));
}

TEST_F(PresenceCheckTest, ADriverlessB707OrB709IsFoundWhateverWasAskedFor) {
    for (std::u16string_view device : {u"B707", u"B709"}) {
        sim::SimulatedPlatform fresh;
        RunState freshState(fresh);
        ResetCommandLineLists(freshState);
        auto driverless = PciAdapter(device);
        driverless.withDriverKey = false;
        fresh.Setup().AddDevice(driverless);
        EXPECT_TRUE(ChkNicExist(fresh, freshState, query)) << ToUtf8(device);
    }
}

TEST_F(PresenceCheckTest, PartnerBoardsAreFoundByTheirWholeIdWithoutALogLine) {
    sim::DeviceSpec board;
    board.instanceId = u"PCI\\VEN_1432&DEV_9230&SUBSYS_14320105&REV_01\\3&1&0&00";
    board.hardwareIds = {u"PCI\\VEN_1432&DEV_9230&SUBSYS_14320105&REV_01",
                         u"PCI\\VEN_1432&DEV_9230&SUBSYS_14320105"};
    board.withDriverKey = false;
    machine.Setup().AddDevice(board);
    EXPECT_TRUE(ChkNicExist(machine, state, query));
    EXPECT_EQ(Log(),
              "pci\\ven_1432&dev_9230&subsys_14320105&rev_01\r\npci\\ven_1432&dev_9230&subsys_"
              "14320105\r\n");
}

TEST_F(PresenceCheckTest, DeviceQueryComparesVendorDeviceAndRevision) {
    query = PresenceQuery::QueryDeviceId;
    auto adapter = PciAdapter(u"B702");
    adapter.withDriverKey = false;
    machine.Setup().AddDevice(adapter);
    struct Case {
        std::u16string_view id;
        bool found;
    };
    for (const Case &c : {Case{u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00000000&REV_06", true},
                          Case{u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00000000&REV_07", false},
                          Case{u"PCI\\VEN_1f3a&DEV_b702&SUBSYS_00000000&REV_06", true},
                          Case{u"PCI\\VEN_1F3A&DEV_B705&SUBSYS_00000000&REV_06", false}}) {
        StoreInSlot(state.QueryDeviceId, c.id);
        EXPECT_EQ(ChkNicExist(machine, state, query), c.found) << ToUtf8(c.id);
    }
}

TEST_F(PresenceCheckTest, AFailedSecondStageListAnswersAbsent) {
    auto driverless = PciAdapter(u"B707");
    driverless.withDriverKey = false;
    machine.Setup().AddDevice(driverless);
    machine.Setup().Fail(Op::SetupDiGetClassDevsW, ERROR_INVALID_PARAMETER, 2);
    EXPECT_FALSE(ChkNicExist(machine, state, query));
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 1u);  // only the log
}

}  // namespace
}  // namespace cvl

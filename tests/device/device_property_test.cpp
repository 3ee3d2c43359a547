// Reading a device's multi-string property: the size-query protocol in
// platform blocks or program memory, the fixed read of Windows Me, and the
// walk that offers the devices.
#include "device/device_property.h"

#include <gtest/gtest.h>

#include <optional>

#include "support/devices.h"
#include "support/scenario.h"

namespace cvl {
namespace {

using sim::Op;
using test::DeviceWithIds;

struct ReadOutcome {
    PropertyRead read = PropertyRead::Failed;
    std::vector<std::u16string> texts;
    DWORD error = 0;
};

// Reads the property of the first device listed.
ReadOutcome ReadFirst(sim::SimulatedPlatform &machine, PropertyMemory memory, DWORD property,
                      std::optional<DWORD> fixedBytes = std::nullopt) {
    ReadOutcome outcome;
    WalkDevices(machine, {nullptr, DIGCF_ALLCLASSES}, [&](const PresentDevice &device) {
        MultiStringProperty ids(machine, memory);
        outcome.read =
            fixedBytes ? ids.ReadFixed(device, property, *fixedBytes) : ids.Read(device, property);
        outcome.texts = ids.Texts();
        outcome.error = ids.Error();
        return false;
    });
    return outcome;
}

TEST(DevicePropertyTest, BothMemoriesReadTheSameStringsAndOnlyBlocksAllocate) {
    for (const auto &[memory, allocations] : {std::pair{PropertyMemory::PlatformBlocks, 1u},
                                              std::pair{PropertyMemory::ProgramMemory, 0u}}) {
        sim::SimulatedPlatform machine;
        machine.Setup().AddDevice(
            DeviceWithIds(u"ROOT\\A\\0000", {u"A1", std::u16string(300, u'b')}));
        const ReadOutcome outcome = ReadFirst(machine, memory, SPDRP_HARDWAREID);
        EXPECT_EQ(outcome.read, PropertyRead::Read);
        EXPECT_EQ(outcome.texts, (std::vector<std::u16string>{u"A1", std::u16string(300, u'b')}));
        // The size is asked first, then the list is read.
        EXPECT_EQ(machine.Setup().CallCount(Op::SetupDiGetDeviceRegistryPropertyW), 2u);
        EXPECT_EQ(machine.Setup().CallCount(Op::LocalAlloc), allocations);
        EXPECT_EQ(machine.Setup().OutstandingAllocations(), 0u);
        EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
    }
}

TEST(DevicePropertyTest, AMissingPropertyAndARefusedBlockAreToldApart) {
    sim::SimulatedPlatform machine;
    machine.Setup().AddDevice(DeviceWithIds(u"ROOT\\A\\0000", {u"A1"}));
    const ReadOutcome missing =
        ReadFirst(machine, PropertyMemory::ProgramMemory, SPDRP_COMPATIBLEIDS);
    EXPECT_EQ(missing.read, PropertyRead::Missing);
    EXPECT_EQ(missing.error, static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_TRUE(missing.texts.empty());

    machine.Setup().Fail(Op::LocalAlloc, ERROR_NOT_ENOUGH_MEMORY);
    const ReadOutcome refused =
        ReadFirst(machine, PropertyMemory::PlatformBlocks, SPDRP_HARDWAREID);
    EXPECT_EQ(refused.read, PropertyRead::Failed);
    EXPECT_TRUE(refused.texts.empty());
    EXPECT_EQ(machine.Setup().OutstandingAllocations(), 0u);
}

// Windows Me asks once into 512 bytes: a longer list is not read at all.
TEST(DevicePropertyTest, TheFixedReadAsksOnceAndNeverGrows) {
    struct Case {
        std::vector<std::u16string> ids;
        PropertyRead read;
        std::vector<std::u16string> texts;
    };
    for (const Case &c : {Case{{u"usb\\vid_0c7e&pid_b760&rev_0100", u"usb\\vid_0c7e&pid_b760"},
                               PropertyRead::Read,
                               {u"usb\\vid_0c7e&pid_b760&rev_0100", u"usb\\vid_0c7e&pid_b760"}},
                          Case{{std::u16string(300, u'b')}, PropertyRead::Failed, {}}}) {
        sim::SimulatedPlatform machine;
        machine.Setup().AddDevice(DeviceWithIds(u"ROOT\\A\\0000", c.ids));
        const ReadOutcome outcome =
            ReadFirst(machine, PropertyMemory::ProgramMemory, SPDRP_HARDWAREID, 512);
        EXPECT_EQ(outcome.read, c.read);
        EXPECT_EQ(outcome.texts, c.texts);
        EXPECT_EQ(machine.Setup().CallCount(Op::SetupDiGetDeviceRegistryPropertyW), 1u);
        EXPECT_EQ(machine.Setup().CallCount(Op::GetLastError), 0u);
    }
}

TEST(DeviceWalkTest, TheWalkTellsHowItEndedAndCanKeepTheEnumerationsError) {
    sim::SimulatedPlatform machine;
    machine.Setup().AddDevice(DeviceWithIds(u"ROOT\\A\\0000", {u"A1"}));
    machine.Setup().AddDevice(DeviceWithIds(u"ROOT\\B\\0000", {u"B1"}));
    int offered = 0;
    const auto count = [&offered](const PresentDevice &) { return ++offered < 2; };
    EXPECT_EQ(WalkDevices(machine, {nullptr, DIGCF_ALLCLASSES}, count), WalkEnd::Stopped);
    EXPECT_EQ(offered, 2);
    const auto all = [](const PresentDevice &) { return true; };
    EXPECT_EQ(WalkDevices(machine, {nullptr, DIGCF_ALLCLASSES, true}, all), WalkEnd::Exhausted);
    EXPECT_EQ(machine.GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
    machine.Setup().Fail(Op::SetupDiGetClassDevsW, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WalkDevices(machine, {nullptr, DIGCF_ALLCLASSES}, all), WalkEnd::ListNotOpened);
}

}  // namespace
}  // namespace cvl

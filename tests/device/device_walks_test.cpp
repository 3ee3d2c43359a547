// The two walks over the device tree.
#include "device/device_walks.h"

#include <gtest/gtest.h>

#include "support/devices.h"
#include "support/scenario.h"

namespace cvl {
namespace {

using sim::Op;
using test::DeviceWithIds;

using test::PciAdapter;

// Records what the hardware-id walk offers; can stop strings or the walk.
class Recorder : public HardwareIdVisitor {
public:
    std::vector<std::string> seen;
    std::size_t stringsPerDevice = 100;
    std::size_t devicesBeforeEnd = 100;

    bool OnHardwareId(const PresentDevice &, std::u16string_view id) override {
        seen.push_back(ToUtf8(id));
        return ++offered_ < stringsPerDevice;
    }
    bool OnDeviceDone(const PresentDevice &) override {
        seen.push_back("|");
        offered_ = 0;
        return --devicesBeforeEnd > 0;
    }

private:
    std::size_t offered_ = 0;
};

TEST(HardwareIdWalkTest, OffersEveryStringOfEveryPresentDeviceInOrder) {
    sim::SimulatedPlatform machine;
    machine.Setup().AddDevice(DeviceWithIds(u"ROOT\\A\\0000", {u"A1", u"A2"}));
    machine.Setup().AddDevice(DeviceWithIds(u"ROOT\\NOIDS\\0000", {}));
    auto absent = DeviceWithIds(u"ROOT\\GONE\\0000", {u"G1"});
    absent.present = false;
    machine.Setup().AddDevice(absent);
    machine.Setup().AddDevice(DeviceWithIds(u"ROOT\\B\\0000", {std::u16string(300, u'b')}));
    Recorder recorder;
    EXPECT_TRUE(ForEachPresentDevice(machine, recorder));
    EXPECT_EQ(recorder.seen,
              (std::vector<std::string>{"A1", "A2", "|", std::string(300, 'b'), "|"}));
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
    EXPECT_EQ(machine.Setup().OutstandingAllocations(), 0u);
}

TEST(HardwareIdWalkTest, TheVisitorEndsStringsOrTheWalk) {
    sim::SimulatedPlatform machine;
    machine.Setup().AddDevice(DeviceWithIds(u"ROOT\\A\\0000", {u"A1", u"A2"}));
    machine.Setup().AddDevice(DeviceWithIds(u"ROOT\\B\\0000", {u"B1"}));
    Recorder firstOnly;
    firstOnly.stringsPerDevice = 1;
    firstOnly.devicesBeforeEnd = 1;
    ForEachPresentDevice(machine, firstOnly);
    EXPECT_EQ(firstOnly.seen, (std::vector<std::string>{"A1", "|"}));
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST(HardwareIdWalkTest, FailuresSkipTheDeviceOrTheWalk) {
    sim::SimulatedPlatform machine;
    machine.Setup().AddDevice(DeviceWithIds(u"ROOT\\A\\0000", {u"A1"}));
    machine.Setup().AddDevice(DeviceWithIds(u"ROOT\\B\\0000", {u"B1"}));
    machine.Setup().Fail(Op::LocalAlloc, ERROR_NOT_ENOUGH_MEMORY, 1);
    Recorder recorder;
    EXPECT_TRUE(ForEachPresentDevice(machine, recorder));
    EXPECT_EQ(recorder.seen, (std::vector<std::string>{"B1", "|"}));
    machine.Setup().Fail(Op::SetupDiGetClassDevsW, ERROR_INVALID_PARAMETER);
    Recorder none;
    EXPECT_FALSE(ForEachPresentDevice(machine, none));
    EXPECT_TRUE(none.seen.empty());
    EXPECT_EQ(machine.Setup().OutstandingAllocations(), 0u);
}

class AdapterRecorder : public NetworkAdapterVisitor {
public:
    explicit AdapterRecorder(Platform &platform) : platform_(platform) {}
    std::vector<std::string> matched;
    int keysNotOpened = 0;

    void OnDriverKeyNotOpened(const PresentDevice &) override { ++keysNotOpened; }
    bool Matches(const PresentDevice &, HKEY key) override {
        std::u16string componentId;
        if (!ReadComponentId(platform_, key, componentId)) return false;
        lastComponentId_ = ToUtf8(componentId);
        return true;
    }
    bool OnMatch(const PresentDevice &) override {
        matched.push_back(lastComponentId_);
        return true;
    }

private:
    Platform &platform_;
    std::string lastComponentId_;
};

TEST(NetworkAdapterWalkTest, StatusFiltersOfTheThreeDirections) {
    sim::SimulatedPlatform machine;
    auto started = PciAdapter(u"B701", u"1");
    auto stopped = PciAdapter(u"B702", u"2");
    stopped.started = false;
    auto fixed = PciAdapter(u"B703", u"3");
    fixed.disableable = false;
    auto hidden = PciAdapter(u"B704", u"4");
    hidden.hiddenFromDeviceManager = true;
    auto otherClass = PciAdapter(u"B705", u"5");
    otherClass.className = u"System";
    otherClass.classGuid = u"{4d36e97d-e325-11ce-bfc1-08002be10318}";
    for (auto *spec : {&started, &stopped, &fixed, &hidden, &otherClass})
        machine.Setup().AddDevice(*spec);
    struct Case {
        AdapterFilter filter;
        std::vector<std::string> matched;
    };
    for (const Case &c :
         {Case{AdapterFilter::Started, {"pci\\ven_1f3a&dev_b701&subsys_00011043"}},
          Case{AdapterFilter::NotStarted, {"pci\\ven_1f3a&dev_b702&subsys_00011043"}},
          Case{AdapterFilter::AnyState,
               {"pci\\ven_1f3a&dev_b701&subsys_00011043",
                "pci\\ven_1f3a&dev_b702&subsys_00011043"}}}) {
        AdapterRecorder recorder(machine);
        EXPECT_TRUE(ForEachNetworkAdapter(machine, c.filter, recorder));
        EXPECT_EQ(recorder.matched, c.matched);
    }
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST(NetworkAdapterWalkTest, UnreadableNodesAndKeysArePassedOver) {
    sim::SimulatedPlatform machine;
    auto noKey = PciAdapter(u"B701", u"1");
    noKey.withDriverKey = false;
    machine.Setup().AddDevice(noKey);
    machine.Setup().AddDevice(PciAdapter(u"B702", u"2"));
    machine.Setup().AddDevice(PciAdapter(u"B705", u"3"));
    machine.Setup().Fail(Op::CM_Get_DevNode_Status, CR_FAILURE, 2);
    AdapterRecorder recorder(machine);
    ForEachNetworkAdapter(machine, AdapterFilter::AnyState, recorder);
    EXPECT_EQ(recorder.keysNotOpened, 1);
    EXPECT_EQ(recorder.matched, std::vector<std::string>{"pci\\ven_1f3a&dev_b705&subsys_00011043"});
    machine.Setup().Fail(Op::SetupDiClassGuidsFromNameW, ERROR_INVALID_PARAMETER);
    AdapterRecorder none(machine);
    EXPECT_FALSE(ForEachNetworkAdapter(machine, AdapterFilter::AnyState, none));
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST(NetworkAdapterWalkTest, ComponentIdIsReadWithinItsBufferAndLowerCased) {
    sim::SimulatedPlatform machine;
    auto adapter = PciAdapter(u"B702");
    const std::u16string key = machine.Setup().AddDevice(adapter);
    // 300 characters do not fit the 518-byte buffer: the read fails.
    machine.Setup().SetRegString(key, u"ComponentId", std::u16string(300, u'X'));
    AdapterRecorder tooLong(machine);
    ForEachNetworkAdapter(machine, AdapterFilter::AnyState, tooLong);
    EXPECT_TRUE(tooLong.matched.empty());
    // Stored without its terminator and in capitals.
    const std::u16string text = u"PCI\\VEN_1F3A&DEV_B702";
    std::vector<BYTE> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<BYTE>(c));
        bytes.push_back(0);
    }
    machine.Setup().SetRegValue(key, u"ComponentId", REG_SZ, bytes);
    AdapterRecorder unterminated(machine);
    ForEachNetworkAdapter(machine, AdapterFilter::AnyState, unterminated);
    EXPECT_EQ(unterminated.matched, std::vector<std::string>{"pci\\ven_1f3a&dev_b702"});
}

}  // namespace
}  // namespace cvl

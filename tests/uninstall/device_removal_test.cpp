// Removing every device, present or not, that carries a hardware id.
#include "uninstall/device_removal.h"

#include "uninstall/uninstall_fixture.h"

namespace cvl {
namespace {

using sim::Op;
using test::PciAdapter;
using test::UsbAdapter;

constexpr char16_t kB702[] = u"PCI\\VEN_1F3A&DEV_B702&CC_0200";
constexpr char16_t kFoundB702[] =
    u"Found 1 adapter... = 'PCI\\VEN_1F3A&DEV_B702&CC_0200'\r\n"
    u"STRING :  = 'PCI\\VEN_1F3A&DEV_B702&CC_0200'\r\n";

class FindExistingDeviceTest : public test::UninstallFixture {
protected:
    FindDeviceResult Find(std::u16string_view id) {
        return FindExistingDevice(machine, state.log, id, state.osKind);
    }
    bool Gone(const sim::DeviceSpec &spec) { return !machine.Setup().DeviceState(spec.instanceId); }
};

TEST_F(FindExistingDeviceTest, EveryDeviceWithTheIdGoesEachWithItsFoundLines) {
    // Two adapters with the id, one of them unplugged; a third one's id only
    // stands in its compatible-id list.
    const auto first = PciAdapter(u"B702", u"1");
    auto unplugged = PciAdapter(u"B702", u"2");
    unplugged.present = false;
    auto compatibleOnly = PciAdapter(u"B705", u"3");
    compatibleOnly.compatibleIds.push_back(kB702);
    const auto other = PciAdapter(u"B701", u"4");
    for (const auto &spec : {first, unplugged, compatibleOnly, other})
        machine.Setup().AddDevice(spec);

    EXPECT_EQ(Find(kB702), FindDeviceRemoved);
    EXPECT_TRUE(Gone(first));
    EXPECT_TRUE(Gone(unplugged));
    EXPECT_TRUE(Gone(compatibleOnly));
    EXPECT_FALSE(Gone(other));
    const std::string found = ToUtf8(kFoundB702);
    EXPECT_EQ(Log(), found + found + found);
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST_F(FindExistingDeviceTest, AnUnpluggedUsbAdapterIsRemoved) {
    auto usb = UsbAdapter(u"0C7E", u"B762", u"3000");
    usb.present = false;
    machine.Setup().AddDevice(usb);
    EXPECT_EQ(Find(u"usb\\vid_0c7e&pid_b762&rev_3000"), FindDeviceRemoved);
    EXPECT_TRUE(Gone(usb));
}

TEST_F(FindExistingDeviceTest, IdsFoldCaseButAPrefixNeverMatches) {
    const auto adapter = PciAdapter(u"B701");
    machine.Setup().AddDevice(adapter);
    EXPECT_EQ(Find(u"PCI\\VEN_1F3A&DEV_B70"), FindDeviceNotFound);
    EXPECT_EQ(Find(u"PCI\\VEN_1F3A&DEV_B701&CC_02000"), FindDeviceNotFound);
    EXPECT_FALSE(Gone(adapter));
    EXPECT_EQ(Log(), "");  // nothing found, nothing logged
    EXPECT_EQ(Find(u"pci\\ven_1f3a&dev_b701&cc_0200"), FindDeviceRemoved);
    EXPECT_TRUE(Gone(adapter));
}

TEST_F(FindExistingDeviceTest, AnEmptyMachineHasNothingToRemove) {
    EXPECT_EQ(Find(kB702), FindDeviceNotFound);
    EXPECT_EQ(Log(), "");
}

TEST_F(FindExistingDeviceTest, AListThatCannotBeMadeGivesSixAndOneLine) {
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    machine.Setup().Fail(Op::SetupDiGetClassDevsW, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(Find(kB702), FindDeviceListFailed);
    EXPECT_EQ(Log(), "FindExistingDevice() -> SetupDiGetClassDevs() fail\r\n");
    EXPECT_EQ(machine.Setup().Timeline(), std::vector<std::string>{});
}

TEST_F(FindExistingDeviceTest, AnUnexpectedPropertyErrorEndsTheWalkWithNinetyNine) {
    // The first device is removed (its size query and read are calls 1 and
    // 2); the read of the second fails; the third is never looked at. The
    // list walks them in the order of their instance ids.
    const auto first = PciAdapter(u"B702", u"1");
    const auto second = PciAdapter(u"B702", u"2");
    const auto third = PciAdapter(u"B702", u"3");
    for (const auto &spec : {first, second, third}) machine.Setup().AddDevice(spec);
    constexpr DWORD kError = 1117;  // ERROR_IO_DEVICE
    machine.Setup().Fail({Op::SetupDiGetDeviceRegistryPropertyW, kError, 3, 1});
    EXPECT_EQ(Find(kB702), FindDevicePropertyFailed);
    EXPECT_EQ(machine.GetLastError(), kError);
    EXPECT_TRUE(Gone(first));
    EXPECT_FALSE(Gone(third));
    EXPECT_EQ(Log(), ToUtf8(kFoundB702) +
                         "FindExistingDevice() -> SetupDiGetDeviceRegistryProperty(): "
                         "unknown error\r\n");
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST_F(FindExistingDeviceTest, AMissingIdListIsPassedOver) {
    auto bare = PciAdapter(u"B709", u"1");
    bare.hardwareIds.clear();
    machine.Setup().AddDevice(bare);
    const auto adapter = PciAdapter(u"B702", u"2");
    machine.Setup().AddDevice(adapter);
    EXPECT_EQ(Find(kB702), FindDeviceRemoved);
    EXPECT_TRUE(Gone(adapter));
    EXPECT_FALSE(Gone(bare));
}

TEST_F(FindExistingDeviceTest, OnlyTheOlderKindsDeleteTheDeviceKeysThemselves) {
    for (const OsKind kind : test::kKnownOsKinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        sim::SimulatedPlatform fresh;
        test::SetOsKind(fresh, kind);
        const auto adapter = PciAdapter(u"B702");
        fresh.Setup().AddDevice(adapter);
        EXPECT_EQ(FindExistingDevice(fresh, state.log, kB702, kind), FindDeviceRemoved);
        EXPECT_FALSE(fresh.Setup().DeviceState(adapter.instanceId));
        EXPECT_EQ(fresh.Setup().ClassInstallerCalls(),
                  std::vector<std::string>{"DIF_REMOVE " + ToUtf8(adapter.instanceId)});
        EXPECT_EQ(fresh.Setup().CallCount(Op::SetupDiDeleteDevRegKey),
                  IsNtFrom2000On(kind) ? 0u : 1u);
    }
}

TEST_F(FindExistingDeviceTest, AFailedRemovalIsLoggedAndTheOlderKindsStillDeleteBothKeys) {
    UseOsKind(OsNt4);
    const auto adapter = PciAdapter(u"B702");
    const std::u16string driverKey = machine.Setup().AddDevice(adapter);
    const std::u16string hardwareKey =
        u"HKLM\\SYSTEM\\CurrentControlSet\\Enum\\" + adapter.instanceId + u"\\Device Parameters";
    machine.Setup().CreateRegKey(hardwareKey);
    machine.Setup().Fail(Op::SetupDiCallClassInstaller, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Find(kB702), FindDeviceRemoved);
    EXPECT_FALSE(machine.Setup().RegKeyExists(driverKey));
    EXPECT_FALSE(machine.Setup().RegKeyExists(hardwareKey));
    machine.Setup().Fail(Op::SetupDiDeleteDevRegKey, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Find(kB702), FindDeviceRemoved);
    const std::string found = ToUtf8(kFoundB702);
    const std::string removeFailed = "FindExistingDevice() -> SetupDiCallClassInstaller() fail\r\n";
    EXPECT_EQ(Log(), found + removeFailed + found + removeFailed +
                         "FindExistingDevice() -> SetupDiDeleteDevRegKey() fail\r\n");
}

}  // namespace
}  // namespace cvl

// Devices as SetupAPI and the Configuration Manager show them: lists,
// properties, driver keys, the class installer and node status, each
// checked against the rule Windows documents for it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/contract/contract_machine.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {
namespace {

constexpr Guid kNetClass{
    0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
constexpr char16_t kSystemClassText[] = u"{4d36e97d-e325-11ce-bfc1-08002be10318}";
constexpr char16_t kEnum[] = u"HKLM\\SYSTEM\\CurrentControlSet\\Enum\\";
constexpr ULONG DN_HAS_PROBLEM = 0x400;

DeviceSpec Adapter(std::u16string_view device, std::u16string_view bus = u"PCI") {
    DeviceSpec spec;
    const std::u16string id = std::u16string(bus) + u"\\VEN_1F3A&DEV_" + std::u16string(device);
    spec.instanceId = id + u"\\4&1f3a&0&00E4";
    spec.hardwareIds = {id + u"&SUBSYS_00011043", id};
    spec.compatibleIds = {std::u16string(bus) + u"\\CC_0200"};
    spec.driverStrings = {{u"ComponentId", u"pci\\ven_1f3a&dev_" + std::u16string(device)}};
    return spec;
}

class DeviceListsContract : public ::testing::Test {
protected:
    DevInfoData Member(HDEVINFO list, DWORD index) {
        DevInfoData data{};
        EXPECT_TRUE(platform.SetupDiEnumDeviceInfo(list, index, &data)) << "index " << index;
        return data;
    }
    // The first hardware id of every member, in list order.
    std::vector<std::u16string> FirstIds(HDEVINFO list) {
        std::vector<std::u16string> ids;
        DevInfoData data{};
        for (DWORD i = 0; platform.SetupDiEnumDeviceInfo(list, i, &data); ++i) {
            char16_t buffer[256]{};
            platform.SetupDiGetDeviceRegistryPropertyW(list, &data, SPDRP_HARDWAREID, nullptr,
                                                       reinterpret_cast<BYTE *>(buffer),
                                                       sizeof buffer, nullptr);
            ids.emplace_back(buffer);
        }
        EXPECT_EQ(platform.GetLastError(), ERROR_NO_MORE_ITEMS);
        return ids;
    }
    // Seeds the devices and lists the present network adapters.
    HDEVINFO PresentAdapters(const std::vector<DeviceSpec> &specs) {
        for (const auto &spec : specs) sim.Setup().AddDevice(spec);
        return platform.SetupDiGetClassDevsW(&kNetClass, nullptr, DIGCF_PRESENT);
    }
    bool SetChange(HDEVINFO list, const DevInfoData &data, DWORD stateChange) {
        const ClassInstallParams params{DIF_PROPERTYCHANGE, stateChange, DICS_FLAG_CONFIGSPECIFIC,
                                        0};
        return platform.SetupDiSetClassInstallParamsW(list, &data, &params);
    }

    SimulatedPlatform sim;
    Platform &platform = sim;
};

TEST_F(DeviceListsContract, SeededDevicesAreStoredAsWindowsStoresThem) {
    // The instance key holds the id lists, the class and the Driver link to
    // a driver key numbered from 0000 under the class key.
    const std::u16string first = sim.Setup().AddDevice(Adapter(u"B702"));
    const std::u16string second = sim.Setup().AddDevice(Adapter(u"B701"));
    const std::u16string classKey =
        std::u16string(u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\") + kNetClassGuidText;
    EXPECT_EQ(first, classKey + u"\\0000");
    EXPECT_EQ(second, classKey + u"\\0001");
    const std::u16string instance = kEnum + Adapter(u"B701").instanceId;
    EXPECT_EQ(sim.Setup().GetRegString(instance, u"Driver"),
              std::u16string(kNetClassGuidText) + u"\\0001");
    EXPECT_EQ(sim.Setup().GetRegValue(instance, u"HardwareID")->type, REG_MULTI_SZ);
    EXPECT_EQ(sim.Setup().GetRegString(instance, u"Class"), u"Net");
    EXPECT_EQ(sim.Setup().GetRegString(second, u"ComponentId"), u"pci\\ven_1f3a&dev_B701");

    DeviceSpec bare = Adapter(u"B703");
    bare.hardwareIds.clear();
    bare.withDriverKey = false;
    EXPECT_EQ(sim.Setup().AddDevice(bare), u"");
    EXPECT_FALSE(sim.Setup().GetRegValue(kEnum + bare.instanceId, u"HardwareID"));
    EXPECT_FALSE(sim.Setup().GetRegValue(kEnum + bare.instanceId, u"Driver"));
    EXPECT_EQ(sim.Setup().DeviceState(bare.instanceId)->started, true);
}

TEST_F(DeviceListsContract, ListsSelectByClassPresenceAndEnumerator) {
    // DIGCF_PRESENT keeps devices with a node; DIGCF_ALLCLASSES ignores the
    // class; a null class needs DIGCF_ALLCLASSES; members come in the order
    // of the Enum tree walk (each level sorted), not the order of seeding.
    sim.Setup().AddDevice(Adapter(u"B702"));
    DeviceSpec absent = Adapter(u"B701");
    absent.present = false;
    sim.Setup().AddDevice(absent);
    DeviceSpec system = Adapter(u"B70A");
    system.className = u"System";
    system.classGuid = kSystemClassText;
    sim.Setup().AddDevice(system);
    sim.Setup().AddDevice(Adapter(u"B760", u"USB"));
    // An instance key written without the machine's help has no node.
    sim.Setup().SetRegMultiString(std::u16string(kEnum) + u"PCI\\VEN_1F3A&DEV_B709\\1",
                                  u"HardwareID", {u"PCI\\VEN_1F3A&DEV_B709&X"});
    sim.Setup().SetRegString(std::u16string(kEnum) + u"PCI\\VEN_1F3A&DEV_B709\\1", u"ClassGUID",
                             kNetClassGuidText);

    struct Case {
        const Guid *classGuid;
        const char16_t *enumerator;
        DWORD flags;
        std::vector<std::u16string> ids;
    };
    const std::vector<Case> cases = {
        {&kNetClass,
         nullptr,
         DIGCF_PRESENT,
         {u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00011043", u"USB\\VEN_1F3A&DEV_B760&SUBSYS_00011043"}},
        {&kNetClass,
         nullptr,
         0,
         {u"PCI\\VEN_1F3A&DEV_B701&SUBSYS_00011043", u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00011043",
          u"PCI\\VEN_1F3A&DEV_B709&X", u"USB\\VEN_1F3A&DEV_B760&SUBSYS_00011043"}},
        {nullptr,
         nullptr,
         DIGCF_ALLCLASSES | DIGCF_PRESENT,
         {u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00011043", u"PCI\\VEN_1F3A&DEV_B70A&SUBSYS_00011043",
          u"USB\\VEN_1F3A&DEV_B760&SUBSYS_00011043"}},
        // Without DIGCF_PRESENT every class's devices come, present or not.
        {nullptr,
         nullptr,
         DIGCF_ALLCLASSES,
         {u"PCI\\VEN_1F3A&DEV_B701&SUBSYS_00011043", u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00011043",
          u"PCI\\VEN_1F3A&DEV_B709&X", u"PCI\\VEN_1F3A&DEV_B70A&SUBSYS_00011043",
          u"USB\\VEN_1F3A&DEV_B760&SUBSYS_00011043"}},
        {&kNetClass, u"usb", DIGCF_PRESENT, {u"USB\\VEN_1F3A&DEV_B760&SUBSYS_00011043"}},
        {&kNetClass, u"PCMCIA", 0, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.flags);
        HDEVINFO list = platform.SetupDiGetClassDevsW(c.classGuid, c.enumerator, c.flags);
        ASSERT_NE(list, InvalidHandleValue());
        EXPECT_EQ(FirstIds(list), c.ids);
        EXPECT_TRUE(platform.SetupDiDestroyDeviceInfoList(list));
    }
    EXPECT_EQ(platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_PRESENT), InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 0u);
}

TEST_F(DeviceListsContract, MembersCarryTheirClassAndNodeAndEndWithNoMoreItems) {
    sim.Setup().AddDevice(Adapter(u"B702"));
    HDEVINFO list = platform.SetupDiGetClassDevsW(&kNetClass, nullptr, DIGCF_PRESENT);
    const DevInfoData data = Member(list, 0);
    EXPECT_TRUE(data.ClassGuid == kNetClass);
    ULONG status = 0;
    ULONG problem = 99;
    EXPECT_EQ(platform.CM_Get_DevNode_Status(&status, &problem, data.DevInst, 0), CR_SUCCESS);
    EXPECT_EQ(status & (DN_STARTED | DN_DISABLEABLE), DN_STARTED | DN_DISABLEABLE);
    EXPECT_EQ(problem, 0u);
    DevInfoData past{};
    EXPECT_FALSE(platform.SetupDiEnumDeviceInfo(list, 1, &past));
    EXPECT_EQ(platform.GetLastError(), ERROR_NO_MORE_ITEMS);
    // Element data that belongs to no member of the list is refused.
    DevInfoData foreign = data;
    foreign.DevInst += 7;
    EXPECT_FALSE(platform.SetupDiGetDeviceRegistryPropertyW(list, &foreign, SPDRP_CLASS, nullptr,
                                                            nullptr, 0, nullptr));
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_PARAMETER);
    platform.SetupDiDestroyDeviceInfoList(list);
}

TEST_F(DeviceListsContract, PropertiesFollowTheSizeQueryProtocol) {
    // No buffer or a short one: FALSE, ERROR_INSUFFICIENT_BUFFER and the
    // size in bytes; a missing value: ERROR_INVALID_DATA. The registry is
    // what is read, also when written directly.
    DeviceSpec spec = Adapter(u"B702");
    spec.compatibleIds.clear();
    sim.Setup().AddDevice(spec);
    sim.Setup().SetRegString(kEnum + spec.instanceId, u"Service", u"cvlnet");
    HDEVINFO list = platform.SetupDiGetClassDevsW(&kNetClass, nullptr, DIGCF_PRESENT);
    const DevInfoData data = Member(list, 0);

    const std::vector<BYTE> ids = contract::MultiStringBytes(spec.hardwareIds);
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_FALSE(platform.SetupDiGetDeviceRegistryPropertyW(list, &data, SPDRP_HARDWAREID, &type,
                                                            nullptr, 0, &size));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(size, ids.size());
    EXPECT_EQ(type, REG_MULTI_SZ);
    std::vector<BYTE> buffer(size);
    EXPECT_FALSE(platform.SetupDiGetDeviceRegistryPropertyW(list, &data, SPDRP_HARDWAREID, nullptr,
                                                            buffer.data(), size - 2, &size));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    ASSERT_TRUE(platform.SetupDiGetDeviceRegistryPropertyW(list, &data, SPDRP_HARDWAREID, nullptr,
                                                           buffer.data(), size, &size));
    EXPECT_EQ(buffer, ids);

    const auto text = [&](DWORD property) -> std::u16string {
        char16_t value[128]{};
        if (!platform.SetupDiGetDeviceRegistryPropertyW(list, &data, property, nullptr,
                                                        reinterpret_cast<BYTE *>(value),
                                                        sizeof value, nullptr))
            return u"error " + std::u16string(1, static_cast<char16_t>(platform.GetLastError()));
        return value;
    };
    EXPECT_EQ(text(SPDRP_CLASS), u"Net");
    EXPECT_EQ(text(SPDRP_CLASSGUID), kNetClassGuidText);
    EXPECT_EQ(text(SPDRP_DRIVER), std::u16string(kNetClassGuidText) + u"\\0000");
    EXPECT_EQ(text(SPDRP_SERVICE), u"cvlnet");
    for (const DWORD missing : {SPDRP_COMPATIBLEIDS, SPDRP_DEVICEDESC}) {
        EXPECT_FALSE(platform.SetupDiGetDeviceRegistryPropertyW(list, &data, missing, nullptr,
                                                                nullptr, 0, &size));
        EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_DATA);
    }
    EXPECT_FALSE(
        platform.SetupDiGetDeviceRegistryPropertyW(list, &data, 0x1F, nullptr, nullptr, 0, &size));
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_REG_PROPERTY);
    platform.SetupDiDestroyDeviceInfoList(list);
}

TEST_F(DeviceListsContract, DriverKeysOpenWithTheAccessAskedAndAreRefusedWhenMissing) {
    // DIREG_DRV opens the key the Driver value names; without one, or when
    // the key is gone: ERROR_KEY_DOES_NOT_EXIST. Bad scope or key type:
    // ERROR_INVALID_FLAGS. The hardware key is not made by opening it.
    DeviceSpec bare = Adapter(u"B701");
    bare.withDriverKey = false;
    HDEVINFO list = PresentAdapters({Adapter(u"B702"), bare});
    // B701 sorts before B702 in the Enum tree.
    const DevInfoData driven = Member(list, 1);
    const DevInfoData driverless = Member(list, 0);
    const HKEY invalid = static_cast<HKEY>(InvalidHandleValue());

    HKEY key =
        platform.SetupDiOpenDevRegKey(list, &driven, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
    ASSERT_NE(key, invalid);
    char16_t value[64]{};
    DWORD size = sizeof value;
    EXPECT_EQ(platform.RegQueryValueExW(key, u"ComponentId", nullptr,
                                        reinterpret_cast<BYTE *>(value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(value), u"pci\\ven_1f3a&dev_B702");
    EXPECT_EQ(platform.RegSetValueExW(key, u"X", REG_SZ, nullptr, 0), ERROR_ACCESS_DENIED);
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 2u);  // the list and the key
    EXPECT_EQ(platform.RegCloseKey(key), ERROR_SUCCESS);

    struct Case {
        const DevInfoData *data;
        DWORD scope;
        DWORD keyType;
        DWORD error;
    };
    const std::vector<Case> cases = {
        {&driverless, DICS_FLAG_GLOBAL, DIREG_DRV, ERROR_KEY_DOES_NOT_EXIST},
        {&driven, DICS_FLAG_GLOBAL, DIREG_DEV, ERROR_KEY_DOES_NOT_EXIST},
        {&driven, 0, DIREG_DRV, ERROR_INVALID_FLAGS},
        {&driven, DICS_FLAG_GLOBAL, DIREG_BOTH, ERROR_INVALID_FLAGS},
        {nullptr, DICS_FLAG_GLOBAL, DIREG_DRV, ERROR_INVALID_PARAMETER},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(platform.SetupDiOpenDevRegKey(list, c.data, c.scope, 0, c.keyType, KEY_READ),
                  invalid);
        EXPECT_EQ(platform.GetLastError(), c.error);
    }
    sim.Setup().CreateRegKey(kEnum + Adapter(u"B702").instanceId + u"\\Device Parameters");
    key = platform.SetupDiOpenDevRegKey(list, &driven, DICS_FLAG_CONFIGSPECIFIC, 0, DIREG_DEV,
                                        KEY_ALL_ACCESS);
    EXPECT_NE(key, invalid);
    platform.RegCloseKey(key);
    sim.Setup().DeleteRegTree(std::u16string(u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\") +
                              kNetClassGuidText + u"\\0000");
    EXPECT_EQ(
        platform.SetupDiOpenDevRegKey(list, &driven, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ),
        invalid);
    EXPECT_EQ(platform.GetLastError(), ERROR_KEY_DOES_NOT_EXIST);
    platform.SetupDiDestroyDeviceInfoList(list);
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 0u);
}

TEST_F(DeviceListsContract, DeletingADriverKeyFollowsRegDeleteKey) {
    // On NT a driver key with subkeys stays (ERROR_ACCESS_DENIED); the 9x
    // family removes the tree. A deleted key takes its Driver link along.
    const std::u16string driverKey = sim.Setup().AddDevice(Adapter(u"B702"));
    sim.Setup().CreateRegKey(driverKey + u"\\Ndi\\params");
    HDEVINFO list = platform.SetupDiGetClassDevsW(&kNetClass, nullptr, DIGCF_PRESENT);
    const DevInfoData data = Member(list, 0);
    EXPECT_FALSE(platform.SetupDiDeleteDevRegKey(list, &data, DICS_FLAG_GLOBAL, 0, DIREG_DRV));
    EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(sim.Setup().RegKeyExists(driverKey));

    sim.Setup().SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    EXPECT_TRUE(platform.SetupDiDeleteDevRegKey(list, &data, DICS_FLAG_GLOBAL, 0, DIREG_DRV));
    EXPECT_FALSE(sim.Setup().RegKeyExists(driverKey));
    EXPECT_FALSE(sim.Setup().GetRegValue(kEnum + Adapter(u"B702").instanceId, u"Driver"));
    EXPECT_FALSE(platform.SetupDiDeleteDevRegKey(list, &data, DICS_FLAG_GLOBAL, 0, DIREG_DRV));
    EXPECT_EQ(platform.GetLastError(), ERROR_KEY_DOES_NOT_EXIST);
    platform.SetupDiDestroyDeviceInfoList(list);
}

TEST_F(DeviceListsContract, DeletingBothKeysTakesTheHardwareAndTheSoftwareKey) {
    // DIREG_BOTH deletes "Device Parameters" and the driver key; it fails
    // only when neither was there.
    const DeviceSpec spec = Adapter(u"B702");
    const std::u16string driverKey = sim.Setup().AddDevice(spec);
    const std::u16string hardwareKey = kEnum + spec.instanceId + u"\\Device Parameters";
    sim.Setup().SetRegDword(hardwareKey, u"WakeOn", 1);
    HDEVINFO list = platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_ALLCLASSES);
    const DevInfoData data = Member(list, 0);
    EXPECT_TRUE(platform.SetupDiDeleteDevRegKey(list, &data, DICS_FLAG_CONFIGSPECIFIC, 0xFFFFFFFF,
                                                DIREG_BOTH));
    EXPECT_FALSE(sim.Setup().RegKeyExists(hardwareKey));
    EXPECT_FALSE(sim.Setup().RegKeyExists(driverKey));
    EXPECT_TRUE(sim.Setup().RegKeyExists(kEnum + spec.instanceId));
    EXPECT_FALSE(platform.SetupDiDeleteDevRegKey(list, &data, DICS_FLAG_CONFIGSPECIFIC, 0xFFFFFFFF,
                                                 DIREG_BOTH));
    EXPECT_EQ(platform.GetLastError(), ERROR_KEY_DOES_NOT_EXIST);
    platform.SetupDiDestroyDeviceInfoList(list);
}

TEST_F(DeviceListsContract, PropertyChangesSwitchNodesOffAndOn) {
    // DICS_DISABLE stops the node and gives it problem 22 (CM_PROB_DISABLED);
    // DICS_ENABLE starts it again. Without parameters the request fails
    // with ERROR_NO_CLASSINSTALL_PARAMS; a request that changes nothing
    // still succeeds.
    const DeviceSpec spec = Adapter(u"B702");
    DeviceSpec fixed = Adapter(u"B701");
    fixed.disableable = false;
    HDEVINFO list = PresentAdapters({spec, fixed});
    // B701 sorts before B702 in the Enum tree.
    const DevInfoData data = Member(list, 1);
    const DevInfoData other = Member(list, 0);
    const std::string id = "PCI\\VEN_1F3A&DEV_B702\\4&1f3a&0&00E4";

    EXPECT_FALSE(platform.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, list, &data));
    EXPECT_EQ(platform.GetLastError(), ERROR_NO_CLASSINSTALL_PARAMS);
    ASSERT_TRUE(SetChange(list, data, DICS_DISABLE));
    EXPECT_TRUE(platform.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, list, &data));
    EXPECT_TRUE(platform.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, list, &data));
    ULONG status = 0;
    ULONG problem = 0;
    ASSERT_EQ(platform.CM_Get_DevNode_Status(&status, &problem, data.DevInst, 0), CR_SUCCESS);
    EXPECT_EQ(status & (DN_STARTED | DN_HAS_PROBLEM), DN_HAS_PROBLEM);
    EXPECT_EQ(problem, 22u);
    EXPECT_TRUE(sim.Setup().DeviceState(spec.instanceId)->disabled);

    // Parameters belong to the member they were set on.
    EXPECT_FALSE(platform.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, list, &other));
    EXPECT_EQ(platform.GetLastError(), ERROR_NO_CLASSINSTALL_PARAMS);
    ASSERT_TRUE(SetChange(list, other, DICS_DISABLE));
    EXPECT_FALSE(platform.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, list, &other));
    EXPECT_EQ(platform.GetLastError(), ERROR_NOT_DISABLEABLE);

    ASSERT_TRUE(SetChange(list, data, DICS_ENABLE));
    EXPECT_TRUE(platform.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, list, &data));
    ASSERT_EQ(platform.CM_Get_DevNode_Status(&status, &problem, data.DevInst, 0), CR_SUCCESS);
    EXPECT_EQ(status & (DN_STARTED | DN_HAS_PROBLEM), DN_STARTED);
    EXPECT_EQ(problem, 0u);

    EXPECT_EQ(sim.Setup().Timeline(), (std::vector<std::string>{"disable " + id, "enable " + id}));
    EXPECT_EQ(sim.Setup().ClassInstallerCalls(),
              (std::vector<std::string>{"DIF_PROPERTYCHANGE " + id,
                                        "DIF_PROPERTYCHANGE DICS_DISABLE " + id,
                                        "DIF_PROPERTYCHANGE DICS_DISABLE " + id,
                                        "DIF_PROPERTYCHANGE PCI\\VEN_1F3A&DEV_B701\\4&1f3a&0&00E4",
                                        "DIF_PROPERTYCHANGE DICS_DISABLE "
                                        "PCI\\VEN_1F3A&DEV_B701\\4&1f3a&0&00E4",
                                        "DIF_PROPERTYCHANGE DICS_ENABLE " + id}));
    platform.SetupDiDestroyDeviceInfoList(list);
}

TEST_F(DeviceListsContract, RemovalTakesTheDeviceAndItsKeysButNotOlderListsPlaces) {
    // DIF_REMOVE deletes the instance key and the whole driver key; a list
    // made before keeps the member at its index, and calls about it then
    // fail with ERROR_NO_SUCH_DEVINST; later lists no longer hold it.
    const DeviceSpec spec = Adapter(u"B702");
    const std::u16string driverKey = sim.Setup().AddDevice(spec);
    sim.Setup().CreateRegKey(driverKey + u"\\Ndi\\params");
    sim.Setup().AddDevice(Adapter(u"B701"));
    HDEVINFO before = platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_ALLCLASSES);
    HDEVINFO list = platform.SetupDiGetClassDevsW(&kNetClass, nullptr, DIGCF_PRESENT);
    // B701 sorts before B702 in the Enum tree.
    const DevInfoData data = Member(list, 1);
    ASSERT_TRUE(platform.SetupDiCallClassInstaller(DIF_REMOVE, list, &data));

    EXPECT_FALSE(sim.Setup().RegKeyExists(kEnum + spec.instanceId));
    EXPECT_FALSE(sim.Setup().RegKeyExists(driverKey));
    EXPECT_FALSE(sim.Setup().DeviceState(spec.instanceId));
    const DevInfoData stale = Member(before, 1);
    EXPECT_EQ(stale.DevInst, data.DevInst);
    EXPECT_FALSE(platform.SetupDiGetDeviceRegistryPropertyW(before, &stale, SPDRP_HARDWAREID,
                                                            nullptr, nullptr, 0, nullptr));
    EXPECT_EQ(platform.GetLastError(), ERROR_NO_SUCH_DEVINST);
    EXPECT_FALSE(platform.SetupDiCallClassInstaller(DIF_REMOVE, before, &stale));
    EXPECT_EQ(platform.GetLastError(), ERROR_NO_SUCH_DEVINST);
    ULONG status = 0;
    ULONG problem = 0;
    EXPECT_EQ(platform.CM_Get_DevNode_Status(&status, &problem, data.DevInst, 0),
              CR_NO_SUCH_DEVNODE);

    HDEVINFO after = platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_ALLCLASSES);
    EXPECT_EQ(FirstIds(after),
              (std::vector<std::u16string>{u"PCI\\VEN_1F3A&DEV_B701&SUBSYS_00011043"}));
    const std::string id = "PCI\\VEN_1F3A&DEV_B702\\4&1f3a&0&00E4";
    EXPECT_EQ(sim.Setup().Timeline(), (std::vector<std::string>{"remove " + id}));
    EXPECT_EQ(sim.Setup().ClassInstallerCalls(),
              (std::vector<std::string>{"DIF_REMOVE " + id, "DIF_REMOVE " + id}));
    for (HDEVINFO each : {before, list, after}) platform.SetupDiDestroyDeviceInfoList(each);
}

TEST_F(DeviceListsContract, NodeStatusReportsSeededFlagsAndAbsentDevices) {
    // Hidden and stopped nodes show it; a device without a node is
    // CR_NO_SUCH_DEVNODE; a number never given out is CR_INVALID_DEVNODE.
    DeviceSpec hidden = Adapter(u"B702");
    hidden.hiddenFromDeviceManager = true;
    hidden.started = false;
    sim.Setup().AddDevice(hidden);
    DeviceSpec absent = Adapter(u"B701");
    absent.present = false;
    sim.Setup().AddDevice(absent);
    HDEVINFO list = platform.SetupDiGetClassDevsW(&kNetClass, nullptr, 0);
    // B701 sorts before B702 in the Enum tree.
    const DevInfoData shown = Member(list, 1);
    const DevInfoData gone = Member(list, 0);
    ULONG status = 0;
    ULONG problem = 0;
    ASSERT_EQ(platform.CM_Get_DevNode_Status(&status, &problem, shown.DevInst, 0), CR_SUCCESS);
    EXPECT_EQ(status & (DN_NO_SHOW_IN_DM | DN_STARTED), DN_NO_SHOW_IN_DM);
    EXPECT_EQ(platform.CM_Get_DevNode_Status(&status, &problem, gone.DevInst, 0),
              CR_NO_SUCH_DEVNODE);
    EXPECT_EQ(platform.CM_Get_DevNode_Status(&status, &problem, 0x7777, 0), CR_INVALID_DEVNODE);
    EXPECT_EQ(sim.Setup().DeviceState(absent.instanceId)->present, false);
    platform.SetupDiDestroyDeviceInfoList(list);
}

TEST_F(DeviceListsContract, SleepsAndRescansJoinTheTimeline) {
    platform.Sleep(1000);
    DEVINST root = 0;
    ASSERT_EQ(platform.CM_Locate_DevNode_ExW(&root, nullptr, CM_LOCATE_DEVNODE_NORMAL, nullptr),
              CR_SUCCESS);
    EXPECT_EQ(platform.CM_Reenumerate_DevNode_Ex(root, CM_REENUMERATE_SYNCHRONOUS, nullptr),
              CR_SUCCESS);
    platform.Sleep(3000);
    EXPECT_EQ(sim.Setup().Timeline(),
              (std::vector<std::string>{"sleep 1000", "reenumerate", "sleep 3000"}));
    EXPECT_EQ(sim.Setup().Sleeps(), (std::vector<DWORD>{1000, 3000}));
}

TEST_F(DeviceListsContract, EachDeviceCallCanBeMadeToFailWithoutChangingAnything) {
    const DeviceSpec spec = Adapter(u"B702");
    sim.Setup().AddDevice(spec);
    HDEVINFO list = platform.SetupDiGetClassDevsW(&kNetClass, nullptr, DIGCF_PRESENT);
    const DevInfoData data = Member(list, 0);
    ASSERT_TRUE(SetChange(list, data, DICS_DISABLE));
    Guid guid{};
    DWORD size = 0;
    DevInfoData out{};
    struct Case {
        Op operation;
        std::function<bool()> fails;
    };
    const std::vector<Case> cases = {
        {Op::SetupDiGetClassDevsW,
         [&] {
             return platform.SetupDiGetClassDevsW(&kNetClass, nullptr, 0) == InvalidHandleValue();
         }},
        {Op::SetupDiClassGuidsFromNameW,
         [&] { return !platform.SetupDiClassGuidsFromNameW(u"Net", &guid, 1, &size); }},
        {Op::SetupDiEnumDeviceInfo, [&] { return !platform.SetupDiEnumDeviceInfo(list, 0, &out); }},
        {Op::SetupDiGetDeviceRegistryPropertyW,
         [&] {
             return !platform.SetupDiGetDeviceRegistryPropertyW(list, &data, SPDRP_CLASS, nullptr,
                                                                nullptr, 0, &size);
         }},
        {Op::SetupDiOpenDevRegKey,
         [&] {
             return platform.SetupDiOpenDevRegKey(list, &data, DICS_FLAG_GLOBAL, 0, DIREG_DRV,
                                                  KEY_READ) == InvalidHandleValue();
         }},
        {Op::SetupDiDeleteDevRegKey,
         [&] {
             return !platform.SetupDiDeleteDevRegKey(list, &data, DICS_FLAG_GLOBAL, 0, DIREG_DRV);
         }},
        {Op::SetupDiSetClassInstallParamsW, [&] { return !SetChange(list, data, DICS_ENABLE); }},
        {Op::SetupDiCallClassInstaller,
         [&] { return !platform.SetupDiCallClassInstaller(DIF_REMOVE, list, &data); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.operation);
        sim.Setup().Fail(c.operation, ERROR_GEN_FAILURE, 1);
        EXPECT_TRUE(c.fails());
        EXPECT_EQ(platform.GetLastError(), ERROR_GEN_FAILURE);
    }
    // The parameters set before the failing call are still the ones used.
    EXPECT_TRUE(platform.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, list, &data));
    EXPECT_TRUE(sim.Setup().DeviceState(spec.instanceId)->disabled);
    EXPECT_TRUE(sim.Setup().RegKeyExists(kEnum + spec.instanceId));
    sim.Setup().Fail(Op::SetupDiDestroyDeviceInfoList, ERROR_GEN_FAILURE, 1);
    EXPECT_FALSE(platform.SetupDiDestroyDeviceInfoList(list));
    EXPECT_TRUE(platform.SetupDiDestroyDeviceInfoList(list));
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace cvl::sim

namespace cvl::sim {
namespace {

TEST(DeviceSeedingContract, ADeviceSeededDisabledReportsProblem22AndNoSwitching) {
    // A device switched off before the machine was seeded looks as one
    // disabled through the class installer does, without a request on record.
    SimulatedPlatform sim;
    DeviceSpec spec;
    spec.instanceId = u"PCI\\VEN_1F3A&DEV_B702\\4&1f3a&0&00E4";
    spec.hardwareIds = {u"PCI\\VEN_1F3A&DEV_B702&CC_0200"};
    spec.disabled = true;
    sim.Setup().AddDevice(spec);
    DEVINST devInst = 0;
    ASSERT_EQ(sim.CM_Locate_DevNode_ExW(&devInst, spec.instanceId.c_str(), 0, nullptr), CR_SUCCESS);
    ULONG status = 0;
    ULONG problem = 0;
    ASSERT_EQ(sim.CM_Get_DevNode_Status(&status, &problem, devInst, 0), CR_SUCCESS);
    EXPECT_EQ(status & (DN_STARTED | 0x400u), 0x400u);
    EXPECT_EQ(problem, 22u);
    EXPECT_TRUE(sim.Setup().DeviceState(spec.instanceId)->disabled);
    EXPECT_TRUE(sim.Setup().Timeline().empty());
    EXPECT_TRUE(sim.Setup().ClassInstallerCalls().empty());
}

}  // namespace
}  // namespace cvl::sim

// Devices as SetupAPI shows them: class names, lists, the size protocol of
// property reads, node status and removal, on the adapters the machine was
// given.
#include <algorithm>
#include <string>
#include <vector>

#include "common/text.h"
#include "contract_machine.h"

namespace cvl::contract {
namespace {

constexpr DWORD kKeyDeleted = 1018;  // ERROR_KEY_DELETED

constexpr Guid kNetClass{
    0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

class DeviceCalls : public PlatformContract {
protected:
    // Finds the adapter whose first hardware id is `hardwareId` in a fresh
    // list of every class; the list stays open in `list` for the caller.
    bool FindDevice(const std::u16string &hardwareId, HDEVINFO &list, DevInfoData &device) {
        list = platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
        if (list == InvalidHandleValue()) return false;
        for (DWORD index = 0; platform.SetupDiEnumDeviceInfo(list, index, &device); ++index) {
            BYTE bytes[512] = {};
            if (!platform.SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_HARDWAREID,
                                                            nullptr, bytes, sizeof bytes, nullptr))
                continue;
            const auto ids = SplitMultiString(bytes, sizeof bytes);
            if (!ids.empty() && ids.front() == hardwareId) return true;
        }
        EXPECT_EQ(platform.GetLastError(), ERROR_NO_MORE_ITEMS);
        return false;
    }
};

TEST_F(DeviceCalls, ClassNamesResolveThroughTheClassKeys) {
    // SetupDiClassGuidsFromName finds "Net" (any case); a short list fails
    // with ERROR_INSUFFICIENT_BUFFER and the count needed; an unknown class
    // gives none.
    Guid guids[2]{};
    DWORD required = 0;
    ASSERT_TRUE(platform.SetupDiClassGuidsFromNameW(u"net", guids, 2, &required));
    EXPECT_EQ(required, 1u);
    EXPECT_TRUE(guids[0] == kNetClass);
    EXPECT_FALSE(platform.SetupDiClassGuidsFromNameW(u"Net", guids, 0, &required));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(required, 1u);
    EXPECT_TRUE(platform.SetupDiClassGuidsFromNameW(u"CvlNoSuchClass", guids, 2, &required));
    EXPECT_EQ(required, 0u);
}

TEST_F(DeviceCalls, AListedAdapterCarriesItsClassAndIds) {
    HDEVINFO list = nullptr;
    DevInfoData device{};
    ASSERT_TRUE(FindDevice(machine().DeviceHardwareId(), list, device));
    EXPECT_TRUE(device.ClassGuid == kNetClass);

    // No buffer or a short one: FALSE, ERROR_INSUFFICIENT_BUFFER and the
    // size in bytes; then the read with that size.
    const std::vector<BYTE> hardwareIds =
        MultiStringBytes({machine().DeviceHardwareId(), kSecondHardwareId});
    DWORD type = 0;
    DWORD needed = 0;
    platform.SetLastError(0);
    EXPECT_FALSE(platform.SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_HARDWAREID, &type,
                                                            nullptr, 0, &needed));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(needed, hardwareIds.size());
    std::vector<BYTE> bytes(needed);
    EXPECT_FALSE(platform.SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_HARDWAREID, &type,
                                                            bytes.data(), needed - 1, &needed));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(needed, hardwareIds.size());
    ASSERT_TRUE(platform.SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_HARDWAREID, &type,
                                                           bytes.data(), needed, nullptr));
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(bytes, hardwareIds);

    needed = 0;
    EXPECT_FALSE(platform.SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_COMPATIBLEIDS,
                                                            &type, nullptr, 0, &needed));
    bytes.assign(needed, 0);
    ASSERT_TRUE(platform.SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_COMPATIBLEIDS,
                                                           &type, bytes.data(), needed, nullptr));
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(SplitMultiString(bytes.data(), bytes.size()), kCompatibleIds);

    // A value the instance key does not hold is ERROR_INVALID_DATA.
    EXPECT_FALSE(platform.SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_SERVICE, &type,
                                                            bytes.data(), needed, &needed));
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_DATA);

    ULONG status = 0;
    ULONG problem = 0;
    EXPECT_EQ(platform.CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0), CR_SUCCESS);
    EXPECT_TRUE(platform.SetupDiDestroyDeviceInfoList(list));
}

TEST_F(DeviceCalls, AListedAdapterNamesItsInstanceKey) {
    // SetupDiGetDeviceInstanceId: a short buffer fails with
    // ERROR_INSUFFICIENT_BUFFER and the characters needed, terminator
    // included; the id names the device's key under Enum.
    HDEVINFO list = nullptr;
    DevInfoData device{};
    ASSERT_TRUE(FindDevice(machine().DeviceHardwareId(), list, device));
    DWORD needed = 0;
    platform.SetLastError(0);
    EXPECT_FALSE(platform.SetupDiGetDeviceInstanceIdW(list, &device, nullptr, 0, &needed));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    ASSERT_GT(needed, 1u);
    std::u16string id(needed, u'\0');
    EXPECT_FALSE(
        platform.SetupDiGetDeviceInstanceIdW(list, &device, id.data(), needed - 1, nullptr));
    ASSERT_TRUE(platform.SetupDiGetDeviceInstanceIdW(list, &device, id.data(), needed, nullptr));
    id.resize(needed - 1);
    EXPECT_EQ(std::count(id.begin(), id.end(), u'\\'), 2) << ToUtf8(id);
    HKEY key = nullptr;
    const std::u16string path = u"SYSTEM\\CurrentControlSet\\Enum\\" + id;
    ASSERT_EQ(platform.RegOpenKeyExW(HKeyLocalMachine(), path.c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS)
        << ToUtf8(id);
    EXPECT_EQ(platform.RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_TRUE(platform.SetupDiDestroyDeviceInfoList(list));
}

TEST_F(DeviceCalls, AnAdapterWithoutADriverHasNoDriverKey) {
    // SetupDiOpenDevRegKey: no Driver value is ERROR_KEY_DOES_NOT_EXIST, as
    // is a hardware key nobody made; a bad scope or key type is
    // ERROR_INVALID_FLAGS; no element data is ERROR_INVALID_PARAMETER.
    HDEVINFO list = nullptr;
    DevInfoData device{};
    ASSERT_TRUE(FindDevice(machine().DeviceHardwareId(), list, device));
    constexpr DWORD kInvalidFlags = 1004;  // ERROR_INVALID_FLAGS
    const HKEY invalid = static_cast<HKEY>(InvalidHandleValue());
    struct Case {
        const char *rule;
        const DevInfoData *data;
        DWORD scope;
        DWORD keyType;
        DWORD error;
    };
    const Case cases[] = {
        {"driver key", &device, DICS_FLAG_GLOBAL, DIREG_DRV, ERROR_KEY_DOES_NOT_EXIST},
        {"hardware key", &device, DICS_FLAG_GLOBAL, DIREG_DEV, ERROR_KEY_DOES_NOT_EXIST},
        {"no scope", &device, 0, DIREG_DRV, kInvalidFlags},
        {"both keys", &device, DICS_FLAG_GLOBAL, DIREG_BOTH, kInvalidFlags},
        {"no element", nullptr, DICS_FLAG_GLOBAL, DIREG_DRV, ERROR_INVALID_PARAMETER},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rule);
        platform.SetLastError(0);
        const HKEY key =
            platform.SetupDiOpenDevRegKey(list, c.data, c.scope, 0, c.keyType, KEY_READ);
        EXPECT_EQ(key, invalid);
        if (key != invalid) platform.RegCloseKey(key);
        EXPECT_EQ(platform.GetLastError(), c.error);
    }
    EXPECT_TRUE(platform.SetupDiDestroyDeviceInfoList(list));
}

TEST_F(DeviceCalls, ListsEndWithNoMoreItems) {
    HDEVINFO list = platform.SetupDiGetClassDevsW(&kNetClass, nullptr, DIGCF_PRESENT);
    ASSERT_NE(list, InvalidHandleValue());
    DWORD count = 0;
    DevInfoData device{};
    while (platform.SetupDiEnumDeviceInfo(list, count, &device)) {
        EXPECT_TRUE(device.ClassGuid == kNetClass);
        ++count;
    }
    EXPECT_EQ(platform.GetLastError(), ERROR_NO_MORE_ITEMS);
    EXPECT_GE(count, 2u);
    EXPECT_TRUE(platform.SetupDiDestroyDeviceInfoList(list));
}

TEST_F(DeviceCalls, ListsSelectByEnumeratorAndNeedAClassOrAllClasses) {
    // The enumerator filter folds case; one nobody uses gives an empty
    // list; a null class needs DIGCF_ALLCLASSES (ERROR_INVALID_PARAMETER).
    struct Case {
        const Guid *classGuid;
        const char16_t *enumerator;
        DWORD flags;
        bool holdsTheAdapters;
    };
    const Case cases[] = {
        {&kNetClass, u"root", 0, true},
        {nullptr, u"ROOT", DIGCF_ALLCLASSES, true},
        {&kNetClass, u"PCMCIA", 0, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.enumerator)));
        HDEVINFO list = platform.SetupDiGetClassDevsW(c.classGuid, c.enumerator, c.flags);
        ASSERT_NE(list, InvalidHandleValue());
        std::vector<std::u16string> firstIds;
        DevInfoData device{};
        for (DWORD index = 0; platform.SetupDiEnumDeviceInfo(list, index, &device); ++index) {
            BYTE bytes[512] = {};
            platform.SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_HARDWAREID, nullptr,
                                                       bytes, sizeof bytes, nullptr);
            const auto ids = SplitMultiString(bytes, sizeof bytes);
            firstIds.push_back(ids.empty() ? u"" : ids.front());
        }
        EXPECT_EQ(platform.GetLastError(), ERROR_NO_MORE_ITEMS);
        for (const auto &id : {machine().DeviceHardwareId(), machine().RemovableDeviceHardwareId()})
            EXPECT_EQ(std::count(firstIds.begin(), firstIds.end(), id), c.holdsTheAdapters ? 1 : 0);
        if (!c.holdsTheAdapters) {
            EXPECT_TRUE(firstIds.empty());
        }
        EXPECT_TRUE(platform.SetupDiDestroyDeviceInfoList(list));
    }
    EXPECT_EQ(platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_PRESENT), InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(DeviceCalls, ANodeNumberNeverGivenOutIsInvalid) {
    ULONG status = 0;
    ULONG problem = 0;
    const CONFIGRET result = platform.CM_Get_DevNode_Status(&status, &problem, 0x7777, 0);
    if (OnWine()) {
        // Wine 8.0's CM_Get_DevNode_Status is a stub that answers every
        // number with CR_SUCCESS; Windows gives CR_INVALID_DEVNODE.
        EXPECT_EQ(result, CR_SUCCESS);
    } else {
        EXPECT_EQ(result, CR_INVALID_DEVNODE);
    }
}

TEST_F(DeviceCalls, ARemovedAdapterLeavesLaterLists) {
    // DIF_REMOVE takes the device; a list made afterwards no longer holds
    // it. (Wine takes no class-install parameters; the removal works
    // without them on every machine.)
    HDEVINFO list = nullptr;
    DevInfoData device{};
    ASSERT_TRUE(FindDevice(machine().RemovableDeviceHardwareId(), list, device));

    // A list made before keeps its member, but calls about it then fail
    // with ERROR_NO_SUCH_DEVINST.
    HDEVINFO before = nullptr;
    DevInfoData stale{};
    ASSERT_TRUE(FindDevice(machine().RemovableDeviceHardwareId(), before, stale));
    ASSERT_TRUE(platform.SetupDiCallClassInstaller(DIF_REMOVE, list, &device));
    EXPECT_TRUE(platform.SetupDiDestroyDeviceInfoList(list));

    const BOOL read = platform.SetupDiGetDeviceRegistryPropertyW(before, &stale, SPDRP_HARDWAREID,
                                                                 nullptr, nullptr, 0, nullptr);
    const DWORD readError = platform.GetLastError();
    EXPECT_FALSE(read);
    if (OnWine()) {
        // Wine 8.0 still answers for the removed member of an older list:
        // the size query with ERROR_INSUFFICIENT_BUFFER, a read (the ANSI
        // forms read into a buffer of the layer's at once) with
        // ERROR_KEY_DELETED; Windows fails with ERROR_NO_SUCH_DEVINST.
        EXPECT_EQ(readError, machine().AnsiCodePage() ? kKeyDeleted : ERROR_INSUFFICIENT_BUFFER);
    } else {
        EXPECT_EQ(readError, ERROR_NO_SUCH_DEVINST);
    }
    EXPECT_TRUE(platform.SetupDiDestroyDeviceInfoList(before));

    HDEVINFO after = nullptr;
    DevInfoData gone{};
    EXPECT_FALSE(FindDevice(machine().RemovableDeviceHardwareId(), after, gone));
    platform.SetupDiDestroyDeviceInfoList(after);
}

}  // namespace
}  // namespace cvl::contract

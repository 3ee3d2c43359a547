// Device lists, device properties and keys, the class installer and the
// device tree. The machine has no devices yet: lists come back empty and
// every call about one device finds none; the root of the tree exists.
#include "platform/sim/sim_machine.h"

namespace cvl::sim {
namespace {

constexpr DEVINST kRootDevInst = 1;
constexpr char16_t kClassKey[] = u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class";

bool IsRootDeviceId(const char16_t *deviceId) {
    return deviceId == nullptr || *deviceId == u'\0' ||
           FoldedName(deviceId) == FoldedName(u"HTREE\\ROOT\\0");
}

}  // namespace

HDEVINFO SimulatedPlatform::SetupDiGetClassDevsW(const Guid *classGuid, const char16_t *,
                                                 DWORD flags) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupDiGetClassDevsW"))
        return m.Fail(*error, InvalidHandleValue());
    if (classGuid == nullptr && !(flags & DIGCF_ALLCLASSES))
        return m.Fail(ERROR_INVALID_PARAMETER, InvalidHandleValue());
    return m.AddHandle(DeviceListObject{});
}

BOOL SimulatedPlatform::SetupDiClassGuidsFromNameW(const char16_t *className, Guid *guidList,
                                                   DWORD guidListSize, DWORD *requiredSize) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupDiClassGuidsFromNameW")) return m.FailWith(*error);
    if (className == nullptr || requiredSize == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    // A class is a key named by its GUID whose "Class" value names it.
    std::vector<Guid> matches;
    const std::u16string wanted = FoldedName(className);
    for (const auto &keyName : RegSubkeyNames(kClassKey)) {
        const auto guid = ParseGuid(keyName);
        const auto name = GetRegString(std::u16string(kClassKey) + u"\\" + keyName, u"Class");
        if (guid && name && FoldedName(*name) == wanted) matches.push_back(*guid);
    }
    *requiredSize = static_cast<DWORD>(matches.size());
    if (matches.size() > guidListSize || (guidList == nullptr && !matches.empty()))
        return m.FailWith(ERROR_INSUFFICIENT_BUFFER);
    for (std::size_t i = 0; i < matches.size(); ++i) guidList[i] = matches[i];
    return TRUE;
}

BOOL SimulatedPlatform::SetupDiEnumDeviceInfo(HDEVINFO list, DWORD index, DevInfoData *data) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupDiEnumDeviceInfo")) return m.FailWith(*error);
    const DeviceListObject *devices = m.HandleAs<DeviceListObject>(list);
    if (devices == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    if (data == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    if (index >= devices->members.size()) return m.FailWith(ERROR_NO_MORE_ITEMS);
    data->DevInst = devices->members[index].devInst;
    return TRUE;
}

BOOL SimulatedPlatform::SetupDiDestroyDeviceInfoList(HDEVINFO list) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupDiDestroyDeviceInfoList")) return m.FailWith(*error);
    if (m.HandleAs<DeviceListObject>(list) == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    m.ReleaseHandle(reinterpret_cast<std::uintptr_t>(list));
    return TRUE;
}

// With no devices, no element data names a member of any list: each call
// about one device fails as it does for a foreign element.
BOOL SimulatedPlatform::SetupDiGetDeviceRegistryPropertyW(HDEVINFO list, const DevInfoData *, DWORD,
                                                          DWORD *, BYTE *, DWORD, DWORD *) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupDiGetDeviceRegistryPropertyW")) return m.FailWith(*error);
    if (m.HandleAs<DeviceListObject>(list) == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    return m.FailWith(ERROR_INVALID_PARAMETER);
}

HKEY SimulatedPlatform::SetupDiOpenDevRegKey(HDEVINFO list, const DevInfoData *, DWORD, DWORD,
                                             DWORD, REGSAM) {
    Machine &m = *machine_;
    const auto invalidKey = static_cast<HKEY>(InvalidHandleValue());
    if (auto error = m.Injected("SetupDiOpenDevRegKey")) return m.Fail(*error, invalidKey);
    if (m.HandleAs<DeviceListObject>(list) == nullptr)
        return m.Fail(ERROR_INVALID_HANDLE, invalidKey);
    return m.Fail(ERROR_INVALID_PARAMETER, invalidKey);
}

BOOL SimulatedPlatform::SetupDiDeleteDevRegKey(HDEVINFO list, const DevInfoData *, DWORD, DWORD,
                                               DWORD) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupDiDeleteDevRegKey")) return m.FailWith(*error);
    if (m.HandleAs<DeviceListObject>(list) == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    return m.FailWith(ERROR_INVALID_PARAMETER);
}

BOOL SimulatedPlatform::SetupDiSetClassInstallParamsW(HDEVINFO list, const DevInfoData *,
                                                      const ClassInstallParams *) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupDiSetClassInstallParamsW")) return m.FailWith(*error);
    if (m.HandleAs<DeviceListObject>(list) == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    return m.FailWith(ERROR_INVALID_PARAMETER);
}

BOOL SimulatedPlatform::SetupDiCallClassInstaller(DWORD, HDEVINFO list, const DevInfoData *data) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupDiCallClassInstaller")) return m.FailWith(*error);
    if (m.HandleAs<DeviceListObject>(list) == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    return m.FailWith(data == nullptr ? ERROR_NO_DEVICE_SELECTED : ERROR_INVALID_PARAMETER);
}

CONFIGRET SimulatedPlatform::CM_Get_DevNode_Status(ULONG *status, ULONG *problem, DEVINST devInst,
                                                   ULONG) {
    Machine &m = *machine_;
    if (auto error = m.Injected("CM_Get_DevNode_Status")) return *error;
    if (status == nullptr || problem == nullptr) return CR_INVALID_POINTER;
    if (devInst != kRootDevInst) return CR_INVALID_DEVNODE;
    *status = DN_STARTED;
    *problem = 0;
    return CR_SUCCESS;
}

CONFIGRET SimulatedPlatform::CM_Connect_MachineW(const char16_t *machineName, HMACHINE *machine) {
    Machine &m = *machine_;
    if (auto error = m.Injected("CM_Connect_MachineW")) return *error;
    if (machine == nullptr) return CR_INVALID_POINTER;
    // Only the local machine can be reached.
    if (machineName != nullptr && *machineName != u'\0') return CR_MACHINE_UNAVAILABLE;
    *machine = m.AddHandle(MachineConnectionObject{});
    m.deviceTreeCalls.push_back("connect");
    return CR_SUCCESS;
}

CONFIGRET SimulatedPlatform::CM_Locate_DevNode_ExW(DEVINST *devInst, const char16_t *deviceId,
                                                   ULONG, HMACHINE machine) {
    Machine &m = *machine_;
    if (auto error = m.Injected("CM_Locate_DevNode_ExW")) return *error;
    if (devInst == nullptr) return CR_INVALID_POINTER;
    // No machine handle means the local machine.
    if (machine != nullptr && m.HandleAs<MachineConnectionObject>(machine) == nullptr)
        return CR_INVALID_POINTER;
    if (!IsRootDeviceId(deviceId)) return CR_NO_SUCH_DEVNODE;
    *devInst = kRootDevInst;
    m.deviceTreeCalls.push_back("locate");
    return CR_SUCCESS;
}

CONFIGRET SimulatedPlatform::CM_Reenumerate_DevNode_Ex(DEVINST devInst, ULONG flags,
                                                       HMACHINE machine) {
    Machine &m = *machine_;
    if (auto error = m.Injected("CM_Reenumerate_DevNode_Ex")) return *error;
    if (machine != nullptr && m.HandleAs<MachineConnectionObject>(machine) == nullptr)
        return CR_INVALID_POINTER;
    if (devInst != kRootDevInst) return CR_INVALID_DEVNODE;
    m.deviceTreeCalls.push_back("reenumerate:" + std::to_string(flags));
    return CR_SUCCESS;
}

CONFIGRET SimulatedPlatform::CM_Disconnect_Machine(HMACHINE machine) {
    Machine &m = *machine_;
    if (auto error = m.Injected("CM_Disconnect_Machine")) return *error;
    if (machine == nullptr) return CR_SUCCESS;
    if (m.HandleAs<MachineConnectionObject>(machine) == nullptr) return CR_INVALID_POINTER;
    m.ReleaseHandle(reinterpret_cast<std::uintptr_t>(machine));
    m.deviceTreeCalls.push_back("disconnect");
    return CR_SUCCESS;
}

const std::vector<std::string> &SimulatedPlatform::DeviceTreeCalls() const {
    return machine_->deviceTreeCalls;
}

}  // namespace cvl::sim

// The device tree as the Configuration Manager shows it: node status, the
// local machine's connection, locating nodes and re-enumerating them.
#include "common/text.h"
#include "platform/sim/parts/device_registry.h"
#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

constexpr DEVINST kRootDevInst = 1;
constexpr ULONG CM_LOCATE_DEVNODE_PHANTOM = 1;
// Flags every node of a running NT machine carries.
constexpr ULONG DN_DRIVER_LOADED = 0x00000002;
constexpr ULONG DN_HAS_PROBLEM = 0x00000400;
constexpr ULONG DN_NT_ENUMERATOR = 0x00800000;
constexpr ULONG DN_NT_DRIVER = 0x01000000;

bool IsRootDeviceId(const char16_t *deviceId) {
    return deviceId == nullptr || *deviceId == u'\0' || EqualsFoldAZ(deviceId, u"HTREE\\ROOT\\0");
}

}  // namespace

CONFIGRET SimulatedPlatform::DoCM_Get_DevNode_Status(ULONG *status, ULONG *problem, DEVINST devInst,
                                                     ULONG) {
    Machine &m = *machine_;
    if (status == nullptr || problem == nullptr) return CR_INVALID_POINTER;
    if (devInst == kRootDevInst) {
        *status = DN_STARTED | DN_DRIVER_LOADED | DN_NT_ENUMERATOR | DN_NT_DRIVER;
        *problem = 0;
        return CR_SUCCESS;
    }
    const DeviceNode *node = m.devices.PresentNode(devInst);
    if (node == nullptr) return m.devices.Issued(devInst) ? CR_NO_SUCH_DEVNODE : CR_INVALID_DEVNODE;
    ULONG flags = DN_NT_ENUMERATOR | DN_NT_DRIVER;
    if (node->started) flags |= DN_STARTED | DN_DRIVER_LOADED;
    if (node->disableable) flags |= DN_DISABLEABLE;
    if (node->hiddenFromDeviceManager) flags |= DN_NO_SHOW_IN_DM;
    if (node->disabled) flags |= DN_HAS_PROBLEM;
    *status = flags;
    *problem = node->disabled ? CM_PROB_DISABLED : 0;
    return CR_SUCCESS;
}

CONFIGRET SimulatedPlatform::DoCM_Connect_MachineW(const char16_t *machineName, HMACHINE *machine) {
    Machine &m = *machine_;
    if (machine == nullptr) return CR_INVALID_POINTER;
    // Only the local machine can be reached.
    if (machineName != nullptr && *machineName != u'\0') return CR_MACHINE_UNAVAILABLE;
    *machine = m.handles.Add(MachineConnectionObject{});
    m.devices.RecordTreeCall("connect");
    return CR_SUCCESS;
}

CONFIGRET SimulatedPlatform::DoCM_Locate_DevNode_ExW(DEVINST *devInst, const char16_t *deviceId,
                                                     ULONG flags, HMACHINE machine) {
    Machine &m = *machine_;
    if (devInst == nullptr) return CR_INVALID_POINTER;
    // No machine handle means the local machine.
    if (machine != nullptr && m.handles.As<MachineConnectionObject>(machine) == nullptr)
        return CR_INVALID_POINTER;
    if (IsRootDeviceId(deviceId)) {
        *devInst = kRootDevInst;
    } else {
        // A device that is not present is found only when phantoms are asked for.
        if (!m.registryPaths.RegKeyExists(EnumKeyPath(deviceId))) return CR_NO_SUCH_DEVNODE;
        const DEVINST found = m.devices.DevInstOf(deviceId);
        if (!(flags & CM_LOCATE_DEVNODE_PHANTOM) && m.devices.PresentNode(found) == nullptr)
            return CR_NO_SUCH_DEVNODE;
        *devInst = found;
    }
    m.devices.RecordTreeCall("locate");
    return CR_SUCCESS;
}

CONFIGRET SimulatedPlatform::DoCM_Reenumerate_DevNode_Ex(DEVINST devInst, ULONG flags,
                                                         HMACHINE machine) {
    Machine &m = *machine_;
    if (machine != nullptr && m.handles.As<MachineConnectionObject>(machine) == nullptr)
        return CR_INVALID_POINTER;
    if (devInst != kRootDevInst && m.devices.PresentNode(devInst) == nullptr)
        return CR_INVALID_DEVNODE;
    m.devices.RecordTreeCall("reenumerate:" + std::to_string(flags));
    m.devices.Record("reenumerate");
    return CR_SUCCESS;
}

CONFIGRET SimulatedPlatform::DoCM_Disconnect_Machine(HMACHINE machine) {
    Machine &m = *machine_;
    if (machine == nullptr) return CR_SUCCESS;
    if (m.handles.As<MachineConnectionObject>(machine) == nullptr) return CR_INVALID_POINTER;
    m.Close(machine);
    m.devices.RecordTreeCall("disconnect");
    return CR_SUCCESS;
}

}  // namespace cvl::sim

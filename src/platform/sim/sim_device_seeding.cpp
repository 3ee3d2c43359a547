// Devices as a test or a machine image seeds them, and what the machine
// remembers of the changes made to them.
#include "common/text.h"
#include "platform/sim/sim_device_registry.h"
#include "platform/sim/sim_machine.h"

namespace cvl::sim {

DEVINST SimulatedPlatform::Machine::DevInstOf(std::u16string_view instanceId) {
    const auto [found, added] = devInsts.emplace(FoldedName(instanceId), nextDevInst);
    if (added) ++nextDevInst;
    return found->second;
}

DeviceNode *SimulatedPlatform::Machine::PresentNode(DEVINST devInst) {
    const auto found = nodes.find(devInst);
    if (found == nodes.end()) return nullptr;
    if (!registry.FindKey(EnumKeyPath(found->second.instanceId))) return nullptr;
    return &found->second;
}

DWORD SimulatedPlatform::Machine::MemberOf(HDEVINFO list, const DevInfoData *data,
                                           DeviceListMember *&member) {
    DeviceListObject *devices = handles.As<DeviceListObject>(list);
    if (devices == nullptr) return ERROR_INVALID_HANDLE;
    // Reserved carries the member's place in its list, as the system keeps
    // a pointer to its own record there.
    if (data == nullptr || data->Reserved == 0 || data->Reserved > devices->members.size())
        return ERROR_INVALID_PARAMETER;
    member = &devices->members[data->Reserved - 1];
    if (member->devInst != data->DevInst) return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

void SimulatedPlatform::Machine::Record(std::string event, std::u16string_view instanceId) {
    event += ' ';
    event += ToUtf8(instanceId);
    timeline.push_back(std::move(event));
}

std::u16string SimulatedPlatform::AddDevice(const DeviceSpec &device) {
    Machine &m = *machine_;
    const std::u16string instanceKey = EnumKeyPath(device.instanceId);
    CreateRegKey(instanceKey);
    if (!device.hardwareIds.empty())
        SetRegMultiString(instanceKey, u"HardwareID", device.hardwareIds);
    if (!device.compatibleIds.empty())
        SetRegMultiString(instanceKey, u"CompatibleIDs", device.compatibleIds);
    SetRegString(instanceKey, u"ClassGUID", device.classGuid);
    SetRegString(instanceKey, u"Class", device.className);
    const std::u16string classKey = DriverKeyPath(device.classGuid);
    if (!GetRegString(classKey, u"Class")) SetRegString(classKey, u"Class", device.className);

    std::u16string driverKey;
    if (device.withDriverKey) {
        driverKey =
            LinkNewDriverKey(*this, device.instanceId, device.classGuid, device.driverKeyName);
        for (const auto &[name, text] : device.driverStrings) {
            SetRegString(driverKey, name, text);
            // The description the driver gave is also the device's own.
            if (EqualsFoldAZ(name, u"DriverDesc")) SetRegString(instanceKey, u"DeviceDesc", text);
        }
    }

    const DEVINST devInst = m.DevInstOf(device.instanceId);
    if (device.present) {
        m.nodes[devInst] =
            DeviceNode{device.instanceId, device.started && !device.disabled, device.disableable,
                       device.hiddenFromDeviceManager, device.disabled};
    } else {
        m.nodes.erase(devInst);
    }
    return driverKey;
}

std::optional<DeviceNodeState> SimulatedPlatform::DeviceState(
    std::u16string_view instanceId) const {
    const Machine &m = *machine_;
    if (!RegKeyExists(EnumKeyPath(instanceId))) return std::nullopt;
    const auto devInst = m.devInsts.find(FoldedName(instanceId));
    const auto node = devInst == m.devInsts.end() ? m.nodes.end() : m.nodes.find(devInst->second);
    if (node == m.nodes.end()) return DeviceNodeState{};
    return DeviceNodeState{true, node->second.started, node->second.disabled};
}

std::vector<std::string> SimulatedPlatform::Timeline() const {
    return machine_->timeline;
}

std::vector<std::string> SimulatedPlatform::ClassInstallerCalls() const {
    return machine_->classInstallerCalls;
}

void SimulatedPlatform::SetWow64(bool wow64) {
    machine_->wow64 = wow64;
}

}  // namespace cvl::sim

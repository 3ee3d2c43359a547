// Devices as a test or a machine image seeds them, and what the machine
// remembers of the changes made to them.
#include "common/text.h"
#include "platform/sim/parts/device_registry.h"
#include "platform/sim/parts/machine.h"

namespace cvl::sim {

std::u16string SimulatedMachineSetup::AddDevice(const DeviceSpec &device) {
    SimulatedPlatform::Machine &m = *platform_.machine_;
    const std::u16string instanceKey = EnumKeyPath(device.instanceId);
    CreateRegKey(instanceKey);
    if (!device.hardwareIds.empty())
        SetRegMultiString(instanceKey, u"HardwareID", device.hardwareIds);
    if (!device.compatibleIds.empty())
        SetRegMultiString(instanceKey, u"CompatibleIDs", device.compatibleIds);
    if (device.classGuid) SetRegString(instanceKey, u"ClassGUID", *device.classGuid);
    if (device.className) SetRegString(instanceKey, u"Class", *device.className);
    // A class is installed with its name; a GUID alone names no class key.
    if (device.classGuid && device.className) {
        const std::u16string classKey = DriverKeyPath(*device.classGuid);
        if (!GetRegString(classKey, u"Class")) SetRegString(classKey, u"Class", *device.className);
    }

    // The driver key lives below the class key: without a class GUID there
    // is none.
    std::u16string driverKey;
    if (device.withDriverKey && device.classGuid) {
        driverKey =
            LinkNewDriverKey(*this, device.instanceId, *device.classGuid, device.driverKeyName);
        for (const auto &[name, text] : device.driverStrings) {
            SetRegString(driverKey, name, text);
            // The description the driver gave is also the device's own.
            if (EqualsFoldAZ(name, u"DriverDesc")) SetRegString(instanceKey, u"DeviceDesc", text);
        }
    }

    const DEVINST devInst = m.devices.DevInstOf(device.instanceId);
    if (device.present) {
        m.devices.SetNode(devInst, DeviceNode{device.instanceId, device.started && !device.disabled,
                                              device.disableable, device.hiddenFromDeviceManager,
                                              device.disabled});
    } else {
        m.devices.RemoveNode(devInst);
    }
    return driverKey;
}

std::optional<DeviceNodeState> SimulatedMachineSetup::DeviceState(
    std::u16string_view instanceId) const {
    const SimulatedPlatform::Machine &m = *platform_.machine_;
    if (!RegKeyExists(EnumKeyPath(instanceId))) return std::nullopt;
    const DeviceNode *node = m.devices.NodeOf(instanceId);
    if (node == nullptr) return DeviceNodeState{};
    return DeviceNodeState{true, node->started, node->disabled};
}

std::vector<std::string> SimulatedMachineSetup::Timeline() const {
    return platform_.machine_->devices.Timeline();
}

std::vector<std::string> SimulatedMachineSetup::ClassInstallerCalls() const {
    return platform_.machine_->devices.ClassInstallerCalls();
}

void SimulatedMachineSetup::SetWow64(bool wow64) {
    platform_.machine_->system.SetWow64(wow64);
}

const std::vector<std::string> &SimulatedMachineSetup::DeviceTreeCalls() const {
    return platform_.machine_->devices.TreeCalls();
}

}  // namespace cvl::sim

#include "platform/sim/machine_image_device_seeding.h"

#include "common/text.h"
#include "platform/sim/sim_device_registry.h"

namespace cvl::sim {
namespace {

void CopyKeyTree(SimulatedPlatform &machine, const std::u16string &from, const std::u16string &to) {
    machine.CreateRegKey(to);
    for (const auto &[name, value] : machine.RegValues(from))
        machine.SetRegValue(to, name, value.type, value.data);
    for (const auto &child : machine.RegSubkeyNames(from))
        CopyKeyTree(machine, from + u"\\" + child, to + u"\\" + child);
}

// AddDevice names a new driver key after the first free number; an image
// keeps the name the device had, which other keys and a run's log refer to.
void MoveDriverKey(SimulatedPlatform &machine, const DeviceRow &row, const std::u16string &made) {
    const std::u16string driverValue = row.classGuid + u"\\" + *row.driverKey;
    const std::u16string wanted = DriverKeyPath(driverValue);
    if (made.empty() || EqualsFoldAZ(made, wanted)) return;
    CopyKeyTree(machine, made, wanted);
    machine.DeleteRegTree(made);
    machine.SetRegString(EnumKeyPath(row.instanceId), u"Driver", driverValue);
}

// The machine seeds no disabled devices: Windows keeps a device disabled
// that someone disabled, so the device is disabled here as a program does
// it, through the class installer.
bool DisableDevice(SimulatedPlatform &machine, const std::u16string &instanceId) {
    DEVINST devInst = 0;
    if (machine.CM_Locate_DevNode_ExW(&devInst, instanceId.c_str(), CM_LOCATE_DEVNODE_NORMAL,
                                      nullptr) != CR_SUCCESS)
        return false;
    const HDEVINFO list =
        machine.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (list == InvalidHandleValue()) return false;
    bool disabled = false;
    DevInfoData device{};
    for (DWORD index = 0; machine.SetupDiEnumDeviceInfo(list, index, &device); ++index) {
        if (device.DevInst != devInst) continue;
        const ClassInstallParams request{DIF_PROPERTYCHANGE, DICS_DISABLE, DICS_FLAG_GLOBAL, 0};
        disabled = machine.SetupDiSetClassInstallParamsW(list, &device, &request) &&
                   machine.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, list, &device);
        break;
    }
    machine.SetupDiDestroyDeviceInfoList(list);
    return disabled;
}

}  // namespace

bool SeedDevicesAndServices(const MachineSettings &settings, SimulatedPlatform &machine,
                            std::string &error) {
    for (const DeviceRow &row : settings.devices) {
        const std::u16string made = machine.AddDevice(SpecOf(row));
        if (row.driverKey) MoveDriverKey(machine, row, made);
        if (row.condition == DeviceCondition::Disabled && !DisableDevice(machine, row.instanceId)) {
            error = "the device " + ToUtf8(row.instanceId) + " could not be disabled";
            return false;
        }
    }
    for (const ServiceRow &row : settings.services)
        machine.AddService(row.name, row.imagePath, row.type, row.start);
    return true;
}

}  // namespace cvl::sim

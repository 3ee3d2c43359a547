#include "machine_image/machine_image_device_seeding.h"

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

}  // namespace

void SeedDevicesAndServices(const MachineSettings &settings, SimulatedPlatform &machine) {
    for (const DeviceRow &row : settings.devices) {
        // A device switched off before the run is seeded so, not switched
        // off by the loader: the run's timeline shows only what the run did.
        DeviceSpec spec = SpecOf(row);
        spec.disabled = row.condition == DeviceCondition::Disabled;
        const std::u16string made = machine.AddDevice(spec);
        if (row.driverKey) MoveDriverKey(machine, row, made);
    }
    for (const ServiceRow &row : settings.services)
        machine.AddService(row.name, row.imagePath, row.type, row.start);
}

}  // namespace cvl::sim

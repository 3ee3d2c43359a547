#include "machine_image/machine_image_device_seeding.h"

namespace cvl::image {

void SeedDevicesAndServices(const MachineSettings &settings, sim::SimulatedPlatform &machine) {
    for (const DeviceRow &row : settings.devices) {
        // A device switched off before the run is seeded so, not switched
        // off by the loader: the run's timeline shows only what the run did.
        sim::DeviceSpec spec = SpecOf(row);
        spec.disabled = row.condition == DeviceCondition::Disabled;
        // The driver key keeps the name the device had (SpecOf), which
        // other keys and a run's log refer to.
        machine.Setup().AddDevice(spec);
    }
    for (const ServiceRow &row : settings.services)
        machine.Setup().AddService(row.name, row.imagePath, row.type, row.start);
}

}  // namespace cvl::image

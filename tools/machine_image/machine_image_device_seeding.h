// Puts the devices and services that machine.txt lists on a machine, and
// reads them back into rows when the machine is saved.
//
// A device row holds what AddDevice takes plus what the device tree knows
// (started, disabled ...); the registry file holds the rest of the device's
// keys. On load the rows are seeded first and the registry file is laid over
// them, so a value a run changed in the registry wins over what a row
// seeds. On save each row is read back from the machine, and the registry
// file leaves out exactly what the rows seed again.
#pragma once

#include <string>
#include <vector>

#include "machine_image/machine_image_settings.h"
#include "machine_image/machine_image_snapshot.h"
#include "machine_image/reg_file.h"

namespace cvl::image {

// Adds the devices in row order (each with its driver key under the name
// the row gives, a disabled device already switched off), then the services.
void SeedDevicesAndServices(const MachineSettings &settings, sim::SimulatedPlatform &machine);

// The rows for the devices and services `loaded` lists, as `snapshot`
// holds them now: a device whose instance key is gone, and a service whose
// key lost what a row would seed, lose their row.
void ReadBackRows(const MachineSnapshot &snapshot, const MachineSettings &loaded,
                  std::vector<DeviceRow> &devices, std::vector<ServiceRow> &services);

// The registry file for `machine`: its keys without the values that
// `seeded` (a fresh machine holding only the seeded rows) holds alike, and
// without the keys that leaves empty and the rows make anyway. Fails when
// the rows would add a key or value the machine does not hold, as loading
// could not take it away again.
bool RegistryBesideRows(const MachineSnapshot &machine, const MachineSnapshot &seeded,
                        std::vector<RegFileKey> &keys, std::string &error);

}  // namespace cvl::image

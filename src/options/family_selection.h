// The families the command line's family switches select, in the orders
// the actions walk them.
#pragma once

#include <span>
#include <vector>

#include "common/family_code.h"
#include "options/install_options.h"

namespace cvl {

// True when a switch of the per-family group is given; the legacy group
// ("/b701", "/b702", "/b703") runs the older flows.
bool AnyPerFamilySwitch(const InstallOptions &options);

// True when "/vdevq2dp" is given and one of `families` carries the virtual
// device.
bool VirtualDeviceRidesWith(const InstallOptions &options, std::span<const DeviceFamily> families);

// The per-family switches, in the order "/vistab701", "/vistab703",
// "/vistab760", "/vistab761", "/vistab762", "/vistab76x".
std::vector<DeviceFamily> SelectedPerFamilyFamilies(const InstallOptions &options);

// The family "/b701" stands for: the B703 family with "/b703", else the PCI
// family.
DeviceFamily LegacyPciFamily(const InstallOptions &options);

// The legacy switches: "/b701" (see LegacyPciFamily), then "/b702" (the
// PCI-Express family).
std::vector<DeviceFamily> SelectedLegacyFamilies(const InstallOptions &options);

// The families switched on again after an install: the legacy ones, then
// "/vistab703" before "/vistab701", then the USB families.
std::vector<DeviceFamily> FamiliesToEnable(const InstallOptions &options);

}  // namespace cvl

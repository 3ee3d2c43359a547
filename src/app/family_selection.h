// The families the command line's family switches select, in the orders
// the actions walk them.
#pragma once

#include <vector>

#include "app/install_options.h"
#include "common/family_code.h"

namespace cvl {

// The per-family switches, in the order "/vistab701", "/vistab703",
// "/vistab760", "/vistab761", "/vistab762", "/vistab76x".
std::vector<DeviceFamily> SelectedPerFamilyFamilies(const InstallOptions &options);

// The legacy switches: "/b701" (the B703 family with "/b703", else the PCI
// family), then "/b702" (the PCI-Express family).
std::vector<DeviceFamily> SelectedLegacyFamilies(const InstallOptions &options);

// The families switched on again after an install: the legacy ones, then
// "/vistab703" before "/vistab701", then the USB families.
std::vector<DeviceFamily> FamiliesToEnable(const InstallOptions &options);

}  // namespace cvl

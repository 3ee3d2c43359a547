// What the uninstall needs to know about the adapters it removes: whether
// one of a family is still installed, and which INF files they run.
#pragma once

#include <cstdint>

#include "common/family_code.h"
#include "options/install_options.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

enum FamilyAdapterLookup : int {
    FamilyAdapterAbsent = 0,  // no present device of the family, or none with a driver key
    FamilyAdapterInstalled = 1,
    FamilyAdapterUnknown = 2,  // the device list could not be opened
};

// Looks at the first present device that matches the family and answers
// whether its driver key opens.
FamilyAdapterLookup LookUpFamilyAdapter(Platform &platform, RunState &state, DeviceFamily family);

// True when the first present device of the family has a driver key; false
// otherwise, also when the device list could not be opened.
bool IsFamilyAdapterInstalled(Platform &platform, RunState &state, DeviceFamily family);

// Deletes the INF (and PNF) of every present adapter of the first selected
// family, or the INF the install recorded when none is present. Returns 0
// only when the device list could not be opened.
int RemoveAdapterInfFiles(Platform &platform, RunState &state, const InstallOptions &options);

}  // namespace cvl

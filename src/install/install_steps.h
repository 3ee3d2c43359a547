// The steps both install flows take the same way: the package paths, the
// INF copy into the driver store, the re-enumeration and the device update.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/family_code.h"
#include "install/driver_package.h"
#include "install/hardware_id_list.h"
#include "options/install_options.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

// What the device updates of one install did. `switchedOff` holds the
// hardware ids whose update succeeded, in order, each once: their adapters
// were switched off and wait to be switched on when the install ends.
// `anyFailed` is set by an update that failed for another reason than
// having no device to update or finding a newer driver in place.
struct DeviceUpdates {
    std::vector<std::u16string> switchedOff;
    bool anyFailed = false;
};

// Reads the program's own path (512 characters). False when it cannot.
bool ReadProgramPath(Platform &platform, std::u16string &ownPath);

// The virtual-device INF beside the package INF: `infPath` up to and with its
// last backslash, then "Cvlhvdev.inf".
std::u16string VdevInfPathOf(std::u16string_view infPath);

// Adds `sourceDir` to the system's installation sources and records it as
// "SourcePath" of the family.
void RegisterInstallSource(Platform &platform, std::u16string_view sourceDir, DeviceFamily family);

// Copies an INF into the driver store and records the name it got as
// "InfName" under `selector`. `mediaLocation` may be null. True on success.
bool CopyInfToStore(Platform &platform, RunState &state, const std::u16string &infPath,
                    const char16_t *mediaLocation, DeviceFamily selector);

// Updates every present device with `hardwareId` to the INF's driver and
// switches the updated adapters off until the install is over. Logs the
// outcome and records it in `updates`; true when the update succeeded.
bool UpdateDevicesWithId(Platform &platform, RunState &state, const char16_t *hardwareId,
                         const std::u16string &infPath, DeviceUpdates &updates);

// Runs the device update for every entry of the list; true when at least one
// succeeded.
bool UpdateDevicesOfList(Platform &platform, RunState &state, const HardwareIdList &ids,
                         const std::u16string &infPath, DeviceUpdates &updates);

// Updates the three virtual-function ids with the virtual-device INF. False
// when their list could not be allocated.
bool UpdateVirtualFunctions(Platform &platform, RunState &state, const std::u16string &vdevInfPath,
                            DeviceUpdates &updates);

// Switches on again every adapter an update of this run switched off that
// is still off.
void EnableUpdatedAdapters(Platform &platform, RunState &state, const DeviceUpdates &updates);

}  // namespace cvl

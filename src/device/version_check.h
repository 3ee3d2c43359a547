// Comparing the driver an adapter runs with the package's, and writing the
// adapter parameters of the command line into its driver key.
#pragma once

#include <optional>
#include <string_view>

#include "common/family_code.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

// Which adapters get the parameters written.
enum class ParameterTargets {
    PackageVersionOnly,  // after an install: an adapter on another version fails the pass
    AnyVersion,          // the set-parameters action: whatever version the adapter runs
};

// True when every matching adapter took the parameters and every write
// succeeded (also when none matched); false when the device list could not
// be opened, an adapter runs another version or a write failed.
bool CheckDriverSetParameters(Platform &platform, RunState &state, DeviceFamily family,
                              ParameterTargets targets);

enum class InstallNeed {
    NoAdapter,  // no adapter of the family was found
    NotNeeded,  // the adapters run the package version, or a newer one is kept
    Needed,     // an adapter runs another version, or its version cannot be read
};

// `keepNewerDriver`: an adapter that runs a version newer than the package's
// ("/KeepNewDrv") does not need the install.
InstallNeed CheckDriverInstallNeeded(Platform &platform, RunState &state, DeviceFamily family,
                                     bool keepNewerDriver);

// Compares hexadecimal components in the order first, second, fourth, third.
bool IsPackageVersionNewer(std::u16string_view packageVersion, std::u16string_view adapterVersion);

// The "PnPCapabilities" word of a "wol_setting" value, if it has one.
std::optional<DWORD> WakeOnLanCapabilities(std::u16string_view setting);

}  // namespace cvl

// Comparing the driver an adapter runs with the package's, and writing the
// adapter parameters of the command line into its driver key.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/install_options.h"
#include "common/run_state.h"
#include "platform/platform.h"

namespace cvl {

// 1 when every matching adapter runs the package version and every
// parameter write succeeded (also when none matched); 0 otherwise. The
// set-parameters action writes whatever version the adapter runs.
int CheckDriverSetParameters(Platform &platform, RunState &state, std::uint8_t family,
                             const InstallOptions &options);

// 0 when no adapter of the family was found, 1 when the driver need not be
// installed, 2 when it must be.
int CheckDriverInstallNeeded(Platform &platform, RunState &state, std::uint8_t family,
                             const InstallOptions &options);

// Compares hexadecimal components in the order first, second, fourth, third.
bool IsPackageVersionNewer(std::u16string_view packageVersion, std::u16string_view adapterVersion);

// The "PnPCapabilities" word of a "wol_setting" value, if it has one.
std::optional<DWORD> WakeOnLanCapabilities(std::u16string_view setting);

}  // namespace cvl

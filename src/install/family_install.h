// The install flow of the per-family drivers ("/vistab701" ... "/vistab76x").
#pragma once

#include "common/exit_code.h"
#include "install/install_steps.h"
#include "options/install_options.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

// Installs the package that "/f" names for the first selected family, or
// with "/q" only records its version. `updates` receives the hardware ids
// whose adapters were updated (and switched off), and whether an update
// failed, which ends the install with DeviceUpdateFailed.
ExitCode InstallFamilyDriver(Platform &platform, RunState &state, const InstallOptions &options,
                             DeviceUpdates &updates);

// "%windir%\OPTIONS\INSTALL", where Windows 98 and Me keep their setup files
// (260 characters); empty when the Windows folder cannot be read.
std::u16string WindowsOptionsInstallPath(Platform &platform);

// Windows 98 finds the B760 adapter's driver by itself once its old device
// entry is gone and the setup files are its search location.
void PrepareWindows98Search(Platform &platform, RunState &state);

}  // namespace cvl

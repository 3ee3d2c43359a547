// The install flow of the two older PCI families ("/b701", "/b702").
#pragma once

#include "common/exit_code.h"
#include "install/install_steps.h"
#include "options/install_options.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

// Installs the PCI ("/b701") or PCI-Express ("/b702") package, or with "/q"
// only records its version. `updates` as for the per-family install.
ExitCode InstallLegacyPciDriver(Platform &platform, RunState &state, const InstallOptions &options,
                                DeviceUpdates &updates);

}  // namespace cvl

// The two uninstall flows: the legacy PCI families ("/b701", "/b702") and
// the per-family drivers. Each removes the selected families' adapters and
// what their packages left behind; no step's failure stops a flow.
#pragma once

#include "app/install_options.h"
#include "common/run_state.h"
#include "platform/platform.h"

namespace cvl {

enum UninstallResult : int {
    UninstallDone = 0,
    UninstallNothingToRemove = 8,
    UninstallOutOfMemory = 10,
};

UninstallResult UninstallLegacyPciFamilies(Platform &platform, RunState &state,
                                           const InstallOptions &options);

UninstallResult UninstallPerFamily(Platform &platform, RunState &state,
                                   const InstallOptions &options);

}  // namespace cvl

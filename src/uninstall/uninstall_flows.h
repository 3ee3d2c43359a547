// The two uninstall flows: the legacy PCI families ("/b701", "/b702") and
// the per-family drivers. Each removes the selected families' adapters and
// what their packages left behind; no step's failure stops a flow. A flow
// ends with Success, NothingToDo (no family, or an empty id list) or
// OutOfMemory (no memory for its id list or path buffer).
#pragma once

#include "common/exit_code.h"
#include "options/install_options.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

ExitCode UninstallLegacyPciFamilies(Platform &platform, RunState &state,
                                    const InstallOptions &options);

ExitCode UninstallPerFamily(Platform &platform, RunState &state, const InstallOptions &options);

}  // namespace cvl

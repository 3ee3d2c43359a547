// The command line: blank-separated, case-insensitive switches, no quoting.
#pragma once

#include <string>

#include "options/install_options.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

// Splits and lower-cases `text` in place, fills `options` (reset first) and
// the run's process-wide lists. True when the command line is acceptable.
// Writes no log and no message.
bool ParseCommandLine(Platform &platform, std::u16string &text, InstallOptions &options,
                      RunState &state);

// Resets the lists to their starting contents (done by ParseCommandLine).
void ResetCommandLineLists(RunState &state);

}  // namespace cvl

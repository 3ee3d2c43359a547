// The command line: blank-separated, case-insensitive switches, no quoting.
#pragma once

#include <string>

#include "app/install_options.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

// Splits and lower-cases `text` in place, fills `options` (reset first) and
// the run's process-wide lists. True when the command line is acceptable.
// Writes no log and no message.
bool ParseCommandLine(Platform &platform, std::u16string &text, InstallOptions &options,
                      RunState &state);

// Fills the first N slots of OemHardwareIds from the complete OEM entries.
void BuildOemHardwareIds(RunState &state);
// Fills the first N slots of CheckHardwareIds from the complete check entries.
void BuildCheckHardwareIds(RunState &state);

// The texts every slot holds before the builders run.
inline constexpr char16_t kEmptyPciHardwareId[] = u"PCI\\VEN_0000&DEV_0000&SUBSYS_00000000";
inline constexpr char16_t kInitialQueryDeviceId[] =
    u"PCI\\VEN_0000&DEV_0000&SUBSYS_00000000&REV_00";

// Resets the lists to their starting contents (done by ParseCommandLine).
void ResetCommandLineLists(RunState &state);

}  // namespace cvl

// The hardware ids built from the command line's id fragments.
#pragma once

#include "run/run_state.h"

namespace cvl {

// Fills the first N slots of OemHardwareIds from the complete OEM entries.
void BuildOemHardwareIds(RunState &state);
// Fills the first N slots of CheckHardwareIds from the complete check entries.
void BuildCheckHardwareIds(RunState &state);

}  // namespace cvl

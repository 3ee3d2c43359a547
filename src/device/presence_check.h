// Whether an adapter is present: first among the network adapters with a
// driver, then among the hardware ids of every present device.
#pragma once

#include "app/install_options.h"
#include "common/run_state.h"
#include "platform/platform.h"

namespace cvl {

// 1 when an adapter was found, 0 otherwise. The device query matches
// QueryDeviceId; every other action uses CheckHardwareIds and the constant
// lists. Lower-cases the CheckHardwareIds it looks at, in place.
int ChkNicExist(Platform &platform, RunState &state, const InstallOptions &options);

}  // namespace cvl

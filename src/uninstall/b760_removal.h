// Finding and removing the oldest USB adapter (B760), whose removal depends
// on its INF and driver service rather than on a hardware-id list.
#pragma once

#include <cstdint>
#include <string>

#include "common/family_code.h"
#include "options/install_options.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

// Finds the first device, present or not, that carries the B760 id. On
// Windows Me it is removed and the result is false. Elsewhere, when it was
// installed from a published OEM INF and one of the driver services chosen
// by "/x86" and "/x64" is found, `infBaseName` receives the INF's name
// without extension (lower case), `driverImagePath` the service's image
// path, the removal is requested and the result is true.
bool RemoveB760Adapter(Platform &platform, RunState &state, const InstallOptions &options,
                       DeviceFamily family, std::u16string &infBaseName,
                       std::u16string &driverImagePath);

}  // namespace cvl

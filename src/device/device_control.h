// Switching network adapters off and on through the class installer's
// property-change request. None of these reports what it found.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/install_options.h"
#include "common/run_state.h"
#include "platform/platform.h"

namespace cvl {

// `enable`: 1 enables; 0 disables. Any non-zero value takes the adapters
// that are not started, but only 1 sends DICS_ENABLE.
int SetFamilyAdaptersState(Platform &platform, RunState &state, std::uint8_t family, int enable);

// Enables every family the options select, then waits 2000 ms.
int EnableSelectedFamilies(Platform &platform, RunState &state, const InstallOptions &options);

// Changes every adapter whose NetCfgInstanceId equals `idText`, or whose
// ComponentId begins with its first 21 characters.
int SetAdapterStateById(Platform &platform, RunState &state, std::u16string_view idText,
                        int enable);

}  // namespace cvl

// Writing the command line's adapter parameters, retried while the adapters
// are not ready for them.
#pragma once

#include <span>

#include "common/family_code.h"
#include "device/version_check.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

// Up to 10 passes over `families`. A pass succeeds only when every family in
// it succeeded; success waits 1000 ms and ends, failure waits 2000 ms. A
// pass without families keeps the previous pass's answer.
void RetryParameterWrites(Platform &platform, RunState &state, ParameterTargets targets,
                          std::span<const DeviceFamily> families);

}  // namespace cvl

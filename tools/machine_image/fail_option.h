// The host runner's failures, as a technician writes them:
// "OPERATION[:N[:ERROR]]", the Win32 name of a platform operation, which of
// its calls fails (every call when N is left out) and with what (the first
// error the operation is documented to give when ERROR is left out).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/sim/simulated_platform.h"

namespace cvl::image {

bool ParseFailOption(std::string_view text, sim::FaultRule &rule, std::string &error);

// A count of calls, from 1 on, in decimal.
bool ParseCallCount(std::string_view text, std::uint64_t &count);

}  // namespace cvl::image

// How far the running program may get: every call it makes is counted, and a
// machine told to stop after a number of calls refuses every later one, as a
// process that was killed or a machine that lost power would.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/platform_operation.h"

namespace cvl::sim {

struct CallBudget {
    std::uint64_t calls = 0;                 // every call of every operation so far
    std::optional<std::uint64_t> stopAfter;  // the count after which nothing happens
    bool powerLoss = false;                  // else the process is killed there
    bool tracing = false;
    std::vector<PlatformOperation> trace;  // each call's operation while tracing

    bool Exhausted() const { return stopAfter && calls > *stopAfter; }
    // Past a power loss nothing happens at all, not even what the system
    // does for a process that ends.
    bool PowerLost() const { return powerLoss && Exhausted(); }
};

}  // namespace cvl::sim

// The platform calls of a run, counted by the part of the system they reach.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/sim/simulated_platform.h"

namespace cvl::benchmark {

enum class CallGroup { Registry, Devices, DriverStore, Files, Other };
inline constexpr std::size_t kCallGroupCount = 5;
inline constexpr std::array<std::string_view, kCallGroupCount> kCallGroupNames{
    "registry", "devices", "inf+store", "files", "other"};

// Registry: Reg*; devices: SetupDi*, CM_*, UpdateDriverForPlugAndPlayDevicesW;
// INF reading and the driver store: the other Setup* calls; files: the file,
// find and folder calls; other: processes, handles, services, the clock.
CallGroup GroupOf(PlatformOperation operation);

using CallCounts = std::array<std::uint64_t, kPlatformOperationCount>;

CallCounts CountsOf(const sim::SimulatedPlatform &machine);

// The calls made between two counts, summed by group.
std::array<std::uint64_t, kCallGroupCount> CallsByGroup(const CallCounts &before,
                                                        const CallCounts &after);

}  // namespace cvl::benchmark

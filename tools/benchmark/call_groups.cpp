#include "benchmark/call_groups.h"

namespace cvl::benchmark {
namespace {

constexpr std::array<std::string_view, 13> kFileCalls{
    "GetTempPathW",       "GetWindowsDirectoryW", "GetSystemDirectoryW", "GetCurrentDirectoryW",
    "CopyFileW",          "CreateFileW",          "WriteFile",           "DeleteFileW",
    "SetFileAttributesW", "GetFileAttributesW",   "FindFirstFileW",      "FindNextFileW",
    "FindClose"};

bool IsFileCall(std::string_view name) {
    for (const std::string_view candidate : kFileCalls)
        if (candidate == name) return true;
    return false;
}

}  // namespace

CallGroup GroupOf(PlatformOperation operation) {
    const std::string_view name = PlatformOperationName(operation);
    if (name.starts_with("Reg")) return CallGroup::Registry;
    if (name.starts_with("SetupDi") || name.starts_with("CM_") ||
        name == "UpdateDriverForPlugAndPlayDevicesW")
        return CallGroup::Devices;
    if (name.starts_with("Setup")) return CallGroup::DriverStore;
    if (IsFileCall(name)) return CallGroup::Files;
    return CallGroup::Other;
}

CallCounts CountsOf(const sim::SimulatedPlatform &machine) {
    CallCounts counts{};
    for (std::size_t index = 0; index < kPlatformOperationCount; ++index)
        counts[index] = machine.Setup().CallCount(static_cast<PlatformOperation>(index));
    return counts;
}

std::array<std::uint64_t, kCallGroupCount> CallsByGroup(const CallCounts &before,
                                                        const CallCounts &after) {
    std::array<std::uint64_t, kCallGroupCount> groups{};
    for (std::size_t index = 0; index < kPlatformOperationCount; ++index)
        groups[static_cast<std::size_t>(GroupOf(static_cast<PlatformOperation>(index)))] +=
            after[index] - before[index];
    return groups;
}

}  // namespace cvl::benchmark

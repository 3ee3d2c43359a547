// The state behind SimulatedPlatform: what a Windows machine stores, in the
// shape Windows stores it, and the bookkeeping of the handles that the
// running program holds. Only the files of platform/sim/ see it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/sim/sim_device_tree.h"
#include "platform/sim/sim_driver_store.h"
#include "platform/sim/sim_file_system.h"
#include "platform/sim/sim_handle_table.h"
#include "platform/sim/sim_inf_file.h"
#include "platform/sim/sim_paths.h"
#include "platform/sim/sim_process_table.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {

// --- Faults -----------------------------------------------------------------

struct FaultState {
    FaultRule rule;
    std::uint32_t seen = 0;
};

// The machine and what the current run holds of it.
struct SimulatedPlatform::Machine {
    Machine();

    DWORD lastError = ERROR_SUCCESS;
    VersionReport version;

    // Message box, clock, device tree.
    int messageBoxAnswer = IDOK;
    std::vector<MessageBoxRecord> messageBoxes;
    DWORD ticks = 0;
    std::vector<DWORD> sleeps;
    bool wow64 = false;

    // Faults and call counts.
    std::vector<FaultState> faults;
    std::array<std::uint32_t, kPlatformOperationCount> callCounts{};

    HandleTable handles;
    LocalMemory memory;
    Registry registry{handles, version};
    FileSystem files{handles};
    ProcessTable processes{files, handles};
    DeviceTree devices{registry, handles};
    DriverStore store{files, handles};

    // --- Faults, last error, handles (simulated_platform.cpp) ----------------
    // Counts the call and answers the injected error when a rule fires.
    std::optional<DWORD> Injected(PlatformOperation operation);
    BOOL FailWith(DWORD error);
    // Sets the last error and answers a call's failure result.
    template <typename T>
    T Fail(DWORD error, T result) {
        lastError = error;
        return result;
    }
    // Closes one handle with the effects of closing it (delete-on-close).
    void Close(const void *handle);
};

}  // namespace cvl::sim

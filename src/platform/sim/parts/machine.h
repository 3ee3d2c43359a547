// The parts behind SimulatedPlatform, each with its own state: the system
// report, clock and message box; the handle table and local memory; the
// registry; the file system; the processes; the device tree; the driver
// store. A part that needs another is given it when it is made, and only
// that one. The platform's calls go through the faults and the last error
// kept here. Only the files of platform/sim/ see it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/sim/parts/call_budget.h"
#include "platform/sim/parts/device_tree.h"
#include "platform/sim/parts/driver_store.h"
#include "platform/sim/parts/file_system.h"
#include "platform/sim/parts/handle_table.h"
#include "platform/sim/parts/process_table.h"
#include "platform/sim/parts/registry.h"
#include "platform/sim/parts/registry_paths.h"
#include "platform/sim/parts/system_state.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {

struct FaultState {
    FaultRule rule;
    std::uint32_t seen = 0;
};

struct SimulatedPlatform::Machine {
    // A fresh machine's keys: SOFTWARE, the Enum, Services and network
    // class keys, and the user's Software key.
    Machine();

    DWORD lastError = ERROR_SUCCESS;

    // Faults and call counts.
    std::vector<FaultState> faults;
    std::array<std::uint32_t, kPlatformOperationCount> callCounts{};
    CallBudget budget;

    // In the order they are made: each part is made after those it uses.
    SystemState system;
    HandleTable handles;
    LocalMemory memory;
    Registry registry{handles, system.Version()};
    RegistryPaths registryPaths{registry};
    FileSystem files{handles, system};
    ProcessTable processes{files, handles};
    DeviceTree devices{registry, handles};
    DriverStore store{files, handles};

    // Counts the call and answers the injected error when a rule fires, or
    // the stopped machine's error once the budget is spent.
    std::optional<DWORD> Injected(PlatformOperation operation);
    // Tells the file system whether the power is gone, after the budget
    // changed: past a power loss no pending delete takes effect.
    void BudgetChanged() { files.SetPowerLost(budget.PowerLost()); }
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

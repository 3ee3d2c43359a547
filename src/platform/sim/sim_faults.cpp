// Chosen failures of single calls, and the count of every call.
#include <cstddef>

#include "platform/sim/sim_machine.h"

namespace cvl::sim {

std::optional<DWORD> SimulatedPlatform::Machine::Injected(PlatformOperation operation) {
    ++callCounts[static_cast<std::size_t>(operation)];
    std::optional<DWORD> fired;
    for (auto &fault : faults) {
        if (fault.rule.operation != operation) continue;
        ++fault.seen;
        if (fired || fault.rule.remaining == 0) continue;
        if (fault.rule.nth == 0 || fault.seen == fault.rule.nth) {
            --fault.rule.remaining;
            fired = fault.rule.error;
        }
    }
    return fired;
}

void SimulatedMachineSetup::Fail(PlatformOperation operation, DWORD error, std::uint32_t nth) {
    FaultRule rule;
    rule.operation = operation;
    rule.error = error;
    rule.nth = nth;
    Fail(rule);
}

void SimulatedMachineSetup::Fail(FaultRule rule) {
    platform_.machine_->faults.push_back(FaultState{rule, 0});
}

void SimulatedMachineSetup::ClearFaults() {
    platform_.machine_->faults.clear();
}

std::uint32_t SimulatedMachineSetup::CallCount(PlatformOperation operation) const {
    return platform_.machine_->callCounts[static_cast<std::size_t>(operation)];
}

}  // namespace cvl::sim

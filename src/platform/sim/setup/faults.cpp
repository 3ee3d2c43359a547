// Chosen failures of single calls, call counts and the trace of the calls,
// as a test asks for them and reads them back.
#include <cstddef>
#include "platform/sim/parts/machine.h"

namespace cvl::sim {

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

std::uint64_t SimulatedMachineSetup::PlatformCallCount() const {
    return platform_.machine_->budget.calls;
}

void SimulatedMachineSetup::TraceCalls() {
    platform_.machine_->budget.tracing = true;
    platform_.machine_->budget.trace.clear();
}

const std::vector<PlatformOperation> &SimulatedMachineSetup::CallTrace() const {
    return platform_.machine_->budget.trace;
}

}  // namespace cvl::sim

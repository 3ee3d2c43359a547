// Chosen failures of single calls, the count of every call, and the stop of
// an interrupted run.
#include <cstddef>

#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

// What a call of a stopped machine answers: the device-tree calls speak in
// CONFIGRET codes, every other call in Win32 errors.
DWORD StoppedError(PlatformOperation operation) {
    return PlatformOperationName(operation).starts_with("CM_") ? CR_FAILURE : ERROR_NOT_READY;
}

}  // namespace

std::optional<DWORD> SimulatedPlatform::Machine::Injected(PlatformOperation operation) {
    ++callCounts[static_cast<std::size_t>(operation)];
    ++budget.calls;
    if (budget.tracing) budget.trace.push_back(operation);
    BudgetChanged();
    if (budget.Exhausted()) return StoppedError(operation);
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

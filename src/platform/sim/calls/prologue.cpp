// The chosen failure of single calls, the count of every call, and the stop
// of an interrupted run: what every platform call meets first.
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

}  // namespace cvl::sim

// The chosen failure of single calls, the count of every call, and the stop
// of an interrupted run: what every platform call meets first.
#include <cstddef>

#include "platform/sim/calls/call_prologues.h"
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

// Every public operation, made from the operation list and its row in
// call_prologues.h: the prologue, then the call's work in Do<Name>.
#define CVL_SIM_UNWRAP(...) __VA_ARGS__
#define CVL_SIM_APPLY(macro, ...) macro(__VA_ARGS__)
#define CVL_SIM_CALL(Result, Name, Parameters, Kind, Arguments, OnFault) \
    CVL_SIM_CALL_##Kind(Result, Name, Parameters, Arguments, OnFault)
#define CVL_SIM_CALL_PROLOGUE(Result, Name, Parameters, Arguments, OnFault)   \
    Result SimulatedPlatform::Name Parameters {                               \
        if (const auto error = machine_->Injected(PlatformOperation::Name)) { \
            CVL_SIM_UNWRAP OnFault                                            \
        }                                                                     \
        return Do##Name Arguments;                                            \
    }
#define CVL_SIM_CALL_COUNT_ONLY(Result, Name, Parameters, Arguments, OnFault) \
    Result SimulatedPlatform::Name Parameters {                               \
        machine_->Injected(PlatformOperation::Name);                          \
        return Do##Name Arguments;                                            \
    }
#define CVL_SIM_CALL_BY_HAND(Result, Name, Parameters, Arguments, OnFault)
#define CVL_PLATFORM_OPERATION(Result, Name, Parameters, Library) \
    CVL_SIM_APPLY(CVL_SIM_CALL, Result, Name, Parameters, CVL_SIM_CALL_##Name)
#include "platform/platform_operations.def"

}  // namespace cvl::sim

// The last error of the running program.
#include "platform/sim/parts/machine.h"

namespace cvl::sim {

DWORD SimulatedPlatform::GetLastError() {
    return machine_->lastError;
}

void SimulatedPlatform::SetLastError(DWORD error) {
    machine_->lastError = error;
}

}  // namespace cvl::sim

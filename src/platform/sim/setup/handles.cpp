// What a run still holds: open handles and local memory.
#include "platform/sim/parts/machine.h"

namespace cvl::sim {

std::size_t SimulatedMachineSetup::OpenHandleCount() const {
    return platform_.machine_->handles.Count();
}

std::size_t SimulatedMachineSetup::OpenHandleCount(HandleKind kind) const {
    return platform_.machine_->handles.Count(kind);
}

std::size_t SimulatedMachineSetup::OutstandingAllocations() const {
    return platform_.machine_->memory.Count();
}

}  // namespace cvl::sim

// The facade: a machine of fresh parts, seeded and read back through its
// setup interface.
#include "platform/sim/simulated_platform.h"

#include "platform/sim/parts/machine.h"

namespace cvl::sim {

SimulatedPlatform::SimulatedPlatform()
    : machine_(std::make_unique<Machine>()), setup_(*this, machine_->registry) {}

SimulatedPlatform::~SimulatedPlatform() = default;

}  // namespace cvl::sim

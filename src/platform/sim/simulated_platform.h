// A Windows machine in memory, behind the same interface as the real one.
// The logic runs against its platform calls; tests and tools seed it and
// read back what changed through Setup().
#pragma once

#include <cstdint>
#include <memory>

#include "platform/platform.h"
#include "platform/platform_operation.h"
#include "platform/sim/setup/simulated_machine_setup.h"
#include "platform/sim/setup/simulated_machine_types.h"

namespace cvl::sim {

class SimulatedPlatform : public Platform {
public:
    SimulatedPlatform();
    ~SimulatedPlatform() override;

    // Seeding the machine and reading it back.
    SimulatedMachineSetup &Setup() { return setup_; }
    const SimulatedMachineSetup &Setup() const { return setup_; }

    // --- Platform ---------------------------------------------------------
#define CVL_PLATFORM_OPERATION(Result, Name, Parameters, Library) Result Name Parameters override;
#include "platform/platform_operations.def"

private:
    friend class SimulatedMachineSetup;

    // Each operation's work, run once its prologue (calls/prologue.cpp) let
    // the call through; calls/ holds them. The operations written by hand
    // (BY_HAND in calls/call_prologues.h) define no Do<Name>.
#define CVL_PLATFORM_OPERATION(Result, Name, Parameters, Library) Result Do##Name Parameters;
#include "platform/platform_operations.def"

    void EditSourceList(std::u16string_view source, bool add);

    struct Machine;
    std::unique_ptr<Machine> machine_;
    SimulatedMachineSetup setup_;
};

}  // namespace cvl::sim

// One machine of a fleet preview: a capture folder loaded onto its own fresh
// simulated machine, the command line run there, and what a fleet report
// shows of it. The machine itself is gone when RunFleetMachine returns; only
// the run's report stays.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "machine_image/machine_image_run.h"

namespace cvl::image {

// How far a machine got: a capture that cannot be loaded, or whose machine
// cannot be read back after the run, has no exit code. In the order the
// totals list them.
enum class FleetStage { kRun, kNotReadBack, kNotLoaded };

// The counts a fleet report puts on each machine's line.
struct FleetRunCounts {
    std::size_t adaptersUpdated = 0;   // devices given a driver ("update")
    std::size_t adaptersSwitched = 0;  // devices disabled, enabled, started or stopped
    std::size_t adaptersRemoved = 0;
    std::size_t registryChanges = 0;  // keys and values added, changed, removed
    std::size_t fileChanges = 0;
};

struct FleetMachine {
    std::string name;  // the capture folder's name, as the file system gives it
    FleetStage stage = FleetStage::kNotLoaded;
    std::string error;  // why the capture was not loaded or read back
    MachineRunReport report;
    FleetRunCounts counts;
};

// What a fleet replays on every machine.
struct FleetCommand {
    std::u16string commandTail;
    RunFaults faults;
};

FleetMachine RunFleetMachine(const std::filesystem::path &capture, const FleetCommand &command,
                             const sim::ProgramEntry &program);

// Each device counts once however often the run touched it.
FleetRunCounts CountRunChanges(const MachineRunReport &report);

// What an exit code of cvlsetup tells a technician, in a few words.
std::string ExitCodeMeaning(DWORD exitCode);

// The outcomes the fleet totals are grouped by: each exit code, then the
// machines without one. Sorted as the totals list them.
struct FleetOutcome {
    FleetStage stage = FleetStage::kRun;
    DWORD exitCode = 0;  // only for kRun

    auto operator<=>(const FleetOutcome &other) const = default;
    static FleetOutcome Of(const FleetMachine &machine);
    std::string Label() const;  // "0 finished", "capture not loaded", ...
};

}  // namespace cvl::image

// One run of a program on a simulated machine, told the way a technician
// wants to read it: the exit code, the install log, the virtual time spent
// waiting, the message boxes, the processes started, the device changes and
// waits in the order they happened, and what changed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl::image {

struct MachineRunReport {
    DWORD exitCode = 0;
    std::u16string logPath;
    std::optional<std::string> installLog;  // none when the run left no log
    DWORD virtualMilliseconds = 0;          // the virtual clock's advance
    std::vector<DWORD> sleeps;
    std::vector<sim::MessageBoxRecord> messageBoxes;
    std::vector<sim::ProcessRecord> processes;
    std::vector<std::string> timeline;  // as SimulatedMachineSetup::Timeline gives it
    std::vector<std::string> changes;   // as DiffSnapshots gives them
    // The platform calls the run made (the started copies' included), up to
    // an interruption.
    std::uint64_t platformCalls = 0;
};

// What a run is made to meet: failing calls (each rule counts the calls of
// its operation from the start of the run) and an interruption after a
// number of calls.
struct RunFaults {
    std::vector<sim::FaultRule> rules;
    std::optional<std::uint64_t> stopAfter;
    sim::Interruption interruption = sim::Interruption::kKill;
};

// Runs `entry` with `commandTail` as the program's first process, then ends
// that process and runs the copies of the program it started (a second
// stage, such as the self-deletion, happens there). `error` is set only when
// the machine could not be read back.
bool RunOnMachine(sim::SimulatedPlatform &machine, std::u16string_view commandTail,
                  const sim::ProgramEntry &entry, MachineRunReport &report, std::string &error,
                  const RunFaults &faults = {});

std::string FormatRunReport(const MachineRunReport &report);

// The install log's lines, without their CR LF or LF ends.
std::vector<std::string> InstallLogLines(std::string_view log);

}  // namespace cvl::image

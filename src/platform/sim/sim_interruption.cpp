// Runs cut short: a killed process and a power loss, and the start after.
#include "platform/sim/sim_machine.h"

namespace cvl::sim {
namespace {

// What Task Manager and TerminateProcess leave as the exit code of a
// killed process.
constexpr DWORD kKilledExitCode = 1;

// A new start comes a while later: the clock moves on, as the tick count a
// run names its temporary files by does on a real machine.
constexpr DWORD kRestartMs = 60000;

// A delete-on-close open or a pending delete lives in the handle, which a
// power loss takes with it: the file stays.
void ForgetPendingDelete(FsNode &node) {
    node.deleteOnClose = false;
    node.deletePending = false;
}

}  // namespace

void SimulatedPlatform::StopAfter(std::uint64_t calls, Interruption how) {
    machine_->budget.stopAfter = machine_->budget.calls + calls;
    machine_->budget.powerLoss = how == Interruption::kPowerLoss;
}

bool SimulatedPlatform::Stopped() const {
    return machine_->budget.Exhausted();
}

void SimulatedPlatform::FinishInterruptedRun(DWORD exitCode, const ProgramEntry &entry) {
    Machine &m = *machine_;
    const bool killedHere = !m.budget.powerLoss && m.budget.Exhausted();
    if (killedHere) {
        // Killed: the system closes what the process held, then the copies
        // it started run on a machine that goes on.
        ProcessState &killed = m.Current();
        if (killed.running) m.EndProcess(killed, kKilledExitCode);
        m.budget.stopAfter.reset();
    }
    FinishRunAndStartChildren(exitCode, entry);
    const bool interrupted = killedHere || m.budget.Exhausted();
    if (m.budget.PowerLost()) {
        for (auto &[value, held] : m.handles)
            if (auto *file = std::get_if<FileObject>(&held.object))
                ForgetPendingDelete(*file->node);
        m.handles.clear();
        for (auto &[id, process] : m.processes) {
            if (process.image) ForgetPendingDelete(*process.image);
            process.image.reset();
            process.hasRun = true;
            if (!process.running || process.external) continue;
            process.running = false;
            process.exitCode = kKilledExitCode;
            if (process.record) {
                m.records[*process.record].running = false;
                m.records[*process.record].exitCode = kKilledExitCode;
            }
        }
    }
    // Whatever the program had not given back went with its process.
    if (interrupted) m.allocations.clear();
    m.budget.stopAfter.reset();
}

void SimulatedPlatform::StartProgramAgain() {
    Machine &m = *machine_;
    const auto path = m.Resolve(m.programPath);
    if (!path) return;
    m.ticks += kRestartMs;
    DWORD id = m.currentProcessId;
    while (m.processes.count(id) != 0) id += 4;
    m.InstallProgram(*path, id);
}

}  // namespace cvl::sim

// Runs cut short: a killed process and a power loss, and the start after.
#include "platform/sim/parts/machine.h"
#include "platform/sim/setup/simulated_machine_setup.h"

namespace cvl::sim {
namespace {

// What Task Manager and TerminateProcess leave as the exit code of a
// killed process.
constexpr DWORD kKilledExitCode = 1;

// A new start comes a while later: the clock moves on, as the tick count a
// run names its temporary files by does on a real machine.
constexpr DWORD kRestartMs = 60000;

}  // namespace

void SimulatedMachineSetup::StopAfter(std::uint64_t calls, Interruption how) {
    SimulatedPlatform::Machine &m = *platform_.machine_;
    m.budget.stopAfter = m.budget.calls + calls;
    m.budget.powerLoss = how == Interruption::kPowerLoss;
    m.BudgetChanged();
}

bool SimulatedMachineSetup::Stopped() const {
    return platform_.machine_->budget.Exhausted();
}

void SimulatedMachineSetup::FinishInterruptedRun(DWORD exitCode, const ProgramEntry &entry) {
    SimulatedPlatform::Machine &m = *platform_.machine_;
    const bool killedHere = !m.budget.powerLoss && m.budget.Exhausted();
    if (killedHere) {
        // Killed: the system closes what the process held, then the copies
        // it started run on a machine that goes on.
        ProcessState &killed = m.processes.Current();
        if (killed.running) m.processes.End(killed, kKilledExitCode);
        m.budget.stopAfter.reset();
        m.BudgetChanged();
    }
    FinishRunAndStartChildren(exitCode, entry);
    const bool interrupted = killedHere || m.budget.Exhausted();
    if (m.budget.PowerLost()) {
        // Handles and images vanish without their effects.
        for (const HandleObject &object : m.handles.RemoveAll())
            if (const auto *file = std::get_if<FileObject>(&object))
                ForgetPendingDelete(*file->node);
        m.processes.LosePower(kKilledExitCode);
    }
    // Whatever the program had not given back went with its process.
    if (interrupted) m.memory.Clear();
    m.budget.stopAfter.reset();
    m.BudgetChanged();
}

void SimulatedMachineSetup::StartProgramAgain() {
    SimulatedPlatform::Machine &m = *platform_.machine_;
    const auto path = m.files.Resolve(m.processes.ProgramPath());
    if (!path) return;
    m.system.Advance(kRestartMs);
    DWORD id = m.processes.CurrentId();
    while (m.processes.Find(id) != nullptr) id += 4;
    m.processes.InstallProgram(*path, id);
}

}  // namespace cvl::sim

// Processes as a test or a machine image seeds them, and the runs, waits and
// exit codes the machine remembers.
#include "platform/command_tail.h"
#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

// The most started copies of the program one finish runs, so that copies
// that keep starting copies still end.
constexpr int kMaxProgramRuns = 64;

}  // namespace

void SimulatedMachineSetup::SetProgram(std::u16string_view modulePath, DWORD processId) {
    if (const auto path = platform_.machine_->files.Resolve(modulePath))
        platform_.machine_->processes.InstallProgram(*path, processId);
}

std::u16string SimulatedMachineSetup::ProgramPath() const {
    return platform_.machine_->processes.ProgramPath();
}

std::string SimulatedMachineSetup::ProgramContents() const {
    return platform_.machine_->processes.ProgramContents();
}

void SimulatedMachineSetup::SetToolExitCode(std::u16string_view imagePath, DWORD exitCode) {
    if (const auto path = platform_.machine_->files.Resolve(imagePath))
        platform_.machine_->processes.SetToolExitCode(*path, exitCode);
}

const std::vector<ProcessRecord> &SimulatedMachineSetup::Processes() const {
    return platform_.machine_->processes.Records();
}

void SimulatedMachineSetup::FinishRunAndStartChildren(DWORD exitCode, const ProgramEntry &entry) {
    SimulatedPlatform::Machine &m = *platform_.machine_;
    ProcessState &finished = m.processes.Current();
    if (finished.running)
        m.processes.End(finished, m.processes.ExitProcessCode().value_or(exitCode));
    for (int run = 0; run < kMaxProgramRuns; ++run) {
        ProcessState *next = m.processes.NextProgramToRun();
        if (next == nullptr || m.budget.PowerLost()) return;
        next->hasRun = true;
        m.processes.MakeCurrent(*next);
        const DWORD code =
            entry ? entry(platform_, std::u16string(CommandTailOf(next->commandLine))) : 0;
        m.processes.End(*next, m.processes.ExitProcessCode().value_or(code));
    }
}

void SimulatedMachineSetup::AddForeignProcess(DWORD processId, bool running) {
    platform_.machine_->processes.AddForeign(processId, running);
}

std::optional<UINT> SimulatedMachineSetup::ExitProcessCode() const {
    return platform_.machine_->processes.ExitProcessCode();
}

DWORD SimulatedMachineSetup::CurrentProcessId() const {
    return platform_.machine_->processes.CurrentId();
}

std::optional<DWORD> SimulatedMachineSetup::ExitCodeOf(DWORD processId) const {
    const ProcessState *found = platform_.machine_->processes.Find(processId);
    if (found == nullptr) return std::nullopt;
    return found->running ? STILL_ACTIVE : found->exitCode;
}

const std::vector<WaitRecord> &SimulatedMachineSetup::Waits() const {
    return platform_.machine_->processes.Waits();
}

}  // namespace cvl::sim

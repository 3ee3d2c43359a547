#include "machine_image/machine_image_run.h"

#include <optional>

#include "common/text.h"
#include "machine_image/machine_image_snapshot.h"

namespace cvl::image {
namespace {

// The names the program gives its install log: "InstallLog.txt" in the
// current directory (or at the root of drive C when that cannot be read),
// "INST.TXT" at the root of the current drive on Windows 98. The run's log
// is the last file of either name that the run opened for writing.
std::optional<std::u16string> InstallLogWritten(const sim::SimulatedPlatform &machine,
                                                std::size_t opensBefore) {
    const std::vector<std::u16string> &opened = machine.Setup().FilesOpenedForWriting();
    for (std::size_t index = opened.size(); index > opensBefore; --index) {
        const std::u16string &path = opened[index - 1];
        const std::u16string_view name = std::u16string_view(path).substr(path.rfind(u'\\') + 1);
        if (sim::SimulatedMachineSetup::SameFileName(name, u"InstallLog.txt") ||
            sim::SimulatedMachineSetup::SameFileName(name, u"INST.TXT")) {
            return path;
        }
    }
    return std::nullopt;
}

template <typename T>
std::vector<T> Since(const std::vector<T> &all, std::size_t start) {
    return {all.begin() + static_cast<std::ptrdiff_t>(start), all.end()};
}

void AppendSection(std::string &text, std::string_view title,
                   const std::vector<std::string> &lines) {
    text += title;
    text += lines.empty() ? ": none\n" : ":\n";
    for (const std::string &line : lines) text += "  " + line + "\n";
}

std::string Quoted(std::u16string_view text) {
    return "\"" + ToUtf8(text) + "\"";
}

}  // namespace

bool RunOnMachine(sim::SimulatedPlatform &machine, std::u16string_view commandTail,
                  const sim::ProgramEntry &entry, MachineRunReport &report, std::string &error,
                  const RunFaults &faults) {
    report = MachineRunReport{};
    MachineSnapshot before;
    if (!TakeSnapshot(machine, before, error)) return false;
    const DWORD startTicks = machine.Setup().Now();
    const std::size_t sleepsBefore = machine.Setup().Sleeps().size();
    const std::size_t boxesBefore = machine.Setup().MessageBoxes().size();
    const std::size_t processesBefore = machine.Setup().Processes().size();
    const std::size_t timelineBefore = machine.Setup().Timeline().size();
    const std::size_t opensBefore = machine.Setup().FilesOpenedForWriting().size();

    // The snapshot reads the machine through its calls: the run's own
    // count, and the faults, start here.
    const std::uint64_t callsBefore = machine.Setup().PlatformCallCount();
    for (const sim::FaultRule &rule : faults.rules) machine.Setup().Fail(rule);
    if (faults.stopAfter) machine.Setup().StopAfter(*faults.stopAfter, faults.interruption);

    DWORD exitCode = entry(machine, std::u16string(commandTail));
    // A process that ends itself ends with the code it gave ExitProcess.
    if (const auto ended = machine.Setup().ExitProcessCode()) exitCode = *ended;
    machine.Setup().FinishInterruptedRun(exitCode, entry);
    report.platformCalls = machine.Setup().PlatformCallCount() - callsBefore;
    if (faults.stopAfter && report.platformCalls > *faults.stopAfter)
        report.platformCalls = *faults.stopAfter;
    machine.Setup().ClearFaults();

    report.exitCode = exitCode;
    report.virtualMilliseconds = machine.Setup().Now() - startTicks;
    report.sleeps = Since(machine.Setup().Sleeps(), sleepsBefore);
    report.messageBoxes = Since(machine.Setup().MessageBoxes(), boxesBefore);
    report.processes = Since(machine.Setup().Processes(), processesBefore);
    report.timeline = Since(machine.Setup().Timeline(), timelineBefore);
    if (const auto logPath = InstallLogWritten(machine, opensBefore)) {
        report.logPath = *logPath;
        report.installLog = machine.Setup().ReadFileContents(*logPath);
    }

    MachineSnapshot after;
    if (!TakeSnapshot(machine, after, error)) return false;
    report.changes = DiffSnapshots(before, after);
    return true;
}

std::vector<std::string> InstallLogLines(std::string_view log) {
    std::vector<std::string> lines;
    while (!log.empty()) {
        const std::size_t end = log.find('\n');
        std::string_view line = log.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        log.remove_prefix(end + 1);
    }
    return lines;
}

std::string FormatRunReport(const MachineRunReport &report) {
    std::string text = "Exit code: " + std::to_string(report.exitCode) + "\n";
    if (report.installLog) {
        AppendSection(text, "Install log " + ToUtf8(report.logPath),
                      InstallLogLines(*report.installLog));
    } else {
        text += "(no install log)\n";
    }

    std::string waits = "Virtual waits: " + std::to_string(report.virtualMilliseconds) + " ms";
    if (!report.sleeps.empty()) {
        waits += " (sleeps:";
        for (const DWORD sleep : report.sleeps) waits += " " + std::to_string(sleep);
        waits += ")";
    }
    text += waits + "\n";
    text += "Platform calls: " + std::to_string(report.platformCalls) + "\n";

    std::vector<std::string> boxes;
    for (const sim::MessageBoxRecord &box : report.messageBoxes)
        boxes.push_back(Quoted(box.text) + " (caption " + Quoted(box.caption) + ")");
    AppendSection(text, "Message boxes", boxes);

    std::vector<std::string> processes;
    for (const sim::ProcessRecord &process : report.processes) {
        std::string line = std::to_string(process.processId) + " " + ToUtf8(process.imagePath) +
                           ", command line " + Quoted(process.commandLine);
        line +=
            process.running ? ", still running" : ", exit code " + std::to_string(process.exitCode);
        processes.push_back(line);
    }
    AppendSection(text, "Processes started", processes);
    AppendSection(text, "Timeline", report.timeline);
    AppendSection(text, "Changes", report.changes);
    return text;
}

}  // namespace cvl::image

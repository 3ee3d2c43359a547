#include "machine_image/machine_image_runner.h"

#include "common/text.h"
#include "machine_image/fleet_run.h"
#include "machine_image/machine_image.h"
#include "machine_image/machine_image_run.h"
#include "machine_image/machine_image_run_json.h"
#include "machine_image/machine_image_text.h"

namespace cvl::image {
namespace {

FleetOptions FleetOptionsOf(const RunnerArguments &parsed) {
    FleetOptions options;
    options.folder = *parsed.fleet;
    options.command = {parsed.commandTail, parsed.faults};
    options.commandLine = ToUtf8(parsed.commandTail);
    options.json = parsed.report == ReportFormat::kJson;
    options.htmlReport = parsed.htmlReport;
    return options;
}

int ExitStatusOf(DWORD exitCode) {
    return exitCode > 255 ? 255 : static_cast<int>(exitCode);
}

}  // namespace

int RunMachineCommand(const RunnerArguments &parsed, const sim::ProgramEntry &program,
                      std::ostream &out, std::ostream &err) {
    if (parsed.fleet) return RunFleet(FleetOptionsOf(parsed), program, out, err);

    std::string error;
    sim::SimulatedPlatform machine;
    MachineSettings settings;
    if (!LoadMachineImage(parsed.machine, machine, settings, error)) {
        err << kRunnerName << ": " << error << "\n";
        return kRunnerImageError;
    }

    MachineRunReport report;
    if (!RunOnMachine(machine, parsed.commandTail, program, report, error, parsed.faults)) {
        err << kRunnerName << ": " << error << "\n";
        return kRunnerReadBackError;
    }
    // The JSON document is printed once the save is done, so that it can say
    // where the machine went; a failed save prints no document.
    if (parsed.report == ReportFormat::kText) out << FormatRunReport(report);
    std::optional<std::string> savedTo;
    if (parsed.save) {
        if (!SaveMachineImage(machine, settings, *parsed.save, error)) {
            err << kRunnerName << ": " << error << "\n";
            return kRunnerSaveError;
        }
        savedTo = HostPathText(*parsed.save);
        if (parsed.report == ReportFormat::kText)
            out << "Saved the changed machine to " << *savedTo << "\n";
    }
    if (parsed.report == ReportFormat::kJson) out << FormatRunReportJson(report, savedTo);
    return ExitStatusOf(report.exitCode);
}

}  // namespace cvl::image

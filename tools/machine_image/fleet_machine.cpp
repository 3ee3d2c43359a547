#include "machine_image/fleet_machine.h"

#include <set>
#include <string_view>

#include "common/exit_code.h"
#include "machine_image/machine_image.h"
#include "machine_image/machine_image_text.h"

namespace cvl::image {
namespace {

// A timeline line is "<event> <instance id>", an update's with " <INF>"
// after the id; instance ids hold no blank (a capture leaves such devices
// out), so the id ends at the first blank after the event.
std::string_view DeviceOfEvent(std::string_view line, std::string_view event) {
    if (!line.starts_with(event) || line.size() <= event.size() + 1 || line[event.size()] != ' ')
        return {};
    const std::string_view rest = line.substr(event.size() + 1);
    return rest.substr(0, rest.find(' '));
}

bool StartsWithAny(std::string_view line, std::initializer_list<std::string_view> prefixes) {
    for (const std::string_view prefix : prefixes)
        if (line.starts_with(prefix)) return true;
    return false;
}

}  // namespace

FleetRunCounts CountRunChanges(const MachineRunReport &report) {
    std::set<std::string_view> updated, switched, removed;
    for (const std::string &line : report.timeline) {
        if (const auto id = DeviceOfEvent(line, "update"); !id.empty()) updated.insert(id);
        for (const std::string_view event : {"disable", "enable", "start", "stop"})
            if (const auto id = DeviceOfEvent(line, event); !id.empty()) switched.insert(id);
        if (const auto id = DeviceOfEvent(line, "remove"); !id.empty()) removed.insert(id);
    }
    FleetRunCounts counts;
    counts.adaptersUpdated = updated.size();
    counts.adaptersSwitched = switched.size();
    counts.adaptersRemoved = removed.size();
    for (const std::string &line : report.changes) {
        if (StartsWithAny(line, {"+ key ", "- key ", "+ value ", "~ value ", "- value "}))
            ++counts.registryChanges;
        else if (StartsWithAny(line, {"+ file ", "~ file ", "- file "}))
            ++counts.fileChanges;
    }
    return counts;
}

FleetMachine RunFleetMachine(const std::filesystem::path &capture, const FleetCommand &command,
                             const sim::ProgramEntry &program) {
    FleetMachine result;
    result.name = HostPathText(capture.filename());
    sim::SimulatedPlatform machine;
    MachineSettings settings;
    if (!LoadMachineImage(capture, machine, settings, result.error)) {
        result.stage = FleetStage::kNotLoaded;
        return result;
    }
    if (!RunOnMachine(machine, command.commandTail, program, result.report, result.error,
                      command.faults)) {
        result.stage = FleetStage::kNotReadBack;
        return result;
    }
    result.stage = FleetStage::kRun;
    result.counts = CountRunChanges(result.report);
    return result;
}

std::string ExitCodeMeaning(DWORD exitCode) {
    switch (static_cast<ExitCode>(exitCode)) {
        case ExitCode::Success:
            return "the action finished";
        case ExitCode::UnsupportedOs:
            return "Windows version not supported";
        case ExitCode::BadCommandLine:
            return "command line rejected";
        case ExitCode::NoAction:
            return "no action switch";
        case ExitCode::NothingToDo:
            return "nothing to do";
        case ExitCode::PackageNotFound:
            return "program path or package INF not found";
        case ExitCode::OutOfMemory:
            return "out of memory";
        case ExitCode::DeviceNotFound:
            return "no device with that id";
        case ExitCode::DriverAlreadyCurrent:
            return "driver already current";
        case ExitCode::DeviceUpdateFailed:
            return "driver update failed";
    }
    return "not a cvlsetup exit code";
}

FleetOutcome FleetOutcome::Of(const FleetMachine &machine) {
    FleetOutcome outcome;
    outcome.stage = machine.stage;
    if (machine.stage == FleetStage::kRun) outcome.exitCode = machine.report.exitCode;
    return outcome;
}

std::string FleetOutcome::Label() const {
    switch (stage) {
        case FleetStage::kNotLoaded:
            return "capture not loaded";
        case FleetStage::kNotReadBack:
            return "machine not read back";
        case FleetStage::kRun:
            break;
    }
    return std::to_string(exitCode) + " " + ExitCodeMeaning(exitCode);
}

}  // namespace cvl::image

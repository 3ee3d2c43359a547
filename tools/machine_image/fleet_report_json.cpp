#include <algorithm>

#include "machine_image/fleet_report.h"
#include "machine_image/json_text.h"
#include "machine_image/machine_image_run_json.h"

namespace cvl::image {
namespace {

// The one-machine document, set in by `indent` so that the whole reads as
// one: its strings hold no line break, so every line can be moved.
std::string Indented(std::string_view document, std::string_view indent) {
    while (document.ends_with('\n')) document.remove_suffix(1);
    std::string text;
    std::size_t start = 0;
    while (start <= document.size()) {
        const std::size_t end = std::min(document.find('\n', start), document.size());
        if (start != 0) text += std::string("\n") + std::string(indent);
        text.append(document.substr(start, end - start));
        start = end + 1;
    }
    return text;
}

std::string Number(std::size_t value) {
    return std::to_string(value);
}

std::string OutcomeMembers(const FleetOutcome &outcome) {
    return "\"outcome\": " + JsonString(outcome.Label()) + ", \"exitCode\": " +
           (outcome.stage == FleetStage::kRun ? std::to_string(outcome.exitCode) : "null");
}

}  // namespace

std::string FleetJsonHeading(const FleetHeading &heading) {
    return "{\n  \"fleet\": " + JsonString(heading.folder) +
           ",\n  \"commandLine\": " + JsonString(heading.commandLine) +
           ",\n  \"machineCount\": " + Number(heading.machineCount) + ",\n  \"machines\": [";
}

std::string FleetJsonMachine(const FleetMachine &machine) {
    const bool run = machine.stage == FleetStage::kRun;
    const FleetOutcome outcome = FleetOutcome::Of(machine);
    const FleetRunCounts &counts = machine.counts;
    std::string text = "\n    {\n      \"name\": " + JsonString(machine.name) + ",\n      " +
                       OutcomeMembers(outcome) + ",\n      \"meaning\": " +
                       (run ? JsonString(ExitCodeMeaning(outcome.exitCode)) : "null") +
                       ",\n      \"error\": " + (run ? "null" : JsonString(machine.error)) + ",\n";
    text += "      \"adaptersUpdated\": " + Number(counts.adaptersUpdated) +
            ", \"adaptersSwitched\": " + Number(counts.adaptersSwitched) +
            ", \"adaptersRemoved\": " + Number(counts.adaptersRemoved) +
            ", \"registryChanges\": " + Number(counts.registryChanges) +
            ", \"fileChanges\": " + Number(counts.fileChanges) + ",\n";
    text += "      \"report\": " +
            (run ? Indented(FormatRunReportJson(machine.report, std::nullopt), "      ")
                 : std::string("null"));
    return text + "\n    }";
}

std::string_view FleetJsonSeparator() {
    return ",";
}

std::string FleetJsonTotals(const FleetTotals &totals) {
    std::string text = totals.machineCount == 0 ? "],\n" : "\n  ],\n";
    text += "  \"totals\": [";
    std::size_t index = 0;
    for (const auto &[outcome, count] : totals.machines) {
        text += index++ == 0 ? "\n" : ",\n";
        text += "    {" + OutcomeMembers(outcome) + ", \"machines\": " + Number(count) + "}";
    }
    text += totals.machines.empty() ? "]\n" : "\n  ]\n";
    return text + "}\n";
}

}  // namespace cvl::image

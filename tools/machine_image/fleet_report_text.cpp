#include <cstdio>

#include "common/text.h"
#include "machine_image/fleet_report.h"

namespace cvl::image {
namespace {

std::size_t CharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (const char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}

std::string CountsText(const FleetRunCounts &counts) {
    return "updated " + std::to_string(counts.adaptersUpdated) + ", switched " +
           std::to_string(counts.adaptersSwitched) + ", removed " +
           std::to_string(counts.adaptersRemoved) + ", registry " +
           std::to_string(counts.registryChanges) + ", files " + std::to_string(counts.fileChanges);
}

}  // namespace

std::string PrintableLine(std::string_view text) {
    // Through UTF-16 and back: bytes that are not UTF-8 become U+FFFD.
    const std::string utf8 = ToUtf8(FromUtf8(text));
    std::string line;
    line.reserve(utf8.size());
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            line += escape;
        } else {
            line += c;
        }
    }
    return line;
}

std::size_t PrintableWidth(std::string_view name) {
    return CharacterCount(PrintableLine(name));
}

std::string FleetTextHeading(const FleetHeading &heading) {
    return "Fleet " + PrintableLine(heading.folder) + ": " + std::to_string(heading.machineCount) +
           (heading.machineCount == 1 ? " machine" : " machines") + ", each running " +
           PrintableLine(heading.commandLine) + "\n\n";
}

std::string FleetTextMachine(const FleetMachine &machine, std::size_t nameWidth) {
    std::string line = PrintableLine(machine.name);
    const std::size_t shown = PrintableWidth(machine.name);
    line.append(shown < nameWidth ? nameWidth - shown : 0, ' ');
    line += "  ";
    const FleetOutcome outcome = FleetOutcome::Of(machine);
    if (machine.stage == FleetStage::kRun) {
        line += "exit " + std::to_string(outcome.exitCode) + " (" +
                ExitCodeMeaning(outcome.exitCode) + "): " + CountsText(machine.counts);
    } else {
        line += outcome.Label() + ": " + PrintableLine(machine.error);
    }
    return line + "\n";
}

std::string FleetTextTotals(const FleetTotals &totals) {
    std::string text = "\nTotals:\n";
    for (const auto &[outcome, count] : totals.machines)
        text += "  " + outcome.Label() + ": " + std::to_string(count) + "\n";
    if (totals.machines.empty()) text += "  none\n";
    return text;
}

}  // namespace cvl::image

#include "machine_image/machine_image_run_json.h"

#include "machine_image/json_text.h"

namespace cvl::image {
namespace {

// Arrays and objects one member a line, so that a person can read the
// document too and a diff of two documents shows what differs.
template <typename Item, typename Format>
std::string JsonArray(const std::vector<Item> &items, Format format, std::string_view indent) {
    if (items.empty()) return "[]";
    std::string text = "[\n";
    for (std::size_t index = 0; index < items.size(); ++index) {
        text += std::string(indent) + "  " + format(items[index]);
        text += index + 1 < items.size() ? ",\n" : "\n";
    }
    return text + std::string(indent) + "]";
}

std::string QuotedLine(const std::string &line) {
    return JsonString(line);
}

std::string Member(std::string_view name, const std::string &value, bool last = false) {
    return "  \"" + std::string(name) + "\": " + value + (last ? "\n" : ",\n");
}

std::string InstallLogJson(const MachineRunReport &report) {
    if (!report.installLog) return "null";
    return "{\"path\": " + JsonString(report.logPath) +
           ", \"lines\": " + JsonArray(InstallLogLines(*report.installLog), QuotedLine, "  ") + "}";
}

std::string MessageBoxJson(const sim::MessageBoxRecord &box) {
    return "{\"text\": " + JsonString(box.text) + ", \"caption\": " + JsonString(box.caption) +
           ", \"type\": " + std::to_string(box.type) + "}";
}

std::string ProcessJson(const sim::ProcessRecord &process) {
    return "{\"processId\": " + std::to_string(process.processId) +
           ", \"imagePath\": " + JsonString(process.imagePath) +
           ", \"commandLine\": " + JsonString(process.commandLine) +
           ", \"running\": " + (process.running ? "true" : "false") +
           ", \"exitCode\": " + (process.running ? "null" : std::to_string(process.exitCode)) + "}";
}

}  // namespace

std::string FormatRunReportJson(const MachineRunReport &report,
                                const std::optional<std::string> &savedTo) {
    const auto number = [](DWORD value) { return std::to_string(value); };
    std::string text = "{\n";
    text += Member("exitCode", number(report.exitCode));
    text += Member("installLog", InstallLogJson(report));
    text += Member("virtualMilliseconds", number(report.virtualMilliseconds));
    text += Member("platformCalls", std::to_string(report.platformCalls));
    text += Member("sleeps", JsonArray(report.sleeps, number, "  "));
    text += Member("messageBoxes", JsonArray(report.messageBoxes, MessageBoxJson, "  "));
    text += Member("processes", JsonArray(report.processes, ProcessJson, "  "));
    text += Member("timeline", JsonArray(report.timeline, QuotedLine, "  "));
    text += Member("changes", JsonArray(report.changes, QuotedLine, "  "));
    text += Member("savedTo", savedTo ? JsonString(*savedTo) : "null", true);
    return text + "}\n";
}

}  // namespace cvl::image

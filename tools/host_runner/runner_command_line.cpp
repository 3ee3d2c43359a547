#include "host_runner/runner_command_line.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "common/text.h"
#include "machine_image/fail_option.h"
#include "machine_image/machine_image_text.h"

namespace cvl::runner {
namespace fs = std::filesystem;
namespace {

fs::path Resolved(const fs::path &path) {
    std::error_code failure;
    fs::path resolved = fs::weakly_canonical(fs::absolute(path), failure);
    if (failure) resolved = fs::absolute(path).lexically_normal();
    if (!resolved.has_filename()) resolved = resolved.parent_path();
    return resolved;
}

bool IsSameOrInside(const fs::path &inner, const fs::path &outer) {
    const fs::path relative = inner.lexically_relative(outer);
    return !relative.empty() && *relative.begin() != "..";
}

// Saving replaces the target folder whole: into the input image, or into a
// folder that holds it, would write over the input.
bool SaveTouchesInput(const fs::path &machine, const fs::path &save) {
    const fs::path input = Resolved(machine);
    const fs::path output = Resolved(save);
    return IsSameOrInside(output, input) || IsSameOrInside(input, output);
}

bool TakeOptionValue(const std::vector<std::string> &arguments, std::size_t &index,
                     std::optional<fs::path> &value, std::string &error) {
    const std::string &option = arguments[index];
    if (value) {
        error = option + " is given twice";
        return false;
    }
    if (++index >= arguments.size() || arguments[index].empty()) {
        error = option + " needs a folder";
        return false;
    }
    value = image::HostPathFromUtf8(arguments[index]);
    return true;
}

bool TakeReportFormat(const std::vector<std::string> &arguments, std::size_t &index,
                      std::optional<image::ReportFormat> &format,
                      std::optional<fs::path> &htmlReport, std::string &error) {
    const std::string value = ++index < arguments.size() ? arguments[index] : "";
    if (value == "html") {
        if (htmlReport) {
            error = "--report html is given twice";
            return false;
        }
        if (++index >= arguments.size() || arguments[index].empty()) {
            error = "--report html needs a file";
            return false;
        }
        htmlReport = image::HostPathFromUtf8(arguments[index]);
        return true;
    }
    if (format) {
        error = "--report is given twice";
        return false;
    }
    if (value == "text") {
        format = image::ReportFormat::kText;
    } else if (value == "json") {
        format = image::ReportFormat::kJson;
    } else {
        error = "--report needs text or json, or html FILE";
        return false;
    }
    return true;
}

bool TakeFault(const std::vector<std::string> &arguments, std::size_t &index,
               image::RunFaults &faults, std::string &error) {
    if (++index >= arguments.size()) {
        error = "--fail needs OPERATION[:N[:ERROR]]";
        return false;
    }
    sim::FaultRule rule;
    if (!image::ParseFailOption(arguments[index], rule, error)) return false;
    faults.rules.push_back(rule);
    return true;
}

bool TakeStop(const std::vector<std::string> &arguments, std::size_t &index,
              image::RunFaults &faults, std::string &error) {
    const std::string &option = arguments[index];
    if (faults.stopAfter) {
        error = "--stop-after and --power-loss-after are given more than once";
        return false;
    }
    std::uint64_t calls = 0;
    if (++index >= arguments.size() || !image::ParseCallCount(arguments[index], calls)) {
        error = option + " needs a number of calls from 1 on";
        return false;
    }
    faults.stopAfter = calls;
    faults.interruption =
        option == "--power-loss-after" ? sim::Interruption::kPowerLoss : sim::Interruption::kKill;
    return true;
}

}  // namespace

bool ParseRunnerArguments(const std::vector<std::string> &arguments, image::RunnerArguments &parsed,
                          std::string &error) {
    parsed = image::RunnerArguments{};
    std::optional<fs::path> machine;
    std::optional<image::ReportFormat> report;
    std::size_t index = 0;
    for (; index < arguments.size(); ++index) {
        const std::string &argument = arguments[index];
        if (argument == "--machine") {
            if (!TakeOptionValue(arguments, index, machine, error)) return false;
        } else if (argument == "--save") {
            if (!TakeOptionValue(arguments, index, parsed.save, error)) return false;
        } else if (argument == "--fleet") {
            if (!TakeOptionValue(arguments, index, parsed.fleet, error)) return false;
        } else if (argument == "--report") {
            if (!TakeReportFormat(arguments, index, report, parsed.htmlReport, error)) return false;
        } else if (argument == "--fail") {
            if (!TakeFault(arguments, index, parsed.faults, error)) return false;
        } else if (argument == "--stop-after" || argument == "--power-loss-after") {
            if (!TakeStop(arguments, index, parsed.faults, error)) return false;
        } else if (argument == "--") {
            ++index;
            break;
        } else if (argument.starts_with("--")) {
            error = "unknown option " + argument;
            return false;
        } else {
            break;
        }
    }
    if (machine && parsed.fleet) {
        error = "--machine and --fleet cannot be given together";
        return false;
    }
    if (!machine && !parsed.fleet) {
        error = "--machine is missing (or --fleet for a folder of captures)";
        return false;
    }
    if (parsed.fleet && parsed.save) {
        error = "--save takes one machine: it cannot be given with --fleet";
        return false;
    }
    if (parsed.htmlReport && !parsed.fleet) {
        error = "--report html is a fleet report: it needs --fleet";
        return false;
    }
    if (machine) parsed.machine = *machine;
    parsed.report = report.value_or(image::ReportFormat::kText);
    if (parsed.save && SaveTouchesInput(parsed.machine, *parsed.save)) {
        error = "--save must name a folder apart from the input image";
        return false;
    }
    std::string tail;
    for (std::size_t switchIndex = index; switchIndex < arguments.size(); ++switchIndex) {
        if (switchIndex != index) tail += ' ';
        tail += arguments[switchIndex];
    }
    parsed.commandTail = FromUtf8(tail);
    return true;
}

int RunHostCommand(const std::vector<std::string> &arguments, const sim::ProgramEntry &program,
                   std::ostream &out, std::ostream &err) {
    image::RunnerArguments parsed;
    std::string error;
    if (!ParseRunnerArguments(arguments, parsed, error)) {
        err << image::kRunnerName << ": " << error << "\nusage: " << image::kRunnerName
            << kRunnerUsage << "\n";
        return kRunnerUsageError;
    }
    return image::RunMachineCommand(parsed, program, out, err);
}

}  // namespace cvl::runner

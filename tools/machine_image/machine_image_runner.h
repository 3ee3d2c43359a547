// The host runner's command: run a cvlsetup command line, switches untouched,
// against a machine image folder, print what happened and what changed, and
// optionally save the changed machine as a new image.
//
//   cvlsetup-host --machine DIR [--save OUT_DIR] [--report text|json]
//                 [--fail OPERATION[:N[:ERROR]]]... [--stop-after K |
//                 --power-loss-after K] [--] <cvlsetup switches...>
//   cvlsetup-host --fleet FOLDER [--report text|json] [--report html FILE]
//                 [--fail ...]... [--stop-after K | --power-loss-after K] [--] <switches...>
//
// `--fleet` runs the command line against every capture in FOLDER, each on
// a machine of its own, with one report (fleet_run.h, which also gives the
// fleet run's exit status).
//
// `--fail` makes the N-th call of a platform operation (every call without
// N) fail with ERROR (fail_option.h); `--stop-after K` kills the program after
// K platform calls, `--power-loss-after K` cuts the power there. The report
// says how many platform calls the run made.
//
// The report is text by default; `--report json` prints it as one JSON
// document (machine_image_run_json.h) and nothing else on standard output.
//
// Exit status: the program's exit code (above 255 it shows as 255); 64 for a
// wrong runner command line, 65 for a machine image with a mistake, 70 when
// the machine could not be read back, 73 when the changed machine could not
// be saved. The input image is never written.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "machine_image/machine_image_run.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {

inline constexpr int kRunnerUsageError = 64;
inline constexpr int kRunnerImageError = 65;
inline constexpr int kRunnerReadBackError = 70;
inline constexpr int kRunnerSaveError = 73;

// The runner's name in its messages: the Windows build is cvlpreview.exe.
#ifdef _WIN32
inline constexpr std::string_view kRunnerName = "cvlpreview.exe";
#else
inline constexpr std::string_view kRunnerName = "cvlsetup-host";
#endif

// The usage line after "usage: " and the runner's name.
inline constexpr std::string_view kRunnerUsage =
    " --machine DIR [--save OUT_DIR] [--report text|json] "
    "[--fail OPERATION[:N[:ERROR]]]... [--stop-after K | --power-loss-after K] [--] "
    "<cvlsetup switches...>\n"
    "       cvlsetup-host --fleet FOLDER [--report text|json] [--report html FILE] "
    "[--fail ...]... [--stop-after K | --power-loss-after K] [--] <cvlsetup switches...>";

enum class ReportFormat { kText, kJson };

struct RunnerArguments {
    std::filesystem::path machine;
    std::optional<std::filesystem::path> fleet;       // a folder of captures instead
    std::optional<std::filesystem::path> htmlReport;  // with --fleet
    std::optional<std::filesystem::path> save;
    ReportFormat report = ReportFormat::kText;
    std::u16string commandTail;  // the switches joined with single blanks
    RunFaults faults;
};

// `arguments` leaves out the runner's own name.
bool ParseRunnerArguments(const std::vector<std::string> &arguments, RunnerArguments &parsed,
                          std::string &error);

// The whole command; `program` is what runs as the program and as every copy
// of it that a run starts.
int RunHostCommand(const std::vector<std::string> &arguments, const ProgramEntry &program,
                   std::ostream &out, std::ostream &err);

}  // namespace cvl::sim

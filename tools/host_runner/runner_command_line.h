// The host runner's command line: run a cvlsetup command line, switches
// untouched, against a machine image folder, print what happened and what
// changed, and optionally save the changed machine as a new image.
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
// Exit status: 64 for a wrong runner command line; otherwise that of the run
// (machine_image_runner.h). The input image is never written.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "machine_image/machine_image_runner.h"

namespace cvl::runner {

inline constexpr int kRunnerUsageError = 64;

// The usage line after "usage: " and the runner's name.
inline constexpr std::string_view kRunnerUsage =
    " --machine DIR [--save OUT_DIR] [--report text|json] "
    "[--fail OPERATION[:N[:ERROR]]]... [--stop-after K | --power-loss-after K] [--] "
    "<cvlsetup switches...>\n"
    "       cvlsetup-host --fleet FOLDER [--report text|json] [--report html FILE] "
    "[--fail ...]... [--stop-after K | --power-loss-after K] [--] <cvlsetup switches...>";

// `arguments` leaves out the runner's own name.
bool ParseRunnerArguments(const std::vector<std::string> &arguments, image::RunnerArguments &parsed,
                          std::string &error);

// The whole command; `program` is what runs as the program and as every copy
// of it that a run starts.
int RunHostCommand(const std::vector<std::string> &arguments, const sim::ProgramEntry &program,
                   std::ostream &out, std::ostream &err);

}  // namespace cvl::runner

// A fleet preview: the same command line run against every capture in a
// folder, each on its own fresh simulated machine, with one report.
//
//   cvlsetup-host --fleet FOLDER [--report text|json] [--report html FILE]
//                 [--fail ...]... [--stop-after K | --power-loss-after K] [--] <switches...>
//
// Every folder one level below FOLDER is a capture; a folder that cannot be
// loaded is a row that says why. The machines run side by side, one a
// processor: each worker takes the next capture, loads it, runs it, makes the
// machine's parts of the reports and frees the machine, so a fleet of any
// size holds a few machines at a time. The parts are written in the order of
// the folders' names as soon as each next one is done: the report is the same
// byte for byte whatever the number of workers.
//
// The text or JSON report goes to standard output; `--report html FILE` also
// writes the page to FILE (through FILE.partial, renamed over it at the end).
//
// Exit status: 0 when every capture was loaded and every run ended with 0 or
// 12 (success for a deployment system); 1 when every capture was loaded but
// some run would end with another code; 65 when some capture could not be
// loaded or its machine not read back after the run; 66 when FOLDER cannot be
// read or holds no folder; 73 when the HTML page could not be written.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "machine_image/fleet_machine.h"
#include "machine_image/machine_image_runner.h"

namespace cvl::image {

inline constexpr int kFleetAllSucceeded = 0;
inline constexpr int kFleetSomeRunFailed = 1;
// A capture not loaded and a page not written are what one machine's run
// reports with the same codes, so a caller reads them alike for both.
inline constexpr int kFleetSomeCaptureUnread = kRunnerImageError;
inline constexpr int kFleetNoCaptures = 66;
inline constexpr int kFleetReportNotWritten = kRunnerSaveError;

struct FleetOptions {
    std::filesystem::path folder;
    FleetCommand command;
    std::string commandLine;  // the switches as the report shows them
    bool json = false;        // the report on standard output
    std::optional<std::filesystem::path> htmlReport;
    std::size_t workers = 0;  // 0: one a processor
};

// The folders one level below `folder`, in the order of their names.
bool ListCaptures(const std::filesystem::path &folder, std::vector<std::filesystem::path> &captures,
                  std::string &error);

int RunFleet(const FleetOptions &options, const sim::ProgramEntry &program, std::ostream &out,
             std::ostream &err);

}  // namespace cvl::image

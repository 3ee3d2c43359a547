// The host runner's run of one command: a cvlsetup command line, switches
// untouched, against a machine image folder (or every capture of a fleet
// folder), with the report of what happened and what changed and, for one
// machine, the changed machine saved as a new image. The command line that
// asks for it is read in tools/host_runner (runner_command_line.h).
//
// Exit status: the program's exit code (above 255 it shows as 255); 65 for a
// machine image with a mistake, 70 when the machine could not be read back,
// 73 when the changed machine could not be saved; a fleet's as fleet_run.h
// says. The input image is never written.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "machine_image/machine_image_run.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::image {

inline constexpr int kRunnerImageError = 65;
inline constexpr int kRunnerReadBackError = 70;
inline constexpr int kRunnerSaveError = 73;

// The runner's name in its messages: the Windows build is cvlpreview.exe.
#ifdef _WIN32
inline constexpr std::string_view kRunnerName = "cvlpreview.exe";
#else
inline constexpr std::string_view kRunnerName = "cvlsetup-host";
#endif

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

// Runs what a valid command line asked for; `program` is what runs as the
// program and as every copy of it that a run starts.
int RunMachineCommand(const RunnerArguments &parsed, const sim::ProgramEntry &program,
                      std::ostream &out, std::ostream &err);

}  // namespace cvl::image

// The host runner's failures and interruptions: a technician replays a
// customer's failing call, or cuts a run short, on a machine image.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/run_installer.h"
#include "host_runner/runner_command_line.h"
#include "machine_image/fail_option.h"
#include "machine_image/machine_image_run.h"
#include "tools/host_runner_testing.h"

namespace cvl::image {
namespace {

using test::ScratchFolder;

using test::CommandResult;
using test::Contains;

CommandResult RunOnDemo(std::vector<std::string> options, const std::string &switches) {
    ScratchFolder scratch;
    std::vector<std::string> arguments = {"--machine", test::CopyOfDemo(scratch).string()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back("--");
    std::istringstream words(switches);
    for (std::string word; words >> word;) arguments.push_back(word);
    return test::RunCommand(arguments);
}

// The text after "Platform calls: " in a text report.
std::uint64_t PlatformCallsOf(const std::string &report) {
    const std::size_t at = report.find("Platform calls: ");
    if (at == std::string::npos) return 0;
    return std::stoull(report.substr(at + 16));
}

std::string ChangesOf(const std::string &report) {
    const std::size_t at = report.find("Changes:");
    return at == std::string::npos ? "" : report.substr(at);
}

TEST(FailOption, ReadsTheOperationTheCallAndTheError) {
    struct Case {
        std::string text;
        PlatformOperation operation;
        std::uint32_t nth;
        DWORD error;
        std::uint32_t remaining;
    };
    const Case cases[] = {
        {"RegOpenKeyExW", sim::Op::RegOpenKeyExW, 0, ERROR_ACCESS_DENIED, 0xFFFFFFFFu},
        {"DeleteFileW:3", sim::Op::DeleteFileW, 3, ERROR_SHARING_VIOLATION, 1},
        {"CreateFileW:1:ERROR_DISK_FULL", sim::Op::CreateFileW, 1, 112, 1},
        {"LocalAlloc:2:8", sim::Op::LocalAlloc, 2, ERROR_NOT_ENOUGH_MEMORY, 1},
        {"CM_Locate_DevNode_ExW:1:CR_FAILURE", sim::Op::CM_Locate_DevNode_ExW, 1, CR_FAILURE, 1},
        {"UpdateDriverForPlugAndPlayDevicesW:1:0xE000020B",
         sim::Op::UpdateDriverForPlugAndPlayDevicesW, 1, ERROR_NO_SUCH_DEVINST, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        sim::FaultRule rule;
        std::string error;
        ASSERT_TRUE(ParseFailOption(c.text, rule, error)) << error;
        EXPECT_EQ(rule.operation, c.operation);
        EXPECT_EQ(rule.nth, c.nth);
        EXPECT_EQ(rule.error, c.error);
        EXPECT_EQ(rule.remaining, c.remaining);
    }
}

TEST(FailOption, RefusesWhatNamesNoFailure) {
    const std::pair<std::string, std::string_view> cases[] = {
        {"RegOpenKeyEx", "names no platform operation"},
        {"regopenkeyexw", "names no platform operation"},
        {"", "names no platform operation"},
        {"Sleep", "cannot fail"},
        {"ExitProcess:1", "cannot fail"},
        {"RegOpenKeyExW:0", "call number from 1 on"},
        {"RegOpenKeyExW:", "call number from 1 on"},
        {"RegOpenKeyExW:x", "call number from 1 on"},
        {"RegOpenKeyExW:1:ERROR_NO_SUCH_THING", "unknown error"},
        {"RegOpenKeyExW:1:0x", "unknown error"},
        {"RegOpenKeyExW:1:", "unknown error"},
    };
    for (const auto &[text, says] : cases) {
        SCOPED_TRACE(text);
        sim::FaultRule rule;
        std::string error;
        EXPECT_FALSE(ParseFailOption(text, rule, error));
        EXPECT_TRUE(Contains(error, says)) << error;
    }
}

TEST(HostRunnerFaults, RefusesWrongFailureAndStopOptions) {
    const std::pair<std::vector<std::string>, std::string_view> cases[] = {
        {{"--fail"}, "--fail needs OPERATION"},
        {{"--fail", "Sleep"}, "cannot fail"},
        {{"--stop-after"}, "--stop-after needs a number of calls"},
        {{"--stop-after", "0"}, "--stop-after needs a number of calls"},
        {{"--power-loss-after", "-3"}, "--power-loss-after needs a number of calls"},
        {{"--stop-after", "4", "--power-loss-after", "5"}, "more than once"},
    };
    for (const auto &[options, says] : cases) {
        SCOPED_TRACE(std::string(says));
        std::vector<std::string> arguments = {"--machine", "m"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        RunnerArguments parsed;
        std::string error;
        EXPECT_FALSE(runner::ParseRunnerArguments(arguments, parsed, error));
        EXPECT_TRUE(Contains(error, says)) << error;
    }
}

// "/dnicdrv /b702" switches the demo machine's adapter off: the count of
// its calls is reported, a failing class installer keeps the adapter on, and
// the run cut short anywhere changes the adapter at most as the whole run
// does.
TEST(HostRunnerFaults, ReplaysAFailureAndCutsTheRunShort) {
    const std::string switches = "/dnicdrv /b702";
    const std::string turnedOff = "~ device PCI\\VEN_1F3A&DEV_B702";
    const CommandResult whole = RunOnDemo({}, switches);
    ASSERT_EQ(whole.status, 0) << whole.err;
    const std::uint64_t calls = PlatformCallsOf(whole.out);
    ASSERT_GT(calls, 3u) << whole.out;
    ASSERT_TRUE(Contains(whole.out, turnedOff)) << whole.out;

    const CommandResult failed = RunOnDemo({"--fail", "SetupDiCallClassInstaller"}, switches);
    EXPECT_EQ(failed.status, 0) << failed.err;
    EXPECT_FALSE(Contains(failed.out, turnedOff)) << failed.out;
    EXPECT_TRUE(Contains(failed.out, "Exit code: = 0")) << failed.out;

    // Killed after its last call, the run did everything; after its first,
    // nothing but the reading of the version.
    const CommandResult atTheEnd = RunOnDemo({"--stop-after", std::to_string(calls)}, switches);
    EXPECT_EQ(ChangesOf(atTheEnd.out), ChangesOf(whole.out));
    EXPECT_EQ(PlatformCallsOf(atTheEnd.out), calls);
    for (const char *how : {"--stop-after", "--power-loss-after"}) {
        SCOPED_TRACE(how);
        const CommandResult early = RunOnDemo({how, "1"}, switches);
        EXPECT_EQ(PlatformCallsOf(early.out), 1u) << early.out;
        EXPECT_TRUE(Contains(early.out, "Changes: none")) << early.out;
    }
    const CommandResult halfway =
        RunOnDemo({"--power-loss-after", std::to_string(calls / 2)}, switches);
    EXPECT_EQ(PlatformCallsOf(halfway.out), calls / 2) << halfway.out;
}

}  // namespace
}  // namespace cvl::image

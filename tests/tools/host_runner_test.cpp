#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/run_installer.h"
#include "common/text.h"
#include "host_runner/runner_command_line.h"
#include "machine_image/machine_image.h"
#include "machine_image/machine_image_run.h"
#include "tools/host_runner_testing.h"
#include "tools/machine_image_testing.h"

namespace cvl::image {
namespace {

namespace fs = std::filesystem;
using test::ScratchFolder;

using test::CommandResult;
using test::Contains;
using test::CopyOfDemo;
using test::kProgram;
using test::RunCommand;

TEST(HostRunnerArguments, ReadsTheOptionsAndKeepsTheSwitchesAsTheyAre) {
    struct Case {
        std::vector<std::string> arguments;
        std::string machine;
        std::string save;
        std::u16string tail;
    };
    const Case cases[] = {
        {{"--machine", "m", "/i", "/vistab701"}, "m", "", u"/i /vistab701"},
        {{"--machine", "m", "--save", "out", "--", "/Q", "/b701"}, "m", "out", u"/Q /b701"},
        {{"--save", "out", "--machine", "m", "--", "--odd", "a  b"}, "m", "out", u"--odd a  b"},
        {{"--machine", "m"}, "m", "", u""},
        {{"--machine", "m", "--", "/nicid", "PCI\\VEN_1\u00e9"},
         "m",
         "",
         u"/nicid PCI\\VEN_1\u00e9"},
    };
    for (const Case &c : cases) {
        RunnerArguments parsed;
        std::string error;
        ASSERT_TRUE(runner::ParseRunnerArguments(c.arguments, parsed, error)) << error;
        EXPECT_EQ(parsed.machine, c.machine);
        EXPECT_EQ(parsed.save.value_or(""), c.save);
        EXPECT_EQ(parsed.commandTail, c.tail);
    }
}

TEST(HostRunnerArguments, RefusesWrongCommandLinesWithUsage) {
    ScratchFolder scratch;
    const std::string image = scratch.WriteSmallImage("image").string();
    const auto scratchBefore = test::FolderContents(scratch.path());
    const std::pair<std::vector<std::string>, std::string_view> cases[] = {
        {{}, "--machine is missing"},
        {{"/i"}, "--machine is missing"},
        {{"--machine"}, "--machine needs a folder"},
        {{"--machine", ""}, "--machine needs a folder"},
        {{"--machine", "a", "--machine", "b"}, "--machine is given twice"},
        {{"--machine", "a", "--save"}, "--save needs a folder"},
        {{"--machine", "a", "--verbose", "/i"}, "unknown option --verbose"},
        {{"--machine", "a", "--report"}, "--report needs text or json"},
        {{"--machine", "a", "--report", "xml"}, "--report needs text or json"},
        {{"--machine", "a", "--report", "json", "--report", "text"}, "--report is given twice"},
        {{"--machine", image, "--save", image}, "apart from the input image"},
        {{"--machine", image, "--save", image + "/"}, "apart from the input image"},
        {{"--machine", image, "--save", image + "/saved"}, "apart from the input image"},
        {{"--machine", image, "--save", scratch.path().string()}, "apart from the input image"},
    };
    for (const auto &[arguments, says] : cases) {
        SCOPED_TRACE(std::string(says));
        const CommandResult result = RunCommand(arguments);
        EXPECT_EQ(result.status, runner::kRunnerUsageError);
        EXPECT_TRUE(Contains(result.err, says)) << result.err;
        EXPECT_TRUE(Contains(result.err, runner::kRunnerUsage)) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(test::FolderContents(scratch.path()), scratchBefore) << "something was written";
}

TEST(HostRunner, RunsTheProgramOnTheDemoMachineAndSavesTheResult) {
    ScratchFolder scratch;
    const fs::path input = CopyOfDemo(scratch);
    const auto inputBefore = test::FolderContents(input);
    const fs::path saved = scratch.path() / "after";

    const CommandResult result =
        RunCommand({"--machine", input.string(), "--save", saved.string(), "--", "/rp"});

    // The same run, straight on a machine loaded from the same image.
    sim::SimulatedPlatform direct;
    std::string error;
    ASSERT_TRUE(LoadMachineImage(input, direct, error)) << error;
    const DWORD directCode = RunInstaller(direct, u"/rp");
    const auto directLog = direct.Setup().ReadFileContents(u"C:\\setup\\InstallLog.txt");
    ASSERT_TRUE(directLog.has_value());

    EXPECT_EQ(result.status, static_cast<int>(directCode)) << result.err;
    EXPECT_TRUE(result.out.starts_with("Exit code: " + std::to_string(directCode) + "\n"))
        << result.out;
    EXPECT_TRUE(Contains(result.out, "Install log C:\\setup\\InstallLog.txt:\n")) << result.out;
    std::istringstream logLines(*directLog);
    for (std::string line; std::getline(logLines, line);) {
        if (line.ends_with('\r')) line.pop_back();
        EXPECT_TRUE(Contains(result.out, "\n  " + line + "\n")) << line;
    }
    EXPECT_TRUE(Contains(result.out, "C:\\Windows\\system32\\pnputil.exe, command line"))
        << result.out;
    EXPECT_TRUE(Contains(result.out, "Changes:\n")) << result.out;
    EXPECT_TRUE(Contains(result.out, "  + file C:\\setup\\InstallLog.txt (")) << result.out;
    EXPECT_TRUE(Contains(result.out, "Saved the changed machine to " + saved.string()))
        << result.out;

    // The input stays as it was; the saved machine holds the run's log.
    EXPECT_EQ(test::FolderContents(input), inputBefore);
    EXPECT_EQ(test::ReadHostFile(saved / "drive_c/setup/InstallLog.txt"), *directLog);
    sim::SimulatedPlatform reloaded;
    ASSERT_TRUE(LoadMachineImage(saved, reloaded, error)) << error;

    // Running against the saved machine sees the first run's changes.
    const CommandResult again = RunCommand({"--machine", saved.string(), "/rp"});
    EXPECT_FALSE(Contains(again.out, "+ file C:\\setup\\InstallLog.txt")) << again.out;
}

TEST(HostRunner, ReportsWaitsBoxesAndTheExitCodeOfTheProgram) {
    ScratchFolder scratch;
    const std::string image = scratch.WriteSmallImage("image").string();
    std::u16string seenTail;
    const sim::ProgramEntry program = [&seenTail](Platform &platform,
                                                  std::u16string tail) -> DWORD {
        seenTail = tail;
        platform.Sleep(1000);
        platform.Sleep(2000);
        platform.MessageBoxW(u"Remove it?", u"Setup", MB_OKCANCEL);
        return tail == u"/big" ? 300 : 11;
    };
    const CommandResult result = RunCommand({"--machine", image, "/a", "b c"}, program);
    EXPECT_EQ(seenTail, u"/a b c");
    EXPECT_EQ(result.status, 11);
    EXPECT_TRUE(Contains(result.out, "Exit code: 11\n(no install log)\n")) << result.out;
    EXPECT_TRUE(Contains(result.out, "Virtual waits: 3000 ms (sleeps: 1000 2000)\n")) << result.out;
    EXPECT_TRUE(Contains(result.out, "Message boxes:\n  \"Remove it?\" (caption \"Setup\")\n"))
        << result.out;
    EXPECT_TRUE(Contains(result.out,
                         "Processes started: none\nTimeline:\n  sleep 1000\n  sleep 2000\n"
                         "Changes: none\n"))
        << result.out;

    const CommandResult big = RunCommand({"--machine", image, "/big"}, program);
    EXPECT_EQ(big.status, 255);
    EXPECT_TRUE(Contains(big.out, "Exit code: 300\n")) << big.out;
}

TEST(HostRunner, RunsTheCopiesTheProgramStartedAfterItEnds) {
    ScratchFolder scratch;
    const std::string image = scratch.WriteSmallImage("image").string();
    // A first stage that copies itself and starts the copy, and a second
    // stage that removes the original: the runner must run the second.
    const sim::ProgramEntry program = [](Platform &platform, std::u16string tail) -> DWORD {
        if (tail == u"second") return platform.DeleteFileW(u"C:\\setup\\cvlsetup.exe") ? 0 : 1;
        platform.CopyFileW(u"C:\\setup\\cvlsetup.exe", u"C:\\Windows\\Temp\\copy.exe", FALSE);
        char16_t commandLine[] = u"C:\\Windows\\Temp\\copy.exe second";
        StartupInfo startup{};
        ProcessInformation process{};
        if (!platform.CreateProcessW(nullptr, commandLine, FALSE, 0, &startup, &process)) return 9;
        platform.CloseHandle(process.hProcess);
        platform.CloseHandle(process.hThread);
        return 0;
    };
    const CommandResult result = RunCommand({"--machine", image, "first"}, program);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(Contains(result.out,
                         "C:\\Windows\\Temp\\copy.exe, command line "
                         "\"C:\\Windows\\Temp\\copy.exe second\", exit code 0\n"))
        << result.out;
    EXPECT_TRUE(Contains(result.out, "  - file C:\\setup\\cvlsetup.exe\n")) << result.out;
    EXPECT_TRUE(Contains(result.out, "  + file C:\\Windows\\Temp\\copy.exe (")) << result.out;
}

TEST(HostRunner, FindsTheWindows98LogAtTheDriveRoot) {
    ScratchFolder scratch;
    const fs::path image = scratch.WriteSmallImage("image");
    std::string settings(test::kSmallSettings);
    settings.replace(settings.find("NT 6.1.7601"), 11, "9x 4.10.2222");
    test::WriteHostFile(image / "machine.txt", settings);

    const CommandResult result = RunCommand({"--machine", image.string(), "/rp"});
    EXPECT_TRUE(Contains(result.out, "Install log C:\\INST.TXT:\n")) << result.out;
    EXPECT_TRUE(Contains(result.out, "  + file C:\\INST.TXT (")) << result.out;
}

// The report shows the log this run wrote, wherever the program put it, and
// never a log an earlier run left behind.
TEST(HostRunner, ReportsTheLogTheRunWroteAndNoOther) {
    sim::SimulatedPlatform machine;
    machine.Setup().SetProgram(u"C:\\setup\\cvlsetup.exe");
    machine.Setup().SetCurrentDirectory(u"C:\\setup");
    machine.Setup().AddFile(u"C:\\setup\\InstallLog.txt", "an earlier run\r\n");
    MachineRunReport report;
    std::string error;

    const sim::ProgramEntry writesNothing = [](Platform &, std::u16string) -> DWORD { return 0; };
    ASSERT_TRUE(RunOnMachine(machine, u"", writesNothing, report, error)) << error;
    EXPECT_EQ(report.installLog, std::nullopt);

    // The program's own fallback when the current directory cannot be read.
    machine.Setup().Fail(sim::Op::GetCurrentDirectoryW, ERROR_ACCESS_DENIED);
    ASSERT_TRUE(RunOnMachine(machine, u"/hwscan", kProgram, report, error)) << error;
    EXPECT_EQ(report.logPath, u"C:\\InstallLog.txt");
    ASSERT_TRUE(report.installLog.has_value());
    EXPECT_TRUE(Contains(*report.installLog, "Scan Hardware Change...")) << *report.installLog;
}

TEST(HostRunner, ImageAndSaveErrorsEndWithTheirOwnStatus) {
    ScratchFolder scratch;
    const fs::path image = scratch.WriteSmallImage("image");
    test::WriteHostFile(scratch.path() / "notes/keep.txt", "keep");

    const CommandResult unsaved = RunCommand(
        {"--machine", image.string(), "--save", (scratch.path() / "notes").string(), "/rp"});
    EXPECT_EQ(unsaved.status, kRunnerSaveError);
    EXPECT_TRUE(Contains(unsaved.err, "not a machine image; nothing was saved")) << unsaved.err;
    EXPECT_EQ(test::FolderContents(scratch.path() / "notes").size(), 1u);

    test::WriteHostFile(image / "machine.txt", std::string(test::kSmallSettings) + "oops\n");
    const CommandResult broken = RunCommand({"--machine", image.string(), "/rp"});
    EXPECT_EQ(broken.status, kRunnerImageError);
    EXPECT_TRUE(Contains(broken.err, (image / "machine.txt").string() + ":6: expected key = value"))
        << broken.err;
    EXPECT_EQ(broken.out, "");
}

}  // namespace
}  // namespace cvl::image

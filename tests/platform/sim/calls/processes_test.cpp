// Starting processes, resolving their executables, waiting for them on the
// virtual clock, and the later runs of started copies of the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl::sim {
namespace {

constexpr char16_t kTemp[] = u"C:\\Users\\user\\AppData\\Local\\Temp\\";

class ProcessesContract : public ::testing::Test {
protected:
    // Starts a command line; on success closes the thread handle and keeps
    // the process handle.
    BOOL Start(const char16_t *applicationName, std::u16string commandLine,
               HANDLE *process = nullptr) {
        StartupInfo startup{68, STARTF_USESHOWWINDOW, SW_HIDE};
        ProcessInformation info{};
        const BOOL started =
            platform.CreateProcessW(applicationName, commandLine.data(), FALSE, 0, &startup, &info);
        if (!started) return FALSE;
        platform.CloseHandle(info.hThread);
        if (process != nullptr) {
            *process = info.hProcess;
        } else {
            platform.CloseHandle(info.hProcess);
        }
        return TRUE;
    }

    SimulatedPlatform sim;
    Platform &platform = sim;
};

TEST_F(ProcessesContract, CommandLinesResolveTheirExecutableTheWayCreateProcessDoes) {
    // Without an application name, CreateProcess takes a quoted first token
    // as the executable, or else tries the text up to each blank in turn,
    // adding ".exe" to a name without one; a bare name is searched for in
    // the program's folder, the current folder and the system folders. With
    // an application name, that file is the executable.
    struct Case {
        const char *rule;
        std::vector<const char16_t *> files;
        const char16_t *applicationName;
        const char16_t *commandLine;
        const char16_t *image;  // null: the start fails with ERROR_FILE_NOT_FOUND
    };
    const Case cases[] = {
        {"blank in an unquoted path starts the shorter name",
         {u"C:\\Program Files\\Tool\\x.exe", u"C:\\Program.exe"},
         nullptr,
         u"C:\\Program Files\\Tool\\x.exe /a",
         u"C:\\Program.exe"},
        {"without the shorter name the full path is found",
         {u"C:\\Program Files\\Tool\\x.exe"},
         nullptr,
         u"C:\\Program Files\\Tool\\x.exe /a",
         u"C:\\Program Files\\Tool\\x.exe"},
        {"quotes keep the blank inside the name",
         {u"C:\\Program Files\\Tool\\x.exe", u"C:\\Program.exe"},
         nullptr,
         u"\"C:\\Program Files\\Tool\\x.exe\" /a",
         u"C:\\Program Files\\Tool\\x.exe"},
        {"an application name is taken as it stands",
         {u"C:\\Program Files\\Tool\\x.exe", u"C:\\Program.exe"},
         u"C:\\Program Files\\Tool\\x.exe",
         u"C:\\Program Files\\Tool\\x.exe /a",
         u"C:\\Program Files\\Tool\\x.exe"},
        {"an application name gets no extension",
         {u"C:\\Tool\\x.exe"},
         u"C:\\Tool\\x",
         u"x /a",
         nullptr},
        {"a missing name and missing prefixes fail", {}, nullptr, u"C:\\none.exe /a", nullptr},
        {"a bare name is found in the system folder",
         {u"C:\\Windows\\system32\\pnputil.exe"},
         nullptr,
         u"pnputil ",
         u"C:\\Windows\\system32\\pnputil.exe"},
        {"a bare name is found beside the program first",
         {u"C:\\Windows\\system32\\helper.exe", u"C:\\setup\\helper.exe"},
         nullptr,
         u"helper",
         u"C:\\setup\\helper.exe"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rule);
        SimulatedPlatform machine;
        for (const char16_t *file : c.files) machine.Setup().AddFile(file, "tool");
        std::u16string commandLine(c.commandLine);
        StartupInfo startup{68, 0, 0};
        ProcessInformation info{};
        const BOOL started = machine.CreateProcessW(c.applicationName, commandLine.data(), FALSE, 0,
                                                    &startup, &info);
        ASSERT_EQ(started != FALSE, c.image != nullptr);
        if (!started) {
            EXPECT_EQ(machine.GetLastError(), ERROR_FILE_NOT_FOUND);
            continue;
        }
        EXPECT_EQ(machine.Setup().Processes().back().imagePath, c.image);
        EXPECT_EQ(machine.Setup().Processes().back().commandLine, c.commandLine);
        machine.CloseHandle(info.hProcess);
        machine.CloseHandle(info.hThread);
    }
}

TEST_F(ProcessesContract, OtherExecutablesEndAtOnceWithTheirExitCode) {
    // A tool runs to its end before anyone waits: the wait is signalled at
    // once and the exit code is the tool's (0 for an unknown one).
    sim.Setup().AddFile(u"C:\\Windows\\system32\\pnputil.exe", "tool");
    sim.Setup().AddFile(u"C:\\other.exe", "other");
    sim.Setup().SetToolExitCode(u"C:\\Windows\\system32\\pnputil.exe", 3010);
    struct Case {
        const char16_t *commandLine;
        DWORD exitCode;
    };
    for (const Case c :
         {Case{u"C:\\Windows\\system32\\pnputil.exe ", 3010}, Case{u"C:\\other.exe", 0}}) {
        HANDLE process = nullptr;
        ASSERT_TRUE(Start(nullptr, c.commandLine, &process));
        const DWORD before = platform.GetTickCount();
        EXPECT_EQ(platform.WaitForSingleObject(process, INFINITE), WAIT_OBJECT_0);
        EXPECT_EQ(platform.GetTickCount(), before);
        DWORD code = 0;
        EXPECT_TRUE(platform.GetExitCodeProcess(process, &code));
        EXPECT_EQ(code, c.exitCode);
        platform.CloseHandle(process);
    }
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 0u);
}

TEST_F(ProcessesContract, AStartedProgramCopyRunsOnlyAfterItsParent) {
    // A copy of the program keeps running while its parent runs: waits time
    // out on the virtual clock, an unlimited wait could never end, and the
    // exit code reads STILL_ACTIVE.
    sim.Setup().AddFile(std::u16string(kTemp) + u"1.exe", sim.Setup().ProgramContents());
    HANDLE process = nullptr;
    ASSERT_TRUE(Start(nullptr, std::u16string(kTemp) + u"1.exe /selfdel 1000 x", &process));
    EXPECT_TRUE(sim.Setup().Processes().back().running);
    const DWORD before = platform.GetTickCount();
    EXPECT_EQ(platform.WaitForSingleObject(process, 2000), WAIT_TIMEOUT);
    EXPECT_EQ(platform.GetTickCount(), before + 2000);
    EXPECT_EQ(platform.WaitForSingleObject(process, INFINITE), WAIT_FAILED);
    EXPECT_EQ(platform.GetLastError(), ERROR_POSSIBLE_DEADLOCK);
    DWORD code = 0;
    EXPECT_TRUE(platform.GetExitCodeProcess(process, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    ASSERT_EQ(sim.Setup().Waits().size(), 2u);
    EXPECT_EQ(sim.Setup().Waits()[0].milliseconds, 2000u);
    platform.CloseHandle(process);
}

TEST_F(ProcessesContract, TheTwoStageSelfDeletionWorksAsOnWindows) {
    // The whole shape of a self-deletion: the parent copies itself, holds
    // the copy with delete-on-close, starts it and ends; the copy then runs
    // as its own process, waits for the parent, deletes the parent's file
    // and ends, and its own file goes with it.
    const std::u16string copy = std::u16string(kTemp) + u"0123456789.exe";
    ASSERT_TRUE(platform.CopyFileW(u"C:\\setup\\cvlsetup.exe", copy.c_str(), TRUE));
    HANDLE held =
        platform.CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                             OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(held, InvalidHandleValue());
    ASSERT_TRUE(Start(nullptr, copy + u" /selfdel 1000 C:\\setup\\cvlsetup.exe"));
    platform.CloseHandle(held);
    // The copy is the image of a process that has not ended yet.
    EXPECT_TRUE(sim.Setup().FileExists(copy));

    std::vector<std::u16string> tails;
    sim.Setup().FinishRunAndStartChildren(0, [&](Platform &child, std::u16string tail) -> DWORD {
        tails.push_back(tail);
        EXPECT_EQ(child.GetCurrentProcessId(), sim.Setup().Processes().front().processId);
        char16_t module[128];
        child.GetModuleFileNameW(module, 128);
        EXPECT_EQ(std::u16string(module), copy);
        // The parent has ended and nobody holds it: it cannot be opened.
        EXPECT_EQ(child.OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, 1000), nullptr);
        EXPECT_TRUE(child.DeleteFileW(u"C:\\setup\\cvlsetup.exe"));
        child.ExitProcess(0);
        return 7;
    });
    ASSERT_EQ(tails.size(), 1u);
    EXPECT_EQ(tails[0], u"/selfdel 1000 C:\\setup\\cvlsetup.exe");
    EXPECT_EQ(sim.Setup().ExitCodeOf(1000), 0u);
    // ExitProcess's code wins over what the entry returned.
    EXPECT_EQ(sim.Setup().Processes().front().exitCode, 0u);
    EXPECT_FALSE(sim.Setup().Processes().front().running);
    EXPECT_FALSE(sim.Setup().FileExists(u"C:\\setup\\cvlsetup.exe"));
    EXPECT_FALSE(sim.Setup().FileExists(copy));
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 0u);
}

TEST_F(ProcessesContract, FinishingARunReleasesWhatItHeldAndPassesTheTail) {
    // Handles left open by a run are closed when it ends; each started copy
    // gets the text after its own name, quoted or not, without the blanks
    // that follow it, and its children run after it.
    sim.Setup().AddFile(u"C:\\setup\\copy one.exe", sim.Setup().ProgramContents());
    HKEY key = nullptr;
    platform.RegOpenKeyExW(HKeyLocalMachine(), u"SOFTWARE", 0, KEY_READ, &key);
    platform.CreateFileW(u"C:\\setup\\left.txt", GENERIC_WRITE, 0, CREATE_ALWAYS,
                         FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_TRUE(Start(u"C:\\setup\\copy one.exe", u"\"C:\\setup\\copy one.exe\"   /first"));
    std::vector<std::u16string> tails;
    sim.Setup().FinishRunAndStartChildren(5, [&](Platform &, std::u16string tail) -> DWORD {
        tails.push_back(tail);
        if (tails.size() == 1) {
            EXPECT_TRUE(Start(nullptr, u"C:\\setup\\cvlsetup.exe \t/second"));
        }
        return static_cast<DWORD>(tails.size());
    });
    EXPECT_EQ(tails, (std::vector<std::u16string>{u"/first", u"/second"}));
    EXPECT_EQ(sim.Setup().ExitCodeOf(1000), 5u);
    EXPECT_EQ(sim.Setup().Processes()[0].exitCode, 1u);
    EXPECT_EQ(sim.Setup().Processes()[1].exitCode, 2u);
    EXPECT_FALSE(sim.Setup().FileExists(u"C:\\setup\\left.txt"));
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 0u);
}

TEST_F(ProcessesContract, TheStartIsRecordedAsPassed) {
    // The record keeps the application name, the command line and the
    // start-up information exactly as the caller gave them.
    sim.Setup().AddFile(u"C:\\Windows\\system32\\pnputil.exe", "tool");
    StartupInfo startup{68, STARTF_USESHOWWINDOW, SW_HIDE};
    ProcessInformation info{};
    std::u16string commandLine = u"C:\\Windows\\system32\\pnputil.exe ";
    ASSERT_TRUE(platform.CreateProcessW(u"C:\\Windows\\system32\\pnputil.exe", commandLine.data(),
                                        FALSE, 0, &startup, &info));
    const ProcessRecord &record = sim.Setup().Processes().back();
    EXPECT_EQ(record.processId, info.dwProcessId);
    EXPECT_EQ(record.applicationName, u"C:\\Windows\\system32\\pnputil.exe");
    EXPECT_EQ(record.commandLine, commandLine);
    EXPECT_EQ(record.startupInfo.cb, 68u);
    EXPECT_EQ(record.startupInfo.dwFlags, STARTF_USESHOWWINDOW);
    EXPECT_EQ(record.startupInfo.wShowWindow, SW_HIDE);
    EXPECT_NE(info.dwProcessId, platform.GetCurrentProcessId());
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 2u);  // the process and its thread
    platform.CloseHandle(info.hProcess);
    platform.CloseHandle(info.hThread);
}

}  // namespace
}  // namespace cvl::sim

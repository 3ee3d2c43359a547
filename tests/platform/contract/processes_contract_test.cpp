// Processes: the start-up record, the process record handed back, waits,
// exit codes and the access a process handle was opened with.
#include <string>

#include "contract_machine.h"

namespace cvl::contract {
namespace {

using ProcessCalls = PlatformContract;

TEST_F(ProcessCalls, AChildStartsEndsAndLeavesItsExitCode) {
    // The child ends at once with a known code; its handles stay usable
    // until closed, and an ended process can still be opened while a
    // handle holds it.
    const ChildProgram child = machine().Child();
    std::u16string commandLine = child.commandLine;
    StartupInfo startup{};
    startup.cb = 0;  // the layer sets the record's own size
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    ProcessInformation started{};
    ASSERT_TRUE(platform.CreateProcessW(child.path.c_str(), commandLine.data(), FALSE, 0, &startup,
                                        &started));
    EXPECT_NE(started.hProcess, nullptr);
    EXPECT_NE(started.hThread, nullptr);
    EXPECT_NE(started.dwProcessId, 0u);
    EXPECT_NE(started.dwProcessId, platform.GetCurrentProcessId());
    EXPECT_EQ(platform.WaitForSingleObject(started.hProcess, 30000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    EXPECT_TRUE(platform.GetExitCodeProcess(started.hProcess, &exitCode));
    EXPECT_EQ(exitCode, child.exitCode);

    // Each right must have been asked for: SYNCHRONIZE to wait, query
    // access to read the exit code.
    HANDLE sync = platform.OpenProcess(SYNCHRONIZE, FALSE, started.dwProcessId);
    ASSERT_NE(sync, nullptr);
    EXPECT_EQ(platform.WaitForSingleObject(sync, 0), WAIT_OBJECT_0);
    EXPECT_FALSE(platform.GetExitCodeProcess(sync, &exitCode));
    EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    HANDLE query = platform.OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, started.dwProcessId);
    ASSERT_NE(query, nullptr);
    EXPECT_EQ(platform.WaitForSingleObject(query, 0), WAIT_FAILED);
    EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(platform.GetExitCodeProcess(query, &exitCode));
    EXPECT_EQ(exitCode, child.exitCode);
    EXPECT_TRUE(platform.CloseHandle(query));
    EXPECT_TRUE(platform.CloseHandle(sync));

    EXPECT_TRUE(platform.CloseHandle(started.hThread));
    EXPECT_TRUE(platform.CloseHandle(started.hProcess));
    EXPECT_FALSE(platform.CloseHandle(started.hProcess));
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(ProcessCalls, AMissingProgramDoesNotStart) {
    std::u16string missing = Path(u"no-such-program.exe");
    StartupInfo startup{};
    ProcessInformation none{};
    platform.SetLastError(0);
    EXPECT_FALSE(
        platform.CreateProcessW(missing.c_str(), missing.data(), FALSE, 0, &startup, &none));
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(ProcessCalls, AnUnknownProcessIdDoesNotOpen) {
    // OpenProcess fails with ERROR_INVALID_PARAMETER for an id no process
    // has (ids are multiples of 4 and this one is far beyond any given).
    EXPECT_EQ(platform.OpenProcess(SYNCHRONIZE, FALSE, 0x7FFFFF00u), nullptr);
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace cvl::contract

// Process calls through the real layer: the start-up record, the process
// record handed back and the exit code of a child.
#include <string>

#include "checks.h"

namespace cvl::probe {

void CheckProcesses(ProbeContext &context) {
    Platform &platform = context.platform;
    Checks &checks = context.checks;

    // The child is this probe again; it ends with its own process id, which
    // must be the id the start reported.
    std::u16string commandLine = u"\"" + context.ownPath + u"\" ";
    for (const char *c = kExitWithPidMode; *c; ++c) commandLine.push_back(char16_t(*c));
    StartupInfo startup{};
    startup.cb = 0;  // the layer sets the target's own size
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    ProcessInformation child{};
    checks.Expect(platform.CreateProcessW(context.ownPath.c_str(), commandLine.data(), FALSE, 0,
                                          &startup, &child) != 0,
                  "start a child");
    checks.Expect(child.hProcess != nullptr && child.hThread != nullptr, "child handles");
    checks.Expect(child.dwProcessId != 0 && child.dwProcessId != platform.GetCurrentProcessId(),
                  "child process id");
    checks.ExpectNumber(platform.WaitForSingleObject(child.hProcess, 30000), WAIT_OBJECT_0,
                        "the child ends");
    DWORD exitCode = 0;
    checks.Expect(platform.GetExitCodeProcess(child.hProcess, &exitCode) != 0, "child exit code");
    checks.ExpectNumber(exitCode, child.dwProcessId, "the child's exit code is its id");

    HANDLE opened =
        platform.OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, child.dwProcessId);
    checks.Expect(opened != nullptr, "open the ended child while a handle holds it");
    if (opened) {
        checks.ExpectNumber(platform.WaitForSingleObject(opened, 0), WAIT_OBJECT_0,
                            "the opened child has ended");
        platform.CloseHandle(opened);
    }
    checks.Expect(platform.CloseHandle(child.hThread) != 0, "close the thread handle");
    checks.Expect(platform.CloseHandle(child.hProcess) != 0, "close the process handle");

    std::u16string missing = context.workDirectory + u"no-such-program.exe";
    ProcessInformation none{};
    platform.SetLastError(0);
    checks.Expect(
        !platform.CreateProcessW(missing.c_str(), missing.data(), FALSE, 0, &startup, &none),
        "a missing program does not start");
    checks.ExpectNumber(platform.GetLastError(), ERROR_FILE_NOT_FOUND,
                        "a missing program does not start, last error");
}

}  // namespace cvl::probe

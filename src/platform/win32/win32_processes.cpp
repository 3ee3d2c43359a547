// Process calls.
#include "platform/win32/win32_platform.h"

#include "platform/win32/ansi_text.h"
#include "platform/win32/library_binding.h"
#include "platform/win32/text_forms.h"
#include "platform/win32/win32_boundary.h"

namespace cvl {

using win32::AnsiArg;
using win32::SameLayout;
using win32::UsesAnsiForms;
using win32::Wide;

namespace {

template <typename Info>
void CopyProcessInformation(const ::PROCESS_INFORMATION &real, Info *info) {
    if (!info) return;
    info->hProcess = real.hProcess;
    info->hThread = real.hThread;
    info->dwProcessId = real.dwProcessId;
    info->dwThreadId = real.dwThreadId;
}

// The record's size is the target's own (68 bytes on 32-bit Windows, 104
// on 64-bit), whatever the caller put in its `cb`.
template <typename RealStartup>
RealStartup StartupOf(const StartupInfo *startupInfo) {
    RealStartup real{};
    real.cb = sizeof(RealStartup);
    if (startupInfo) {
        real.dwFlags = startupInfo->dwFlags;
        real.wShowWindow = startupInfo->wShowWindow;
    }
    return real;
}

}  // namespace

BOOL Win32Platform::CreateProcessW(const char16_t *applicationName, char16_t *commandLine,
                                   BOOL inheritHandles, DWORD creationFlags,
                                   const StartupInfo *startupInfo, ProcessInformation *info) {
    ::PROCESS_INFORMATION realInfo{};
    BOOL started = FALSE;
    if (!UsesAnsiForms()) {
        ::STARTUPINFOW realStartup = StartupOf<::STARTUPINFOW>(startupInfo);
        started = CVL_BOUND_CALL(CreateProcessW, Wide(applicationName), Wide(commandLine), nullptr,
                                 nullptr, inheritHandles, creationFlags, nullptr, nullptr,
                                 &realStartup, &realInfo);
    } else {
        AnsiArg application(applicationName);
        AnsiArg line(commandLine);
        if (!application.held() || !line.held()) return FALSE;
        ::STARTUPINFOA realStartup = StartupOf<::STARTUPINFOA>(startupInfo);
        started = CVL_BOUND_ANSI_CALL(CreateProcessW, application.get(), line.modifiable(), nullptr,
                                      nullptr, inheritHandles, creationFlags, nullptr, nullptr,
                                      &realStartup, &realInfo);
    }
    if (started) CopyProcessInformation(realInfo, info);
    return started;
}

DWORD Win32Platform::WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return ::WaitForSingleObject(handle, milliseconds);
}

BOOL Win32Platform::GetExitCodeProcess(HANDLE process, DWORD *exitCode) {
    return ::GetExitCodeProcess(process, SameLayout<::DWORD>(exitCode));
}

HANDLE Win32Platform::OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId) {
    return ::OpenProcess(access, inheritHandle, processId);
}

DWORD Win32Platform::GetCurrentProcessId() {
    return ::GetCurrentProcessId();
}

BOOL Win32Platform::CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}

void Win32Platform::ExitProcess(UINT exitCode) {
    ::ExitProcess(exitCode);
}

}  // namespace cvl

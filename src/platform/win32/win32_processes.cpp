// Process calls.
#include "platform/win32/win32_platform.h"

#include "platform/win32/win32_boundary.h"

namespace cvl {

using win32::SameLayout;
using win32::Wide;

BOOL Win32Platform::CreateProcessW(const char16_t *applicationName, char16_t *commandLine,
                                   BOOL inheritHandles, DWORD creationFlags,
                                   const StartupInfo *startupInfo, ProcessInformation *info) {
    // The record's size is the target's own (68 bytes on 32-bit Windows, 104
    // on 64-bit), whatever the caller put in its `cb`.
    ::STARTUPINFOW realStartup{};
    realStartup.cb = sizeof(::STARTUPINFOW);
    if (startupInfo) {
        realStartup.dwFlags = startupInfo->dwFlags;
        realStartup.wShowWindow = startupInfo->wShowWindow;
    }
    ::PROCESS_INFORMATION realInfo{};
    BOOL started =
        ::CreateProcessW(Wide(applicationName), Wide(commandLine), nullptr, nullptr, inheritHandles,
                         creationFlags, nullptr, nullptr, &realStartup, &realInfo);
    if (started && info) {
        info->hProcess = realInfo.hProcess;
        info->hThread = realInfo.hThread;
        info->dwProcessId = realInfo.dwProcessId;
        info->dwThreadId = realInfo.dwThreadId;
    }
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

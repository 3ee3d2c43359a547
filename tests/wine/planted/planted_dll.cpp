// A DLL left where the program must never take code from: the program's
// folder, the current or the temporary folder. It exports nothing; when a
// process maps it, it leaves a mark file named after its own path in
// C:\cvl-marks, so a scenario sees every place it was taken from. Copied
// under the name of each library the program loads.
#include <windows.h>

namespace {

constexpr wchar_t kMarkFolder[] = L"C:\\cvl-marks\\";

void LeaveMark(HINSTANCE self) {
    wchar_t own[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(self, own, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    for (DWORD index = 0; index < length; ++index) {
        if (own[index] == L'\\' || own[index] == L':') own[index] = L'_';
    }
    wchar_t mark[2 * MAX_PATH] = {};
    lstrcpyW(mark, kMarkFolder);
    lstrcatW(mark, own);
    CreateDirectoryW(kMarkFolder, nullptr);
    const HANDLE file =
        CreateFileW(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(self);
        LeaveMark(self);
    }
    return TRUE;
}

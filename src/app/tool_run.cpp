#include "app/tool_run.h"

#include <string>
#include <vector>

#include "common/limits.h"
#include "common/little_endian.h"
#include "common/text.h"

namespace cvl {
namespace {

constexpr char16_t kPersistedKey[] =
    u"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility "
    u"Assistant\\Persisted";

}  // namespace

std::optional<DWORD> RunProcessAndWait(Platform &platform, const std::u16string &applicationName,
                                       std::u16string &commandLine) {
    StartupInfo startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    ProcessInformation process{};
    if (!platform.CreateProcessW(applicationName.c_str(), commandLine.data(), FALSE, 0, &startup,
                                 &process))
        return std::nullopt;
    platform.WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    if (!platform.GetExitCodeProcess(process.hProcess, &exitCode)) exitCode = 0;
    platform.CloseHandle(process.hProcess);
    platform.CloseHandle(process.hThread);
    return exitCode;
}

void MarkCompatibilityPersisted(Platform &platform) {
    char16_t modulePath[limits::kLongPathChars] = {};
    const DWORD length = platform.GetModuleFileNameW(modulePath, limits::kLongPathChars);
    // A cut path would name another program's value.
    if (length == 0 || length >= limits::kLongPathChars) return;
    HKEY key = nullptr;
    if (platform.RegCreateKeyExW(HKeyCurrentUser(), kPersistedKey, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, &key, nullptr) != ERROR_SUCCESS)
        return;
    const std::vector<BYTE> handled = LittleEndianBytes(1, sizeof(DWORD));
    platform.RegSetValueExW(key, modulePath, REG_DWORD, handled.data(),
                            static_cast<DWORD>(handled.size()));
    platform.RegCloseKey(key);
}

}  // namespace cvl

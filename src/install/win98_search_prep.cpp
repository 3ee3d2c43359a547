// The Windows 98 preparation of the B760 install: the system, not this
// program, installs the adapter when it finds it again.
#include <cstring>

#include "common/limits.h"
#include "common/text.h"
#include "install/family_install.h"
#include "log/install_log.h"
#include "system/registry_text.h"
#include "system/scoped_handle.h"

namespace cvl {
namespace {

constexpr char16_t kSysDmKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\SysDM";
constexpr DWORD kSearchValueBytes = 520;
// Search the location named by "SearchLocation".
constexpr std::uint16_t kSearchFlagsLocation = 8;

void ForgetOldB760Entry(Platform &platform, InstallLog &log) {
    ScopedKey usb(platform);
    if (platform.RegOpenKeyExW(HKeyLocalMachine(), u"Enum\\USB", 0, KEY_ALL_ACCESS,
                               usb.Receive()) != ERROR_SUCCESS) {
        LogLine(log, u"OPEN ENUM USB FAIL");
        return;
    }
    LogLine(log, u"OPEN ENUM USB SUCCESSFULLY");
    const LSTATUS deleted = platform.RegDeleteKeyW(usb.Get(), u"VID_0C7E&PID_B760");
    LogNumber(log, u"DEL RET", static_cast<std::int32_t>(deleted));
}

void ClearSearchLocation(Platform &platform, InstallLog &log) {
    ScopedKey sysDm(platform);
    if (platform.RegCreateKeyExW(HKeyLocalMachine(), kSysDmKey, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, sysDm.Receive(), nullptr) != ERROR_SUCCESS) {
        LogLine(log, u"Create Key Failed");
        return;
    }
    LogLine(log, u"Create Key Succ");
    WriteRegistryText(platform, sysDm.Get(), u"SearchLocation", u"");
}

// Reads a value and, when that worked, writes it back as `change` left it,
// with the type the read returned.
template <typename Change>
void RewriteValue(Platform &platform, InstallLog &log, HKEY key, const char16_t *name,
                  Change change) {
    BYTE data[kSearchValueBytes] = {};
    DWORD type = REG_NONE;
    DWORD size = kSearchValueBytes;
    if (platform.RegQueryValueExW(key, name, &type, data, &size) != ERROR_SUCCESS) return;
    LogLine(log, u"Query Key Succ");
    size = change(data, size);
    const bool set = platform.RegSetValueExW(key, name, type, data, size) == ERROR_SUCCESS;
    LogLine(log, set ? u"Set Key Succ" : u"Set Key Failed");
}

void PointSearchAtSetupFiles(Platform &platform, InstallLog &log,
                             const std::u16string &optionsInstall) {
    ScopedKey sysDm(platform);
    if (platform.RegOpenKeyExW(HKeyLocalMachine(), kSysDmKey, 0, KEY_ALL_ACCESS, sysDm.Receive()) !=
        ERROR_SUCCESS)
        return;
    LogLine(log, u"Open Key Succ");
    RewriteValue(platform, log, sysDm.Get(), u"SearchLocation", [&](BYTE *data, DWORD) {
        const std::vector<BYTE> text = RegistryTextBytes(optionsInstall);
        const DWORD bytes =
            static_cast<DWORD>(std::min<std::size_t>(text.size(), kSearchValueBytes));
        std::memcpy(data, text.data(), bytes);
        return bytes;
    });
    RewriteValue(platform, log, sysDm.Get(), u"SearchFlags", [](BYTE *data, DWORD size) {
        data[0] = static_cast<BYTE>(kSearchFlagsLocation & 0xFF);
        data[1] = static_cast<BYTE>(kSearchFlagsLocation >> 8);
        return size;
    });
}

}  // namespace

std::u16string WindowsOptionsInstallPath(Platform &platform) {
    char16_t windows[limits::kPathChars] = {};
    const UINT length = platform.GetWindowsDirectoryW(windows, limits::kPathChars);
    // Without the Windows folder the path would be "\OPTIONS\INSTALL" on
    // whatever drive is current: no folder at all is the truthful answer.
    if (length == 0 || length >= limits::kPathChars) return {};
    std::u16string path(TextOf(windows, limits::kPathChars));
    path += u"\\OPTIONS\\INSTALL";
    if (path.size() > limits::kPathChars - 1) path.resize(limits::kPathChars - 1);
    return path;
}

void PrepareWindows98Search(Platform &platform, RunState &state) {
    ForgetOldB760Entry(platform, state.log);
    ClearSearchLocation(platform, state.log);
    const std::u16string optionsInstall = WindowsOptionsInstallPath(platform);
    if (!optionsInstall.empty()) PointSearchAtSetupFiles(platform, state.log, optionsInstall);
}

}  // namespace cvl

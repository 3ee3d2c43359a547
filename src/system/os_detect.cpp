#include "system/os_detect.h"

namespace cvl {

bool ReadVersionReport(Platform &platform, OsVersionInfoEx &info) {
    info = OsVersionInfoEx{};
    info.dwOSVersionInfoSize = kOsVersionInfoExSize;
    if (platform.GetVersionExW(info)) return true;
    // The 9x line and NT 4 before its sixth service pack know only the plain
    // record.
    info = OsVersionInfoEx{};
    info.dwOSVersionInfoSize = kOsVersionInfoSize;
    return platform.GetVersionExW(info) != FALSE;
}

OsKind DetectOsKind(Platform &platform) {
    OsVersionInfoEx info{};
    if (!ReadVersionReport(platform, info)) return OsUnsupported;
    return OsKindFromVersion(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

OsKind OsKindFromVersion(DWORD platformId, DWORD major, DWORD minor) {
    if (platformId == VER_PLATFORM_WIN32_NT) {
        if (major <= 4) return OsNt4;
        if (major == 5) return minor == 0 ? OsNt50 : OsNt5Later;
        if (major == 6) return minor == 0 ? OsNt60 : OsNt6Later;
        return OsUnsupported;
    }
    if (platformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (major > 4) return Os9xMe;
        if (major < 4 || minor == 0) return Os9x95;
        return minor <= 10 ? Os9x98 : Os9xMe;
    }
    return OsUnsupported;
}

}  // namespace cvl

// The Windows generation a run is on, reduced to one code. The codes are
// the ones the other setup software of the adapters knows.
#pragma once

#include <cstdint>

namespace cvl {

enum OsKind : std::uint32_t {
    OsUnsupported = 0,
    OsNt6Later = 1,  // Windows 7 and later
    OsNt60 = 2,      // Windows Vista, Server 2008
    OsNt5Later = 3,  // Windows XP, Server 2003
    OsNt50 = 4,      // Windows 2000
    OsNt4 = 5,
    Os9xMe = 6,
    Os9x98 = 7,
    Os9x95 = 8,
};

// Windows 2000 and every later system of the NT line.
constexpr bool IsNtFrom2000On(OsKind kind) {
    switch (kind) {
        case OsNt6Later:
        case OsNt60:
        case OsNt5Later:
        case OsNt50:
            return true;
        default:
            return false;
    }
}

// The systems of the 9x line that ask for a restart after a driver install.
constexpr bool IsWindows98OrMe(OsKind kind) {
    return kind == Os9x98 || kind == Os9xMe;
}

// The systems whose driver-signing policy an install of a beta driver
// relaxes: 98, Me, 2000 and XP.
constexpr bool HasRelaxableSigningPolicy(OsKind kind) {
    return IsWindows98OrMe(kind) || kind == OsNt50 || kind == OsNt5Later;
}

}  // namespace cvl

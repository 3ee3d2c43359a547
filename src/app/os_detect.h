// The Windows generation, reduced to one code.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace cvl {

enum OsKind : std::uint32_t {
    OsUnsupported = 0,
    OsNt6Later = 1,
    OsNt60 = 2,
    OsNt5Later = 3,
    OsNt50 = 4,
    OsNt4 = 5,
    Os9xMe = 6,
    Os9x98 = 7,
    Os9x95 = 8,
};

// No side effects; may be called more than once.
std::uint32_t DetectOsKind(Platform &platform);

// The mapping alone, for a version that was reported.
std::uint32_t OsKindFromVersion(DWORD platformId, DWORD major, DWORD minor);

}  // namespace cvl

// The Windows generation, reduced to one code.
#pragma once

#include "common/os_kind.h"
#include "platform/platform.h"

namespace cvl {

// No side effects; may be called more than once.
OsKind DetectOsKind(Platform &platform);

// The mapping alone, for a version that was reported.
OsKind OsKindFromVersion(DWORD platformId, DWORD major, DWORD minor);

}  // namespace cvl

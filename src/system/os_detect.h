// The Windows generation, reduced to one code.
#pragma once

#include "common/os_kind.h"
#include "platform/platform.h"

namespace cvl {

// The version record as the system reports it: the extended one where the
// system knows it, the plain one otherwise. False when neither can be read.
bool ReadVersionReport(Platform &platform, OsVersionInfoEx &info);

// No side effects; may be called more than once.
OsKind DetectOsKind(Platform &platform);

// The mapping alone, for a version that was reported.
OsKind OsKindFromVersion(DWORD platformId, DWORD major, DWORD minor);

}  // namespace cvl

// The driver-package tool run and the compatibility registration.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace cvl {

// Starts `applicationName` with `commandLine`, waits for it without a limit
// and returns its exit code (0 when it cannot be read); nothing when it did
// not start. The executable is named
// on its own, so Windows never searches the command line's blanks for
// another program to run in its place.
std::optional<DWORD> RunProcessAndWait(Platform &platform, const std::u16string &applicationName,
                                       std::u16string &commandLine);

// Marks this executable's full path as handled for the compatibility
// assistant of the current user. Errors are not reported.
void MarkCompatibilityPersisted(Platform &platform);

}  // namespace cvl

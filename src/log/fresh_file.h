// Files the program writes under a fixed name in a folder that others may
// write to (the current directory, the root of a drive). Whatever stands
// under the name, a link to a file elsewhere or a second name of another
// file, is replaced as a name and never opened or written through.
#pragma once

#include <string_view>

#include "platform/platform.h"

namespace cvl {

// Creates a new, empty file under a fresh name beside `path`, which no other
// program can foresee, and renames it to `path`, replacing the name alone.
// Answers the open handle (writing, shared for reading), or
// InvalidHandleValue() with the last error of the step that failed and no
// file left behind.
HANDLE CreateFreshFile(Platform &platform, std::u16string_view path);

}  // namespace cvl

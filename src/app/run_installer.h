// The whole life of one run: detect, parse, confirm, open the log, build the
// ids, act, log the exit code, close the log.
#pragma once

#include <string_view>

#include "platform/platform.h"

namespace cvl {

// `commandTail` is what follows the program's own name on its command line
// (the argument of the Windows GUI entry). Returns the exit code.
DWORD RunInstaller(Platform &platform, std::u16string_view commandTail);

}  // namespace cvl

// The one door from the logic to the operating system. Every operation has
// the name, the arguments that matter, the result and the last-error code of
// the Win32 call it stands for; the operations are listed, with what each
// caller may rely on, in platform_operations.def. Calls never throw.
#pragma once

#include <cstddef>

#include "platform/win_types.h"

namespace cvl {

class Platform {
public:
    virtual ~Platform() = default;

#define CVL_PLATFORM_OPERATION(Result, Name, Parameters, Library) \
    virtual Result Name Parameters = 0;
#include "platform/platform_operations.def"
};

}  // namespace cvl

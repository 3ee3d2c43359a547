// The platform of a real Windows machine: every operation goes straight to
// the Win32 call of the same name. Our records are converted at this
// boundary only, and never so that the last error the logic reads changes
// between the real call and its return.
#pragma once

#include "platform/platform.h"

namespace cvl {

class Win32Platform final : public Platform {
public:
#define CVL_PLATFORM_OPERATION(Result, Name, Parameters, Library) Result Name Parameters override;
#include "platform/platform_operations.def"
};

}  // namespace cvl

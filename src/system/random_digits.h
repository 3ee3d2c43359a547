// Names that no other program can foresee, and so cannot take first.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace cvl {

// `count` decimal digits from the system's random source; none when the
// source cannot be read.
std::optional<std::u16string> RandomDigits(Platform &platform, std::size_t count);

}  // namespace cvl

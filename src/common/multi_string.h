// The multi-strings of the registry and of device properties: UTF-16
// strings one after another, each ended by a zero, the list by an empty one.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cvl {

// The strings held in `bytes` (little-endian), up to the empty string that
// ends the list and never past the bytes: a last string without its zero
// ends at the last whole unit.
std::vector<std::u16string> MultiStringTexts(std::span<const std::uint8_t> bytes);

}  // namespace cvl

// Numbers read from texts the way the runtime's scanning functions read them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace cvl {

// "%x": optional blanks, an optional sign and "0x", then hexadecimal digits,
// kept modulo 2^32. Nothing when no digit can be read.
std::optional<std::uint32_t> ScanHex(std::u16string_view text);

// A text that is a decimal number and nothing else (an optional minus sign),
// within 32 bits. Nothing otherwise.
std::optional<std::uint32_t> WholeDecimal(std::u16string_view text);

}  // namespace cvl

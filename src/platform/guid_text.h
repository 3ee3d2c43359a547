// A GUID in its registry text form, "{4d36e972-e325-11ce-bfc1-08002be10318}",
// as class keys are named and ClassGUID values hold it. Header-only, so the
// machine-image formats read class keys without the simulated machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/win_types.h"

namespace cvl {
inline namespace win {

inline std::optional<Guid> ParseGuid(std::u16string_view text) {
    // Hex digits everywhere but at the braces and these four dashes.
    constexpr std::size_t kLength = 38;
    if (text.size() != kLength || text[0] != u'{' || text[kLength - 1] != u'}') return std::nullopt;
    std::uint8_t digits[32] = {};
    std::size_t count = 0;
    for (std::size_t i = 1; i + 1 < kLength; ++i) {
        const char16_t c = text[i];
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (c != u'-') return std::nullopt;
            continue;
        }
        if (c >= u'0' && c <= u'9') {
            digits[count++] = static_cast<std::uint8_t>(c - u'0');
        } else if (c >= u'a' && c <= u'f') {
            digits[count++] = static_cast<std::uint8_t>(c - u'a' + 10);
        } else if (c >= u'A' && c <= u'F') {
            digits[count++] = static_cast<std::uint8_t>(c - u'A' + 10);
        } else {
            return std::nullopt;
        }
    }
    const auto number = [&digits](std::size_t from, std::size_t width) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < width; ++i) value = value * 16 + digits[from + i];
        return value;
    };
    Guid guid{};
    guid.data1 = number(0, 8);
    guid.data2 = static_cast<std::uint16_t>(number(8, 4));
    guid.data3 = static_cast<std::uint16_t>(number(12, 4));
    for (std::size_t i = 0; i < 8; ++i)
        guid.data4[i] = static_cast<std::uint8_t>(number(16 + 2 * i, 2));
    return guid;
}

}  // namespace win
}  // namespace cvl

#include "common/number_text.h"

namespace cvl {
namespace {

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

bool IsSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

}  // namespace

std::optional<std::uint32_t> ScanHex(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') &&
        i + 2 < text.size() && HexDigit(text[i + 2]) >= 0)
        i += 2;
    std::uint32_t value = 0;
    bool anyDigit = false;
    for (; i < text.size() && HexDigit(text[i]) >= 0; ++i) {
        value = value * 16u + static_cast<std::uint32_t>(HexDigit(text[i]));
        anyDigit = true;
    }
    if (!anyDigit) return std::nullopt;
    return negative ? 0u - value : value;
}

std::optional<std::uint32_t> WholeDecimal(std::u16string_view text) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == u'-';
    if (negative) ++i;
    if (i >= text.size()) return std::nullopt;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(text[i] - u'0');
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    if (negative) {
        if (value > 0x80000000ull) return std::nullopt;
        return static_cast<std::uint32_t>(0 - value);
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace cvl

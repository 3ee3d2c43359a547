// UTF-16 text helpers. Comparisons that fold case fold only A to Z, as the
// system does everywhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cvl {

inline constexpr char16_t FoldAZ(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Folds A to Z in place, in a string, a fixed slot or a span of a text.
template <typename Text>
void LowerAZ(Text &&text) {
    for (auto &c : text) c = FoldAZ(c);
}

inline std::u16string LoweredAZ(std::u16string_view text) {
    std::u16string result(text);
    LowerAZ(result);
    return result;
}

inline bool EqualsFoldAZ(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAZ(a[i]) != FoldAZ(b[i])) return false;
    return true;
}

// Compares at most `count` characters, like a bounded wide-string compare:
// the shorter text ends at its terminator, which must then end the other too.
inline bool PrefixEqualsFoldAZ(std::u16string_view a, std::u16string_view b, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t ca = i < a.size() ? FoldAZ(a[i]) : u'\0';
        const char16_t cb = i < b.size() ? FoldAZ(b[i]) : u'\0';
        if (ca != cb) return false;
        if (ca == u'\0') return true;
    }
    return true;
}

// ASCII literal or byte text to UTF-16, one character per byte.
inline std::u16string Widen(std::string_view text) {
    std::u16string result;
    result.reserve(text.size());
    for (unsigned char c : text) result.push_back(static_cast<char16_t>(c));
    return result;
}

// UTF-16 to UTF-8, for host output and tests.
std::string ToUtf8(std::u16string_view text);
// UTF-8 to UTF-16; invalid bytes become U+FFFD.
std::u16string FromUtf8(std::string_view text);

// The code point of the UTF-8 sequence at `at`, which then moves past it.
// Nothing (and `at` unmoved) for a sequence that is cut short, overlong, a
// surrogate or above U+10FFFF: text saved in a legacy code page is caught
// instead of read as something else.
std::optional<std::uint32_t> NextUtf8CodePoint(std::string_view bytes, std::size_t &at);

// The text of a zero-terminated buffer, never reading past its end.
inline std::u16string_view TextOf(const char16_t *buffer, std::size_t capacity) {
    std::size_t length = 0;
    while (length < capacity && buffer[length] != u'\0') ++length;
    return {buffer, length};
}

template <std::size_t N>
std::u16string_view SlotText(const std::array<char16_t, N> &slot) {
    return TextOf(slot.data(), N);
}

// Stores a text in a slot, cut to N - 1 characters and terminated.
template <std::size_t N>
void StoreInSlot(std::array<char16_t, N> &slot, std::u16string_view text) {
    static_assert(N > 0);
    const std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
    for (std::size_t i = 0; i < length; ++i) slot[i] = text[i];
    for (std::size_t i = length; i < N; ++i) slot[i] = u'\0';
}

std::u16string DecimalText(std::int64_t value);

// The leading decimal number of a text, as a plain decimal conversion reads
// it: optional blanks and sign, then digits; 0 when there are none.
std::int32_t LeadingDecimal(std::u16string_view text);

}  // namespace cvl

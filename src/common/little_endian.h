// Registry data holds its numbers and UTF-16 text little-endian, whatever
// the byte order of the machine that reads it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cvl {

// `value` in `size` bytes: widened with zeros, or cut to its low bytes.
inline std::vector<std::uint8_t> LittleEndianBytes(std::uint32_t value, std::size_t size) {
    std::vector<std::uint8_t> bytes(size, 0);
    for (std::size_t i = 0; i < size && i < sizeof(value); ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
}

// The number held in the first four bytes (fewer bytes are widened with
// zeros).
inline std::uint32_t LittleEndianNumber(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes.size() && i < sizeof(value); ++i)
        value |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    return value;
}

// The UTF-16 unit that starts at `bytes[at]`; the caller keeps `at + 1`
// inside the data.
inline char16_t Utf16UnitAt(const std::uint8_t *bytes, std::size_t at) {
    return static_cast<char16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline void AppendUtf16Unit(std::vector<std::uint8_t> &bytes, char16_t unit) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
}

// Every whole UTF-16 unit of the data, zeros included; an odd last byte is
// left out.
inline std::u16string Utf16UnitsOf(std::span<const std::uint8_t> bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2)
        units.push_back(Utf16UnitAt(bytes.data(), at));
    return units;
}

}  // namespace cvl

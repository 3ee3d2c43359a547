#include "system/random_digits.h"

#include <vector>

namespace cvl {

std::optional<std::u16string> RandomDigits(Platform &platform, std::size_t count) {
    // Two bytes a digit: the remainder of 65536 by 10 leans towards the low
    // digits by less than one in six thousand.
    std::vector<BYTE> bytes(count * 2);
    if (!platform.CryptGenRandom(static_cast<DWORD>(bytes.size()), bytes.data()))
        return std::nullopt;
    std::u16string digits;
    for (std::size_t index = 0; index < count; ++index) {
        const unsigned value = bytes[2 * index] | (bytes[2 * index + 1] << 8);
        digits.push_back(static_cast<char16_t>(u'0' + value % 10));
    }
    return digits;
}

}  // namespace cvl

#include "common/multi_string.h"

#include "common/little_endian.h"

namespace cvl {

std::vector<std::u16string> MultiStringTexts(std::span<const std::uint8_t> bytes) {
    std::vector<std::u16string> texts;
    const std::size_t units = bytes.size() / sizeof(char16_t);
    std::size_t position = 0;
    while (position < units) {
        std::u16string text;
        while (position < units) {
            const char16_t unit = Utf16UnitAt(bytes.data(), position * sizeof(char16_t));
            ++position;
            if (unit == u'\0') break;
            text.push_back(unit);
        }
        if (text.empty()) break;
        texts.push_back(std::move(text));
    }
    return texts;
}

}  // namespace cvl

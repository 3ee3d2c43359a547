// Splitting a multi-string: where the list ends, and that nothing is read
// past the bytes given.
#include "common/multi_string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/little_endian.h"

namespace cvl {
namespace {

std::vector<std::uint8_t> Bytes(std::u16string_view units) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t unit : units) AppendUtf16Unit(bytes, unit);
    return bytes;
}

TEST(MultiStringTest, StringsRunToTheEmptyOneOrToTheLastWholeUnit) {
    struct Case {
        const char *what;
        std::vector<std::uint8_t> bytes;
        std::vector<std::u16string> texts;
    };
    const std::vector<Case> cases = {
        {"a whole list", Bytes(std::u16string(u"ab\0c\0\0", 6)), {u"ab", u"c"}},
        {"what follows the empty string is not read",
         Bytes(std::u16string(u"a\0\0b\0\0", 6)),
         {u"a"}},
        {"a last string without its zero", Bytes(std::u16string(u"a\0bc", 4)), {u"a", u"bc"}},
        {"an odd last byte is no unit",
         [] {
             auto bytes = Bytes(u"ab");
             bytes.push_back(0x41);
             return bytes;
         }(),
         {u"ab"}},
        {"an empty list", Bytes(std::u16string(u"\0\0", 2)), {}},
        {"no bytes", {}, {}},
        {"units above one byte", Bytes(std::u16string(u"\u00e9\u4e2d\0", 3)), {u"\u00e9\u4e2d"}},
    };
    for (const Case &c : cases) EXPECT_EQ(MultiStringTexts(c.bytes), c.texts) << c.what;
}

}  // namespace
}  // namespace cvl

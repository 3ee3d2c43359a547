// Registry numbers and text units in little-endian byte order.
#include "common/little_endian.h"

#include <gtest/gtest.h>

namespace cvl {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(LittleEndianTest, NumbersAreWidenedWithZerosOrCutToTheirLowBytes) {
    EXPECT_EQ(LittleEndianBytes(0x12345678, 4), (Bytes{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(LittleEndianBytes(0x12345678, 2), (Bytes{0x78, 0x56}));
    EXPECT_EQ(LittleEndianBytes(0x120, 6), (Bytes{0x20, 0x01, 0, 0, 0, 0}));
    EXPECT_TRUE(LittleEndianBytes(7, 0).empty());
}

TEST(LittleEndianTest, NumbersAreReadFromAtMostFourBytes) {
    EXPECT_EQ(LittleEndianNumber(Bytes{0x78, 0x56, 0x34, 0x12, 0xFF}), 0x12345678u);
    EXPECT_EQ(LittleEndianNumber(Bytes{0x01, 0x02}), 0x0201u);
    EXPECT_EQ(LittleEndianNumber(Bytes{}), 0u);
    EXPECT_EQ(LittleEndianNumber(LittleEndianBytes(0xFEDCBA98, 4)), 0xFEDCBA98u);
}

TEST(LittleEndianTest, TextUnitsGoLowByteFirst) {
    Bytes bytes;
    AppendUtf16Unit(bytes, u'\u20AC');
    AppendUtf16Unit(bytes, u'A');
    EXPECT_EQ(bytes, (Bytes{0xAC, 0x20, 0x41, 0x00}));
    EXPECT_EQ(Utf16UnitAt(bytes.data(), 0), u'\u20AC');
    EXPECT_EQ(Utf16UnitAt(bytes.data(), 2), u'A');
}

TEST(LittleEndianTest, TextOfDataKeepsEveryWholeUnitAndDropsAnOddByte) {
    // A value written without its terminator, or cut short by a bad export,
    // still reads as the units it holds.
    EXPECT_EQ(Utf16UnitsOf(Bytes{0x41, 0x00, 0x00, 0x00, 0xAC, 0x20}),
              std::u16string(u"A\0\u20AC", 3));
    EXPECT_EQ(Utf16UnitsOf(Bytes{0x41, 0x00, 0x42}), u"A");
    EXPECT_EQ(Utf16UnitsOf(Bytes{0x42}), u"");
}

}  // namespace
}  // namespace cvl

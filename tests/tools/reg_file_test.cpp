#include "machine_image/reg_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"

namespace cvl::image {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00\r\n";

std::vector<BYTE> Utf16WithZero(std::u16string_view text) {
    std::vector<BYTE> bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::string Utf16LeFile(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

std::vector<RegFileKey> ParseOrFail(std::string_view bytes) {
    std::vector<RegFileKey> keys;
    RegFileError error;
    EXPECT_TRUE(ParseRegFile(bytes, keys, error)) << error.line << ": " << error.message;
    return keys;
}

struct ValueCase {
    std::string_view line;
    std::u16string name;
    DWORD type;
    std::vector<BYTE> data;
};

TEST(RegFileReader, ReadsEveryValueForm) {
    const ValueCase cases[] = {
        {R"("Name"="text")", u"Name", REG_SZ, Utf16WithZero(u"text")},
        {R"("Path"="C:\\Windows\\\"quoted\"")", u"Path", REG_SZ,
         Utf16WithZero(u"C:\\Windows\\\"quoted\"")},
        {R"("a \"b\" \\c"="")", u"a \"b\" \\c", REG_SZ, Utf16WithZero(u"")},
        {R"(@="default")", u"", REG_SZ, Utf16WithZero(u"default")},
        {R"(""="also default")", u"", REG_SZ, Utf16WithZero(u"also default")},
        {R"("n" = "spaced" )", u"n", REG_SZ, Utf16WithZero(u"spaced")},
        {R"("n"=dword:0000002a)", u"n", REG_DWORD, {0x2a, 0, 0, 0}},
        {R"("n"=dword:FFFFFFFE)", u"n", REG_DWORD, {0xfe, 0xff, 0xff, 0xff}},
        {R"("n"=DWORD:1)", u"n", REG_DWORD, {1, 0, 0, 0}},
        {R"("n"=hex:01,ab,FF,7)", u"n", REG_BINARY, {0x01, 0xab, 0xff, 0x07}},
        {R"("n"=hex: 01 , 02 )", u"n", REG_BINARY, {0x01, 0x02}},
        {R"("n"=hex:)", u"n", REG_BINARY, {}},
        {R"("n"=hex(2):25,00,41,00,25,00,00,00)", u"n", REG_EXPAND_SZ, Utf16WithZero(u"%A%")},
        {R"("n"=hex(7):61,00,00,00,62,00,00,00,00,00)",
         u"n",
         REG_MULTI_SZ,
         {0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0}},
        {R"("n"=hex(b):01,00,00,00,00,00,00,80)", u"n", 11, {1, 0, 0, 0, 0, 0, 0, 0x80}},
        {R"("n"=hex(0):)", u"n", REG_NONE, {}},
        {R"("n"=hex(4):2a,00,00,00)", u"n", REG_DWORD, {0x2a, 0, 0, 0}},
        {R"("n"=hex(1a2b3c4d):09)", u"n", 0x1a2b3c4d, {0x09}},
    };
    for (const ValueCase &c : cases) {
        SCOPED_TRACE(std::string(c.line));
        const auto keys =
            ParseOrFail(std::string(kHeader) + "[HKEY_LOCAL_MACHINE\\K]\r\n" + std::string(c.line));
        ASSERT_EQ(keys.size(), 1u);
        ASSERT_EQ(keys[0].values.size(), 1u);
        EXPECT_EQ(keys[0].values[0].name, c.name);
        EXPECT_EQ(keys[0].values[0].value.type, c.type);
        EXPECT_EQ(keys[0].values[0].value.data, c.data);
    }
}

TEST(RegFileReader, JoinsContinuedLinesAndSkipsComments) {
    const auto keys = ParseOrFail(std::string(kHeader) +
                                  "; a comment line\r\n"
                                  "[HKEY_LOCAL_MACHINE\\K]\r\n"
                                  "  ; an indented comment\r\n"
                                  "\"List\"=hex(7):61,00,00,\\\r\n"
                                  "  00,62,00,\\\n"
                                  "\t00,00,00,00\r\n"
                                  "\"After\"=dword:00000001\r\n");
    ASSERT_EQ(keys.size(), 1u);
    ASSERT_EQ(keys[0].values.size(), 2u);
    EXPECT_EQ(keys[0].values[0].value.data,
              (std::vector<BYTE>{0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0}));
    EXPECT_EQ(keys[0].values[1].name, u"After");
}

TEST(RegFileReader, ReadsUtf16AndUtf8WithTheirMarks) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Caf\u00e9]\r\n"
        u"\"Sign\"=\"\u20ac \u00fc\"\r\n";
    const std::string files[] = {Utf16LeFile(text), "\xEF\xBB\xBF" + ToUtf8(text), ToUtf8(text)};
    for (const std::string &file : files) {
        SCOPED_TRACE(file.substr(0, 3));
        const auto keys = ParseOrFail(file);
        ASSERT_EQ(keys.size(), 1u);
        EXPECT_EQ(keys[0].path, u"HKCU\\Software\\Caf\u00e9");
        ASSERT_EQ(keys[0].values.size(), 1u);
        EXPECT_EQ(keys[0].values[0].value.data, Utf16WithZero(u"\u20ac \u00fc"));
    }
}

TEST(RegFileReader, NamesKeysByHiveAndMergesRepeatedKeys) {
    const auto keys = ParseOrFail(std::string(kHeader) +
                                  "[HKEY_LOCAL_MACHINE]\r\n"
                                  "\"AtRoot\"=dword:00000001\r\n"
                                  "[hkey_local_machine\\Software\\A]\r\n"
                                  "\"Value\"=\"first\"\r\n"
                                  "\"Other\"=\"kept\"\r\n"
                                  "[HKEY_CURRENT_USER\\Software]\r\n"
                                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\a]\r\n"
                                  "\"VALUE\"=\"second\"\r\n");
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].path, u"HKLM");
    EXPECT_EQ(keys[1].path, u"HKLM\\Software\\A");
    EXPECT_EQ(keys[2].path, u"HKCU\\Software");
    // One value, with the spelling it was first written with and the data
    // written last, as the registry itself keeps it.
    ASSERT_EQ(keys[1].values.size(), 2u);
    EXPECT_EQ(keys[1].values[0].name, u"Value");
    EXPECT_EQ(keys[1].values[0].value.data, Utf16WithZero(u"second"));
}

struct ErrorCase {
    std::string body;  // after the header line
    std::size_t line;
    std::string_view says;
};

TEST(RegFileReader, NamesTheLineAndTheMistake) {
    const std::string key = "[HKEY_LOCAL_MACHINE\\K]\r\n";
    const ErrorCase cases[] = {
        {"\"a\"=\"b\"\r\n", 2, "before the first [key]"},
        {"[HKEY_CLASSES_ROOT\\.txt]\r\n", 2, "not \"HKEY_CLASSES_ROOT\""},
        {"\r\n[-HKEY_LOCAL_MACHINE\\K]\r\n", 3, "key deletions"},
        {"[HKEY_LOCAL_MACHINE\\K\r\n", 2, "no closing ]"},
        {"[HKEY_LOCAL_MACHINE\\K] x\r\n", 2, "after the key's closing ]"},
        {"[HKEY_LOCAL_MACHINE\\A\\\\B]\r\n", 2, "empty key name"},
        {"[HKEY_LOCAL_MACHINE\\" + std::string(256, 'k') + "]\r\n", 2, "longer than 255"},
        {key + "\"a\"=-\r\n", 3, "value deletions"},
        {key + "\"a\"=dword:123456789\r\n", 3, "1 to 8 hex digits"},
        {key + "\"a\"=dword:\r\n", 3, "1 to 8 hex digits"},
        {key + "\"a\"=dword:12g4\r\n", 3, "1 to 8 hex digits"},
        {key + "\"a\"=hex:01,,02\r\n", 3, "bytes of 1 or 2 hex digits"},
        {key + "\"a\"=hex:123\r\n", 3, "bytes of 1 or 2 hex digits"},
        {key + "\"a\"=hex:01,\r\n", 3, "bytes of 1 or 2 hex digits"},
        {key + "\"a\"=hex(zz):00\r\n", 3, "hex type number"},
        {key + "\"a\"=hex(2)00\r\n", 3, "hex type number"},
        {key + "\"a\"=\"C:\\Windows\"\r\n", 3, "unknown escape \\W"},
        {key + "\"a\"=\"open\r\n", 3, "no closing quote"},
        {key + "\"a\"=\"x\" y\r\n", 3, "after the closing quote"},
        {key + "\"a\" \"b\"\r\n", 3, "expected = after the value name"},
        {key + "a=b\r\n", 3, "expected a [key]"},
        {key + "\"a\"=qword:1\r\n", 3, "unknown value form"},
        {key + "\"a\"=hex:01,\\\r\n", 3, "continuation backslash"},
        // A continued value is reported at its first line.
        {key + "\"a\"=hex:01,\\\r\n  zz\r\n\"b\"=dword:1\r\n", 3, "bytes of 1 or 2 hex digits"},
        {key + "\"b\"=dword:1\r\n\"a\"=\"\xC3\x28\"\r\n", 4, "not valid UTF-8"},
        {key + "\"a\"=\"x\"\r\n\"b\"=\"" + std::string(1, '\0') + "\"\r\n", 4, "zero character"},
    };
    for (const ErrorCase &c : cases) {
        SCOPED_TRACE(c.body);
        std::vector<RegFileKey> keys;
        RegFileError error;
        EXPECT_FALSE(ParseRegFile(std::string(kHeader) + c.body, keys, error));
        EXPECT_EQ(error.line, c.line);
        EXPECT_NE(error.message.find(c.says), std::string::npos) << error.message;
        EXPECT_TRUE(keys.empty());
    }
}

TEST(RegFileReader, RefusesFilesThatAreNotVersion5Exports) {
    const std::string files[] = {"", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\K]\r\n",
                                 "\r\nWindows Registry Editor Version 5.00\r\n",
                                 "\xFF\xFE"
                                 "W\0i\0n"};
    for (const std::string &file : files) {
        SCOPED_TRACE(file);
        std::vector<RegFileKey> keys;
        RegFileError error;
        EXPECT_FALSE(ParseRegFile(file, keys, error));
        EXPECT_FALSE(error.message.empty());
    }
}

std::vector<RegFileKey> AwkwardKeys() {
    std::vector<BYTE> longBinary;
    for (int i = 0; i < 300; ++i) longBinary.push_back(static_cast<BYTE>(i * 7));
    std::vector<BYTE> oddText = Utf16WithZero(u"odd");
    oddText.pop_back();
    std::vector<BYTE> embeddedZero = Utf16WithZero(u"a");
    embeddedZero.insert(embeddedZero.end(), {0x62, 0, 0, 0});
    return {
        {u"HKLM", {{u"AtRoot", {REG_DWORD, {1, 0, 0, 0}}}}},
        {u"HKLM\\Software\\Awkward Name; [with] = signs",
         {
             {u"", {REG_SZ, Utf16WithZero(u"the default")}},
             {u"plain", {REG_SZ, Utf16WithZero(u"C:\\Program Files\\\"x\"")}},
             {u"quote \" and \\", {REG_SZ, Utf16WithZero(u"")}},
             {u"line break", {REG_SZ, Utf16WithZero(u"one\r\ntwo")}},
             {u"no zero", {REG_SZ, {0x61, 0, 0x62, 0}}},
             {u"odd", {REG_SZ, oddText}},
             {u"embedded zero", {REG_SZ, embeddedZero}},
             {u"empty text", {REG_SZ, {}}},
             {u"number", {REG_DWORD, {0x2a, 0, 0, 0x80}}},
             {u"short number", {REG_DWORD, {1, 2, 3}}},
             {u"binary", {REG_BINARY, longBinary}},
             {u"empty binary", {REG_BINARY, {}}},
             {u"expand", {REG_EXPAND_SZ, Utf16WithZero(u"%SystemRoot%\\inf")}},
             {u"multi", {REG_MULTI_SZ, {0x61, 0, 0, 0, 0, 0}}},
             {u"none", {REG_NONE, {}}},
             {u"odd type", {0xFEDCBA98, {1}}},
         }},
        {u"HKCU\\Software\\Empty", {}},
    };
}

TEST(RegFileWriter, WritesWhatReadsBackTheSame) {
    const auto keys = AwkwardKeys();
    std::string bytes, error;
    ASSERT_TRUE(FormatRegFile(keys, bytes, error)) << error;
    EXPECT_TRUE(SameRegFileKeys(ParseOrFail(bytes), keys));
}

TEST(RegFileWriter, WritesLikeRegedit) {
    std::string bytes, error;
    ASSERT_TRUE(FormatRegFile(AwkwardKeys(), bytes, error)) << error;
    ASSERT_TRUE(bytes.starts_with("\xFF\xFE"));
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    const std::string utf8 = ToUtf8(text);
    EXPECT_TRUE(utf8.starts_with("Windows Registry Editor Version 5.00\r\n"));
    EXPECT_NE(utf8.find("[HKEY_LOCAL_MACHINE\\Software\\Awkward Name; [with] = signs]\r\n"),
              std::string::npos);
    EXPECT_NE(utf8.find("\r\n@=\"the default\"\r\n"), std::string::npos);
    EXPECT_NE(utf8.find("\"plain\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"\r\n"), std::string::npos);
    EXPECT_NE(utf8.find("\"number\"=dword:8000002a\r\n"), std::string::npos);
    EXPECT_NE(utf8.find("\"line break\"=hex(1):"), std::string::npos);
    EXPECT_NE(utf8.find("\"short number\"=hex(4):01,02,03\r\n"), std::string::npos);
    EXPECT_NE(utf8.find("\"odd type\"=hex(fedcba98):01\r\n"), std::string::npos);
    EXPECT_NE(utf8.find("\"empty binary\"=hex:\r\n"), std::string::npos);
    // Every line ends in CR LF and long data wraps.
    std::size_t start = 0;
    while (start < utf8.size()) {
        const std::size_t end = utf8.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "a line without CR LF at " << start;
        EXPECT_LE(end - start, 80u) << utf8.substr(start, end - start);
        EXPECT_EQ(utf8.substr(start, end - start).find('\n'), std::string::npos);
        start = end + 2;
    }
}

TEST(RegFileWriter, RefusesNamesWithLineBreaks) {
    const std::vector<std::vector<RegFileKey>> cases = {
        {{u"HKLM\\Bad\nKey", {}}},
        {{u"HKLM\\Good", {{u"bad\rname", {REG_SZ, Utf16WithZero(u"x")}}}}},
        {{u"HKEY_USERS\\.DEFAULT", {}}},
    };
    for (const auto &keys : cases) {
        std::string bytes, error;
        EXPECT_FALSE(FormatRegFile(keys, bytes, error));
        EXPECT_NE(error.find("cannot be written"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace cvl::image

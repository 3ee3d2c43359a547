// Names and texts beyond ASCII: a registry key, a value's name and data, a
// folder and a file. Where the platform passes texts through an ANSI code
// page, a letter the code page holds goes through unchanged and one it
// cannot hold fails the call with kInvalidName, leaving nothing
// behind under another name; everywhere else both go through.
#include <cstring>
#include <string>
#include <vector>

#include "contract_machine.h"

namespace cvl::contract {
namespace {

constexpr unsigned kWesternCodePage = 1252;
constexpr DWORD kInvalidName = 123;  // ERROR_INVALID_NAME
// In code page 1252 (e acute)...
constexpr char16_t kHeld[] = u"caf\u00e9";
// ...and not there (Cyrillic Zhe).
constexpr char16_t kNotHeld[] = u"\u0416uk";

struct Name {
    std::u16string text;
    bool inCodePage;
};
const std::vector<Name> kNames = {{kHeld, true}, {kNotHeld, false}};

class CodePageTexts : public PlatformContract {
protected:
    void SetUp() override {
        const std::optional<unsigned> codePage = machine().AnsiCodePage();
        // The cases name letters of the Western European code page.
        if (codePage) {
            ASSERT_EQ(*codePage, kWesternCodePage);
        }
    }

    // Whether the platform refuses a text: only where it passes texts
    // through the code page, and only a text the code page cannot hold.
    bool Refuses(bool inCodePage) const {
        return machine().AnsiCodePage().has_value() && !inCodePage;
    }

    std::vector<BYTE> TextBytes(std::u16string_view text) {
        std::vector<BYTE> bytes((text.size() + 1) * sizeof(char16_t), 0);
        std::memcpy(bytes.data(), text.data(), text.size() * sizeof(char16_t));
        return bytes;
    }
};

TEST_F(CodePageTexts, KeyNamesGoThroughOrFailAsInvalid) {
    for (const auto &[name, inCodePage] : kNames) {
        SCOPED_TRACE(testing::PrintToString(name));
        HKEY created = nullptr;
        DWORD disposition = 0;
        const LSTATUS status = platform.RegCreateKeyExW(HKeyCurrentUser(), Key(name).c_str(), 0,
                                                        KEY_ALL_ACCESS, &created, &disposition);
        HKEY scratch = OpenKey({}, KEY_READ);
        if (Refuses(inCodePage)) {
            EXPECT_EQ(status, kInvalidName);
            EXPECT_EQ(SubkeyNames(platform, scratch), std::vector<std::u16string>{});
            platform.RegCloseKey(scratch);
            continue;
        }
        ASSERT_EQ(status, ERROR_SUCCESS);
        EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
        platform.RegCloseKey(created);
        EXPECT_EQ(SubkeyNames(platform, scratch), std::vector<std::u16string>{name});
        HKEY opened = nullptr;
        EXPECT_EQ(
            platform.RegOpenKeyExW(HKeyCurrentUser(), Key(name).c_str(), 0, KEY_READ, &opened),
            ERROR_SUCCESS);
        platform.RegCloseKey(opened);
        EXPECT_EQ(platform.RegDeleteKeyW(HKeyCurrentUser(), Key(name).c_str()), ERROR_SUCCESS);
        EXPECT_EQ(SubkeyNames(platform, scratch), std::vector<std::u16string>{});
        platform.RegCloseKey(scratch);
    }
}

TEST_F(CodePageTexts, ValueNamesAndTextDataKeepTheirUtf16Sizes) {
    // The data sizes are those of the UTF-16 text, whatever the code page
    // carried: asked for, too small (ERROR_MORE_DATA) and read.
    struct Case {
        std::u16string name;
        DWORD type;
        std::u16string text;  // for REG_MULTI_SZ, the texts with their zeros
        bool inCodePage;
    };
    const std::u16string held = kHeld;
    const std::u16string notHeld = kNotHeld;
    const std::vector<Case> cases = {
        {held, REG_SZ, u"cr\u00e8me", true},
        {u"expand", REG_EXPAND_SZ, u"%windir%\\" + held, true},
        {u"multi", REG_MULTI_SZ, held + u'\0' + u"br\u00fbl\u00e9e" + u'\0', true},
        {notHeld, REG_SZ, u"plain", false},
        {u"data", REG_SZ, notHeld, false},
        {u"multidata", REG_MULTI_SZ, u"plain" + std::u16string(1, u'\0') + notHeld + u'\0', false},
    };
    HKEY key = CreateKey({});
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.name));
        const std::vector<BYTE> data = TextBytes(c.text);
        const LSTATUS status = platform.RegSetValueExW(key, c.name.c_str(), c.type, data.data(),
                                                       static_cast<DWORD>(data.size()));
        DWORD type = 0;
        DWORD size = 0;
        const LSTATUS query = platform.RegQueryValueExW(key, c.name.c_str(), &type, nullptr, &size);
        if (Refuses(c.inCodePage)) {
            EXPECT_EQ(status, kInvalidName);
            EXPECT_NE(query, ERROR_SUCCESS);
            continue;
        }
        ASSERT_EQ(status, ERROR_SUCCESS);
        ASSERT_EQ(query, ERROR_SUCCESS);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(size, data.size());
        std::vector<BYTE> read(data.size(), 0xCC);
        size = static_cast<DWORD>(read.size() - 1);
        EXPECT_EQ(platform.RegQueryValueExW(key, c.name.c_str(), &type, read.data(), &size),
                  ERROR_MORE_DATA);
        EXPECT_EQ(size, data.size());
        EXPECT_EQ(platform.RegQueryValueExW(key, c.name.c_str(), &type, read.data(), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(read, data);
    }
    // The enumeration names the values that were written, in UTF-16, with
    // the same data sizes.
    const std::vector<std::u16string> names = ValueNames(platform, key);
    const std::size_t expected = machine().AnsiCodePage() ? 3 : cases.size();
    EXPECT_EQ(names.size(), expected);
    for (DWORD index = 0; index < names.size(); ++index) {
        char16_t name[64];
        DWORD nameSize = 64;
        DWORD type = 0;
        DWORD size = 0;
        ASSERT_EQ(platform.RegEnumValueW(key, index, name, &nameSize, &type, nullptr, &size),
                  ERROR_SUCCESS);
        for (const Case &c : cases) {
            if (c.name == name) {
                EXPECT_EQ(size, TextBytes(c.text).size()) << index;
            }
        }
    }
    platform.RegCloseKey(key);
}

TEST_F(CodePageTexts, FolderAndFileNamesGoThroughOrFailAsInvalid) {
    for (const auto &[name, inCodePage] : kNames) {
        SCOPED_TRACE(testing::PrintToString(name));
        // The folder is made by hand, in UTF-16, as a user could name it.
        const std::u16string folder = Path(name);
        ASSERT_TRUE(AddFolder(folder));
        const std::u16string file = folder + u"\\" + name + u".txt";
        HANDLE created =
            platform.CreateFileW(file.c_str(), GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        FindData found{};
        HANDLE find = platform.FindFirstFileW((folder + u"\\*.txt").c_str(), &found);
        if (Refuses(inCodePage)) {
            EXPECT_EQ(created, InvalidHandleValue());
            EXPECT_EQ(platform.GetLastError(), kInvalidName);
            EXPECT_EQ(find, InvalidHandleValue());
            EXPECT_EQ(platform.GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
            EXPECT_EQ(platform.GetLastError(), kInvalidName);
            continue;
        }
        ASSERT_NE(created, InvalidHandleValue());
        platform.CloseHandle(created);
        ASSERT_NE(find, InvalidHandleValue());
        EXPECT_EQ(std::u16string(found.cFileName), name + u".txt");
        EXPECT_FALSE(platform.FindNextFileW(find, &found));
        platform.FindClose(find);
        const std::u16string moved = Path(name + u".moved");
        EXPECT_TRUE(platform.MoveFileExW(file.c_str(), moved.c_str(), 0));
        EXPECT_NE(platform.GetFileAttributesW(moved.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(platform.DeleteFileW(moved.c_str()));
    }
}

}  // namespace
}  // namespace cvl::contract

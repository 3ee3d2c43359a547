// INF files as SetupAPI reads them: the Windows-4 style check, sections,
// keys and fields with their quoting, comments, continuations and
// %strings%, the string-field size protocol and the INF list of a folder.
#include <string>
#include <vector>

#include "contract_machine.h"
#include "install/driver_package.h"
#include "run/run_state.h"

namespace cvl::contract {
namespace {

// SetupAPI's errors, which the logic never names.
constexpr DWORD kExpectedSectionName = 0xE0000000;
constexpr DWORD kBadSectionNameLine = 0xE0000001;
constexpr DWORD kSectionNameTooLong = 0xE0000002;
constexpr DWORD kWrongInfStyle = 0xE0000100;

constexpr char kHeader[] = "[Version]\r\nSignature=\"$Windows NT$\"\r\n";

class InfCalls : public PlatformContract {
protected:
    HINF Open(const std::string &contents, UINT *errorLine = nullptr) {
        EXPECT_TRUE(WriteWholeFile(Path(u"test.inf"), contents));
        return platform.SetupOpenInfFileW(Path(u"test.inf").c_str(), nullptr, INF_STYLE_WIN4,
                                          errorLine);
    }
    std::u16string Field(const InfContext &context, DWORD index) {
        char16_t buffer[512]{};
        if (!platform.SetupGetStringFieldW(&context, index, buffer, 512, nullptr)) return u"<none>";
        return buffer;
    }
    // The key and fields of the first line of [Test].
    std::vector<std::u16string> FirstLine(const std::string &lines) {
        HINF inf = Open(std::string(kHeader) + "[Test]\n" + lines);
        EXPECT_NE(inf, InvalidHandleValue());
        InfContext context{};
        std::vector<std::u16string> parts;
        if (platform.SetupFindFirstLineW(inf, u"Test", nullptr, &context))
            for (DWORD i = 0; i < 12; ++i) {
                const std::u16string field = Field(context, i);
                if (field == u"<none>" && i > 0) break;
                parts.push_back(field);
            }
        platform.SetupCloseInfFile(inf);
        return parts;
    }
};

TEST_F(InfCalls, OnlyWindows4InfsOpenInThatStyle) {
    // INF_STYLE_WIN4 needs a [Version] signature of the Windows 4 family
    // (any case, anywhere in the section); otherwise ERROR_WRONG_INF_STYLE.
    struct Case {
        const char *contents;
        DWORD error;
    };
    const std::vector<Case> cases = {
        {"[version]\nsignature=$chicago$\n", ERROR_SUCCESS},
        {"[Version]\nabc=def\n[Version]\nSignature=\"$Windows 95$\"\n", ERROR_SUCCESS},
        {"[Version]\nSignature=$Windows NT$,more\n", ERROR_SUCCESS},
        {"\r\n", kWrongInfStyle},
        {"[Version]\r\n", kWrongInfStyle},
        {"[Version]\nSignature=foo\n", kWrongInfStyle},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.contents);
        platform.SetLastError(0);
        HINF inf = Open(c.contents);
        EXPECT_EQ(inf == InvalidHandleValue(), c.error != ERROR_SUCCESS);
        if (c.error != ERROR_SUCCESS) {
            EXPECT_EQ(platform.GetLastError(), c.error);
        }
        platform.SetupCloseInfFile(inf);
    }
    EXPECT_EQ(
        platform.SetupOpenInfFileW(Path(u"none.inf").c_str(), nullptr, INF_STYLE_WIN4, nullptr),
        InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(InfCalls, SyntaxErrorsNameTheirLine) {
    // An unclosed section name and text before the first section are
    // refused with the line they stand on; [Strings] may follow such text.
    struct Case {
        std::string contents;
        DWORD error;
        UINT line;
    };
    const std::vector<Case> cases = {
        {std::string(kHeader) + "[ab\r\n", kBadSectionNameLine, 3},
        {";comment\ngarbage\n[abc]\n" + std::string(kHeader), kExpectedSectionName, 2},
        {"garbage\n[Strings]\n" + std::string(kHeader), ERROR_SUCCESS, 0},
        {std::string(kHeader) + "[" + std::string(256, 'a') + "]\n", kSectionNameTooLong, 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.contents);
        UINT line = 77;
        platform.SetLastError(0);
        HINF inf = Open(c.contents, &line);
        EXPECT_EQ(platform.GetLastError(), c.error);
        if (OnWine() && c.error == ERROR_SUCCESS) {
            // Wine 8.0 leaves the error line alone when the INF opens;
            // Windows sets it to 0.
            EXPECT_EQ(line, 77u);
        } else {
            EXPECT_EQ(line, c.line);
        }
        platform.SetupCloseInfFile(inf);
    }
}

TEST_F(InfCalls, LinesSplitIntoKeysAndFieldsAsWindowsReadsThem) {
    // Field 0 is the key; a lone field is its own key; several fields
    // without '=' have none. Quotes protect commas and '='; "" inside
    // quotes is a quote; ';' outside quotes starts a comment; a trailing
    // backslash joins the next line; blanks around fields go.
    struct Case {
        const char *line;
        std::vector<std::u16string> parts;  // key (or <none>), then the fields
    };
    const std::vector<Case> cases = {
        {"ab=cd,ef,gh", {u"ab", u"cd", u"ef", u"gh"}},
        {"ab", {u"ab", u"ab"}},
        {"ab,cd=ef", {u"<none>", u"ab", u"cd=ef"}},
        {" a b = c ,\" d\" ", {u"a b", u"c", u" d"}},
        {"ab=cd\",\"ef", {u"ab", u"cd,ef"}},
        {"ab\"\"\"cd,ef=gh\"", {u"ab\"cd,ef=gh", u"ab\"cd,ef=gh"}},
        {"a=b,,\"\",c ; comment, not a field", {u"a", u"b", u"", u"", u"c"}},
        {"ab  \\  \ncd=ef", {u"abcd", u"ef"}},
        {"ba=c \\ ;note\n \\ \n a", {u"ba", u"ca"}},
        {"a=b\\\\c", {u"a", u"b\\\\c"}},
        {"a=", {u"a", u""}},
        {"\"DriverVer\" = 05/07/2016,8.045.0507.2016",
         {u"DriverVer", u"05/07/2016", u"8.045.0507.2016"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(FirstLine(c.line), c.parts);
    }
}

TEST_F(InfCalls, StringsAreSubstitutedOnceInKeysAndFields) {
    // %name% comes from [Strings] (case folded), %% is a percent sign, an
    // unknown name stays, a substituted text is not read again, and %10%
    // is the Windows folder.
    char16_t windows[260] = {};
    platform.GetWindowsDirectoryW(windows, 260);
    const std::string strings = "\n[Strings]\nMfg=\"Corvane, Inc.\"\nloop=%other%\nDESC=Adapter\n";
    EXPECT_EQ(FirstLine("%desc%=%MFG%,100%%,%nothing%,%loop%,%10%\\inf" + strings),
              (std::vector<std::u16string>{u"Adapter", u"Corvane, Inc.", u"100%", u"%nothing%",
                                           u"%other%", std::u16string(windows) + u"\\inf"}));
    HINF inf = Open(std::string(kHeader) + "[Test]\n%desc%=x\n" + strings);
    InfContext context{};
    EXPECT_TRUE(platform.SetupFindFirstLineW(inf, u"test", u"ADAPTER", &context));
    EXPECT_FALSE(platform.SetupFindFirstLineW(inf, u"Test", u"%desc%", &context));
    EXPECT_EQ(platform.GetLastError(), ERROR_LINE_NOT_FOUND);
    platform.SetupCloseInfFile(inf);
}

TEST_F(InfCalls, LinesAreFoundByKeyAndWalkedInOrder) {
    // Windows reports ERROR_LINE_NOT_FOUND for a missing section too; the
    // walk ends with ERROR_LINE_NOT_FOUND after the last line; sections
    // of the same name are one section.
    HINF inf = Open(std::string(kHeader) +
                    "[Version]\nDriverVer=05/07/2016,8.045.0507.2016\n[Empty]\n; nothing\n");
    InfContext context{};
    ASSERT_TRUE(platform.SetupFindFirstLineW(inf, u"VERSION", nullptr, &context));
    EXPECT_EQ(Field(context, 0), u"Signature");
    InfContext next{};
    ASSERT_TRUE(platform.SetupFindNextLine(&context, &next));
    EXPECT_EQ(Field(next, 1), u"05/07/2016");
    EXPECT_EQ(Field(next, 2), u"8.045.0507.2016");
    EXPECT_FALSE(platform.SetupFindNextLine(&next, &next));
    EXPECT_EQ(platform.GetLastError(), ERROR_LINE_NOT_FOUND);
    for (const char16_t *section : {u"Empty", u"Missing"}) {
        EXPECT_FALSE(platform.SetupFindFirstLineW(inf, section, nullptr, &context));
        EXPECT_EQ(platform.GetLastError(), ERROR_LINE_NOT_FOUND);
    }
    platform.SetupCloseInfFile(inf);
}

TEST_F(InfCalls, StringFieldsFollowTheSizeQueryProtocol) {
    // Sizes count characters with the terminator; no buffer asks for the
    // size; a short buffer fails with ERROR_INSUFFICIENT_BUFFER; a field
    // past the end fails with ERROR_INVALID_PARAMETER.
    HINF inf = Open(std::string(kHeader) + "[Test]\nkey=value\n");
    InfContext context{};
    ASSERT_TRUE(platform.SetupFindFirstLineW(inf, u"Test", u"key", &context));
    DWORD required = 0;
    EXPECT_TRUE(platform.SetupGetStringFieldW(&context, 1, nullptr, 0, &required));
    EXPECT_EQ(required, 6u);
    char16_t buffer[6]{};
    EXPECT_FALSE(platform.SetupGetStringFieldW(&context, 1, buffer, 5, &required));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(required, 6u);
    EXPECT_TRUE(platform.SetupGetStringFieldW(&context, 1, buffer, 6, nullptr));
    EXPECT_EQ(std::u16string(buffer), u"value");
    platform.SetLastError(0xDEAD);
    EXPECT_FALSE(platform.SetupGetStringFieldW(&context, 2, buffer, 6, &required));
    if (OnWine()) {
        // Wine 8.0 refuses a field past the end with the last error 0;
        // Windows sets ERROR_INVALID_PARAMETER.
        EXPECT_EQ(platform.GetLastError(), 0u);
    } else {
        EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_PARAMETER);
    }
    platform.SetupCloseInfFile(inf);
}

TEST_F(InfCalls, UnicodeAndUtf8FilesReadLikeAnsiOnes) {
    const std::string text = std::string(kHeader) + "[Test]\nname=\xC3\xA9t\xC3\xA9\n";
    std::string utf16 = "\xFF\xFE";
    for (const char16_t c :
         u"[Version]\r\nSignature=$Chicago$\r\n[Test]\r\nname=\u00e9t\u00e9\r\n") {
        if (c == u'\0') break;
        utf16.push_back(static_cast<char>(c & 0xFF));
        utf16.push_back(static_cast<char>(c >> 8));
    }
    for (const std::string &contents : {"\xEF\xBB\xBF" + text, utf16}) {
        HINF inf = Open(contents);
        InfContext context{};
        ASSERT_TRUE(platform.SetupFindFirstLineW(inf, u"Test", u"name", &context));
        EXPECT_EQ(Field(context, 1), u"\u00e9t\u00e9");
        platform.SetupCloseInfFile(inf);
    }
}

TEST_F(InfCalls, FolderListsNameWindows4InfsOnly) {
    // SetupGetInfFileList gives names, each with its zero and a final zero,
    // leaving out files of another style; no buffer asks for the size.
    ASSERT_TRUE(WriteWholeFile(Path(u"b.inf"), kHeader));
    ASSERT_TRUE(WriteWholeFile(Path(u"a.INF"), "[version]\nsignature=$chicago$\n"));
    ASSERT_TRUE(WriteWholeFile(Path(u"old.inf"), "[Identification]\nOptionType=NetAdapter\n"));
    ASSERT_TRUE(WriteWholeFile(Path(u"readme.txt"), kHeader));
    const std::u16string folder = machine().ScratchFolder();
    const std::u16string bare = folder.substr(0, folder.size() - 1);
    DWORD required = 0;
    ASSERT_TRUE(
        platform.SetupGetInfFileListW(folder.c_str(), INF_STYLE_WIN4, nullptr, 0, &required));
    EXPECT_EQ(required, 13u);
    std::u16string list(required, u'?');
    const BOOL shortList =
        platform.SetupGetInfFileListW(bare.c_str(), INF_STYLE_WIN4, list.data(), 12, &required);
    if (WineUnicodeAnswers()) {
        // Wine 8.0 fills a buffer one character short without the final
        // zero and succeeds; Windows refuses it with
        // ERROR_INSUFFICIENT_BUFFER.
        EXPECT_TRUE(shortList);
    } else {
        EXPECT_FALSE(shortList);
        EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    }
    EXPECT_EQ(required, 13u);
    ASSERT_TRUE(platform.SetupGetInfFileListW(bare.c_str(), INF_STYLE_WIN4, list.data(), required,
                                              nullptr));
    const bool aFirst = list.substr(0, 6) == std::u16string(u"a.INF\0", 6);
    EXPECT_EQ(list, aFirst ? std::u16string(u"a.INF\0b.inf\0\0", 13)
                           : std::u16string(u"b.inf\0a.INF\0\0", 13));
    const BOOL missingFolder = platform.SetupGetInfFileListW(Path(u"nowhere").c_str(),
                                                             INF_STYLE_WIN4, nullptr, 0, &required);
    if (OnWine()) {
        // Wine 8.0 lists a missing folder as an empty one; Windows fails
        // with ERROR_PATH_NOT_FOUND.
        EXPECT_TRUE(missingFolder);
    } else {
        EXPECT_FALSE(missingFolder);
        EXPECT_EQ(platform.GetLastError(), ERROR_PATH_NOT_FOUND);
    }
}

TEST_F(InfCalls, ThePackageVersionIsTheSecondFieldOfDriverVer) {
    // The install flows read the package's version through the INF reader:
    // blanks around fields and comments do not reach it.
    struct PackageInf {
        const char *name;
        const char *text;
        const char16_t *version;
    };
    const PackageInf infs[] = {
        {"blanks around the fields",
         "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Net\r\n"
         "DriverVer = 05/07/2016, 8.045.0507.2016\r\n",
         u"8.45.507.2016"},
        {"a comment after the version",
         "[version]\r\nSignature=\"$Windows NT$\"\r\nClass=Net\r\nProvider=Corvane\r\n"
         "DriverVer=11/15/2016,10.013.1115.2016 ; release build\r\n",
         u"10.13.1115.2016"},
        {"no DriverVer line", "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Net\r\n", u""},
    };
    const std::u16string path = Path(u"cvlpackage.inf");
    for (const PackageInf &inf : infs) {
        SCOPED_TRACE(inf.name);
        ASSERT_TRUE(WriteWholeFile(path, inf.text));
        RunState state(platform);
        state.PackageInfPath = path;
        LoadPackageDriverVersion(platform, state);
        EXPECT_EQ(state.PackageDriverVersion, inf.version);
    }
}

}  // namespace
}  // namespace cvl::contract

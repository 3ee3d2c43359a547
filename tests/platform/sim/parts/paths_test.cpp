// How the machine reads path, pattern, command-line and GUID texts.
#include "platform/sim/parts/paths.h"
#include "platform/guid_text.h"

#include <optional>

#include "common/text.h"

#include <gtest/gtest.h>

namespace cvl::sim {
namespace {

WinPath CurrentFolder() {
    return *ResolveWinPath(u"C:\\setup\\bin", WinPath{});
}

TEST(SimPaths, Win32PathFormsResolveToOneFullPath) {
    const struct {
        const char16_t *text;
        const char16_t *full;  // null: no path
    } cases[] = {
        {u"C:\\Windows\\INF", u"C:\\Windows\\INF"},
        {u"c:\\\\InstallLog.txt", u"C:\\InstallLog.txt"},
        {u"\\INST.TXT", u"C:\\INST.TXT"},
        {u"log.txt", u"C:\\setup\\bin\\log.txt"},
        {u"..\\..\\..\\x", u"C:\\x"},
        {u".\\a\\.\\b\\..\\c", u"C:\\setup\\bin\\a\\c"},
        {u"d:x", u"D:\\x"},
        {u"C:x", u"C:\\setup\\bin\\x"},
        {u"C:/a//b/", u"C:\\a\\b"},
        {u"C:\\name. . ", u"C:\\name"},
        {u"\\\\?\\C:\\long", u"C:\\long"},
        {u"\\\\server\\share", nullptr},
        {u"", nullptr},
        {u"1:\\x", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.text)));
        const auto path = ResolveWinPath(c.text, CurrentFolder());
        ASSERT_EQ(path.has_value(), c.full != nullptr);
        if (path) {
            EXPECT_EQ(path->Text(), c.full);
        }
    }
}

TEST(SimPaths, WildcardsFollowFindFirstFile) {
    const struct {
        const char16_t *pattern;
        const char16_t *name;
        bool matches;
    } cases[] = {
        {u"*.inf", u"oem3.INF", true},    {u"*.inf", u"oem3.pnf", false},
        {u"oem?.inf", u"oem3.inf", true}, {u"oem?.inf", u"oem12.inf", false},
        {u"*", u"anything", true},        {u"*.*", u"noext", true},
        {u"oem*.*", u"oem", true},        {u"a*b*c", u"axxbyyc", true},
        {u"a*b*c", u"axxbyy", false},     {u"net.inf", u"NET.inf", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.pattern) + u" / " + c.name));
        EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.matches);
    }
}

TEST(SimPaths, CommandLinesYieldImageCandidates) {
    using Names = std::vector<std::u16string>;
    EXPECT_EQ(ImageCandidates(u"C:\\Program Files\\x.exe  a b"),
              (Names{u"C:\\Program", u"C:\\Program Files\\x.exe", u"C:\\Program Files\\x.exe  a",
                     u"C:\\Program Files\\x.exe  a b"}));
    EXPECT_EQ(ImageCandidates(u"\"C:\\Program Files\\x.exe \" a"),
              (Names{u"C:\\Program Files\\x.exe"}));
    EXPECT_EQ(ImageCandidates(u"pnputil.exe "), (Names{u"pnputil.exe"}));
}

TEST(SimPaths, RegistryPathsNameTheirHive) {
    const auto path = ParseRegPath(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\\\CVLSetup\\");
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(path->hive, RegHive::LocalMachine);
    EXPECT_EQ(path->parts, (std::vector<std::u16string>{u"SOFTWARE", u"CVLSetup"}));
    EXPECT_FALSE(ParseRegPath(u"HKCR\\x").has_value());
    EXPECT_FALSE(SplitSubKey(u"\\SOFTWARE").has_value());
}

TEST(SimPaths, RegistryPathsReadAsViewsGiveTheSameNames) {
    struct Case {
        std::u16string_view path;
        std::optional<RegHive> hive;
        std::vector<std::u16string> names;
    };
    const Case cases[] = {
        {u"hklm", RegHive::LocalMachine, {}},
        {u"HkCu\\", RegHive::CurrentUser, {}},
        {u"HKEY_CURRENT_USER\\a", RegHive::CurrentUser, {u"a"}},
        {u"HKLM\\\\x\\\\\\y\\", RegHive::LocalMachine, {u"x", u"y"}},
        {u"HKLMX\\a", std::nullopt, {}},
        {u"", std::nullopt, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(ToUtf8(c.path));
        const auto view = SplitRegPath(c.path);
        ASSERT_EQ(view.has_value(), c.hive.has_value());
        if (!view) continue;
        EXPECT_EQ(view->hive, *c.hive);
        std::vector<std::u16string> names;
        std::u16string_view rest = view->below;
        for (auto name = TakeRegPathName(rest); !name.empty(); name = TakeRegPathName(rest))
            names.emplace_back(name);
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(ParseRegPath(c.path)->parts, c.names);
    }
}

TEST(SimPaths, ClassKeyNamesParseAsGuids) {
    const auto guid = win::ParseGuid(u"{4D36E972-e325-11ce-BFC1-08002be10318}");
    ASSERT_TRUE(guid.has_value());
    EXPECT_EQ(guid->data1, 0x4d36e972u);
    EXPECT_EQ(guid->data2, 0xe325);
    EXPECT_EQ(guid->data3, 0x11ce);
    EXPECT_EQ(guid->data4[0], 0xbf);
    EXPECT_EQ(guid->data4[7], 0x18);
    for (const char16_t *bad :
         {u"4d36e972-e325-11ce-bfc1-08002be10318", u"0000",
          u"{4d36e972-e325-11ce-bfc1-08002be1031g}", u"{4d36e972+e325-11ce-bfc1-08002be10318}"})
        EXPECT_FALSE(win::ParseGuid(bad).has_value());
}

}  // namespace
}  // namespace cvl::sim

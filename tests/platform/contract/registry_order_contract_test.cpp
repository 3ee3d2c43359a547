// The order RegEnumKeyEx and RegEnumValue give: Windows keeps a key's
// subkeys sorted by their upper-cased names and its values in the order they
// were first written, whatever order the subkeys were made in.
#include <string>
#include <vector>

#include "contract_machine.h"

namespace cvl::contract {
namespace {

using RegistryOrder = PlatformContract;

TEST_F(RegistryOrder, SubkeysComeSortedByTheirUpperCasedNames) {
    // Names that differ in case, in digits, in "_" and in the other
    // characters between "Z" and "a" ("[", "^", "`"), made in the reverse of
    // the order Windows lists them in.
    const std::vector<std::u16string> windowsOrder{u"10",   u"9",   u"aB",   u"alpha", u"a_b",
                                                   u"Beta", u"Bz",  u"B_x",  u"XZ",    u"x[y",
                                                   u"x^y",  u"x`y", u"zeta", u"_under"};
    for (auto name = windowsOrder.rbegin(); name != windowsOrder.rend(); ++name)
        platform.RegCloseKey(CreateKey(*name));

    HKEY key = OpenKey({}, KEY_READ);
    const std::vector<std::u16string> listed = SubkeyNames(platform, key);
    platform.RegCloseKey(key);
    if (OnWine()) {
        // Wine 8.0 sorts by the lower-cased names: "_" and the characters
        // between "Z" and "a" then come before every letter.
        EXPECT_EQ(listed, (std::vector<std::u16string>{u"10", u"9", u"_under", u"a_b", u"aB",
                                                       u"alpha", u"B_x", u"Beta", u"Bz", u"x[y",
                                                       u"x^y", u"x`y", u"XZ", u"zeta"}));
    } else {
        EXPECT_EQ(listed, windowsOrder);
    }
}

TEST_F(RegistryOrder, ASubkeyMadeAgainTakesItsSortedPlace) {
    // A deleted subkey made again, in another case, is listed where its name
    // sorts, not last; names equal but for case are one key.
    for (const char16_t *name : {u"c", u"B", u"a"}) platform.RegCloseKey(CreateKey(name));
    HKEY key = OpenKey({});
    ASSERT_EQ(platform.RegDeleteKeyW(key, u"b"), ERROR_SUCCESS);
    platform.RegCloseKey(CreateKey(u"b"));
    platform.RegCloseKey(CreateKey(u"A"));
    EXPECT_EQ(SubkeyNames(platform, key), (std::vector<std::u16string>{u"a", u"b", u"c"}));
    platform.RegCloseKey(key);
}

TEST_F(RegistryOrder, ValuesKeepTheOrderTheyWereFirstWrittenIn) {
    // Rewriting a value, in another case, keeps its place and its first
    // spelling; a value deleted and written again goes last.
    HKEY key = CreateKey({});
    const DWORD one = 1;
    for (const char16_t *name : {u"zeta", u"_under", u"Beta", u"a_b", u"aB", u"10"})
        platform.RegSetValueExW(key, name, REG_DWORD, Bytes(&one), sizeof one);
    platform.RegSetValueExW(key, u"ZETA", REG_DWORD, Bytes(&one), sizeof one);
    platform.RegDeleteValueW(key, u"beta");
    platform.RegSetValueExW(key, u"Beta", REG_DWORD, Bytes(&one), sizeof one);
    const std::vector<std::u16string> listed = ValueNames(platform, key);
    platform.RegCloseKey(key);
    if (OnWine()) {
        // Wine 8.0 returns values sorted by their lower-cased names.
        EXPECT_EQ(listed,
                  (std::vector<std::u16string>{u"10", u"_under", u"a_b", u"aB", u"Beta", u"zeta"}));
    } else {
        EXPECT_EQ(listed,
                  (std::vector<std::u16string>{u"zeta", u"_under", u"a_b", u"aB", u"10", u"Beta"}));
    }
}

}  // namespace
}  // namespace cvl::contract

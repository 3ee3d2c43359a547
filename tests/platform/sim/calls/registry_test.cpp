// The registry of the simulated machine beyond what every machine shares
// (tests/platform/contract): the 9x family, the order it keeps, seeding and
// faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/contract/contract_machine.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {
namespace {

constexpr char16_t kKey[] = u"SOFTWARE\\CVLSetup";
constexpr char16_t kSeedKey[] = u"HKLM\\SOFTWARE\\CVLSetup";

class RegistryContract : public ::testing::Test {
protected:
    HKEY Open(const char16_t *subKey, REGSAM sam = KEY_ALL_ACCESS) {
        HKEY key = nullptr;
        EXPECT_EQ(platform.RegOpenKeyExW(HKeyLocalMachine(), subKey, 0, sam, &key), ERROR_SUCCESS);
        return key;
    }

    SimulatedPlatform sim;
    Platform &platform = sim;
};

TEST_F(RegistryContract, DeletingAKeyWithSubkeysDependsOnTheSystemFamily) {
    // RegDeleteKey: the NT family refuses a key that has subkeys with
    // ERROR_ACCESS_DENIED; the 9x family deletes the whole tree.
    struct Case {
        const char *family;
        DWORD platformId;
        LSTATUS status;
        bool treeLeft;
    };
    const Case cases[] = {
        {"NT", VER_PLATFORM_WIN32_NT, ERROR_ACCESS_DENIED, true},
        {"9x", VER_PLATFORM_WIN32_WINDOWS, ERROR_SUCCESS, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.family);
        SimulatedPlatform machine;
        machine.Setup().SetVersion(c.platformId, 4, 10);
        machine.Setup().CreateRegKey(u"HKLM\\SOFTWARE\\CVLSetup\\PCIE\\Deep");
        EXPECT_EQ(machine.RegDeleteKeyW(HKeyLocalMachine(), u"SOFTWARE\\CVLSetup"), c.status);
        EXPECT_EQ(machine.Setup().RegKeyExists(u"HKLM\\SOFTWARE\\CVLSetup\\PCIE\\Deep"),
                  c.treeLeft);
        // A leaf goes on both.
        EXPECT_EQ(machine.RegDeleteKeyW(HKeyLocalMachine(), u"SOFTWARE\\CVLSetup\\PCIE\\Deep"),
                  c.treeLeft ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    }
}

TEST_F(RegistryContract, EnumerationIsByIndexInWindowsOrder) {
    // RegEnumKeyEx/RegEnumValueW walk indexes 0, 1, 2 ... until
    // ERROR_NO_MORE_ITEMS: subkeys sorted by their upper-cased names, values
    // in the order they were written; keys seeded through the helpers too.
    for (const char16_t *name : {u"Zeta", u"alpha", u"Mid"}) {
        sim.Setup().CreateRegKey(std::u16string(kSeedKey) + u"\\" + name);
        sim.Setup().SetRegDword(kSeedKey, name, 7);
    }
    HKEY key = Open(kKey, KEY_READ);
    const std::vector<std::u16string> keys = contract::SubkeyNames(platform, key);
    const std::vector<std::u16string> values = contract::ValueNames(platform, key);
    EXPECT_EQ(keys, (std::vector<std::u16string>{u"alpha", u"Mid", u"Zeta"}));
    EXPECT_EQ(values, (std::vector<std::u16string>{u"Zeta", u"alpha", u"Mid"}));
    platform.RegCloseKey(key);
}

TEST_F(RegistryContract, NamesStayFoundThroughDeletionsAndRewrites) {
    // Many keys and values, made out of order, deleted from the middle and
    // written again: each is still found by any spelling with its own data,
    // the subkeys stay sorted and the values keep their written order.
    const std::u16string parent = kSeedKey;
    std::vector<std::u16string> written;
    for (int i = 0; i < 40; ++i) {
        // Unique names, made in scrambled order: "Value0", "Value7", "Value14"...
        std::u16string name = u"Value";
        for (const char c : std::to_string((i * 7) % 40)) name += static_cast<char16_t>(c);
        written.push_back(name);
        sim.Setup().CreateRegKey(parent + u"\\" + name);
        sim.Setup().SetRegDword(parent, name, static_cast<DWORD>(i));
    }
    for (int i = 5; i < 40; i += 3) {
        ASSERT_TRUE(sim.Setup().DeleteRegValue(parent, written[i]));
        ASSERT_TRUE(sim.Setup().DeleteRegTree(parent + u"\\" + written[i]));
    }
    ASSERT_TRUE(sim.Setup().SetRegDword(parent, written[8], 800));  // deleted above: now last
    ASSERT_TRUE(sim.Setup().CreateRegKey(parent + u"\\" + written[8]));

    std::vector<std::u16string> expectedValues;
    for (int i = 0; i < 40; ++i) {
        const bool deleted = i >= 5 && (i - 5) % 3 == 0;
        const std::u16string lower = u"vALUE" + written[i].substr(5);
        SCOPED_TRACE(i);
        if (i == 8) {
            EXPECT_EQ(sim.Setup().GetRegDword(parent, lower), 800u);
        } else if (deleted) {
            EXPECT_FALSE(sim.Setup().GetRegDword(parent, lower));
            EXPECT_FALSE(sim.Setup().RegKeyExists(parent + u"\\" + lower));
        } else {
            EXPECT_EQ(sim.Setup().GetRegDword(parent, lower), static_cast<DWORD>(i));
            EXPECT_TRUE(sim.Setup().RegKeyExists(parent + u"\\" + lower));
            expectedValues.push_back(written[i]);
        }
    }
    expectedValues.push_back(written[8]);
    std::vector<std::u16string> values;
    for (const auto &[name, value] : sim.Setup().RegValues(parent)) values.push_back(name);
    EXPECT_EQ(values, expectedValues);
    const std::vector<std::u16string> keys = sim.Setup().RegSubkeyNames(parent);
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    EXPECT_EQ(keys.size(), expectedValues.size());
}

TEST_F(RegistryContract, The9xFamilyHasNoKeySecurity) {
    // Windows 9x lets a handle opened for reading write; NT refuses it (a
    // contract case).
    sim.Setup().CreateRegKey(kSeedKey);
    const DWORD one = 1;
    sim.Setup().SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    HKEY key = Open(kKey, KEY_READ);
    EXPECT_EQ(
        platform.RegSetValueExW(key, u"X", REG_DWORD, reinterpret_cast<const BYTE *>(&one), 4),
        ERROR_SUCCESS);
    platform.RegCloseKey(key);
}

TEST_F(RegistryContract, SeedingAcceptsBothSpellingsOfEachHive) {
    struct Case {
        const char16_t *path;
        HKEY root;
    };
    const Case cases[] = {
        {u"HKLM\\SOFTWARE\\S1", HKeyLocalMachine()},
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\S2", HKeyLocalMachine()},
        {u"HKCU\\Software\\S3", HKeyCurrentUser()},
        {u"hkey_current_user\\Software\\S4", HKeyCurrentUser()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.path)));
        ASSERT_TRUE(sim.Setup().SetRegDword(c.path, u"V", 5));
        const std::u16string subKey(
            std::u16string_view(c.path).substr(std::u16string_view(c.path).find(u'\\') + 1));
        HKEY key = nullptr;
        ASSERT_EQ(platform.RegOpenKeyExW(c.root, subKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
        platform.RegCloseKey(key);
    }
    EXPECT_FALSE(sim.Setup().SetRegDword(u"HKU\\S5", u"V", 5));
}

TEST_F(RegistryContract, EveryRegistryCallCanBeMadeToFail) {
    // A fault makes the call return the chosen code and change nothing.
    sim.Setup().CreateRegKey(kSeedKey);
    HKEY key = Open(kKey);
    const DWORD one = 1;
    char16_t name[16];
    DWORD size = 16;
    struct Case {
        Op operation;
        std::function<LSTATUS()> call;
    };
    const std::vector<Case> cases = {
        {Op::RegOpenKeyExW,
         [&] {
             HKEY k = nullptr;
             return platform.RegOpenKeyExW(HKeyLocalMachine(), kKey, 0, KEY_READ, &k);
         }},
        {Op::RegCreateKeyExW,
         [&] {
             HKEY k = nullptr;
             return platform.RegCreateKeyExW(key, u"New", 0, KEY_ALL_ACCESS, &k, nullptr);
         }},
        {Op::RegQueryValueExW,
         [&] { return platform.RegQueryValueExW(key, u"", nullptr, nullptr, &size); }},
        {Op::RegSetValueExW,
         [&] {
             return platform.RegSetValueExW(key, u"V", REG_DWORD,
                                            reinterpret_cast<const BYTE *>(&one), 4);
         }},
        {Op::RegDeleteKeyW, [&] { return platform.RegDeleteKeyW(key, u"New"); }},
        {Op::RegDeleteValueW, [&] { return platform.RegDeleteValueW(key, u"V"); }},
        {Op::RegEnumKeyExW, [&] { return platform.RegEnumKeyExW(key, 0, name, &size); }},
        {Op::RegEnumValueW,
         [&] { return platform.RegEnumValueW(key, 0, name, &size, nullptr, nullptr, nullptr); }},
        {Op::RegCloseKey, [&] { return platform.RegCloseKey(key); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.operation);
        sim.Setup().Fail(c.operation, ERROR_GEN_FAILURE, 1);
        EXPECT_EQ(c.call(), static_cast<LSTATUS>(ERROR_GEN_FAILURE));
    }
    EXPECT_FALSE(sim.Setup().RegKeyExists(u"HKLM\\SOFTWARE\\CVLSetup\\New"));
    EXPECT_FALSE(sim.Setup().GetRegValue(kSeedKey, u"V").has_value());
    EXPECT_EQ(platform.RegCloseKey(key), ERROR_SUCCESS);
}

}  // namespace
}  // namespace cvl::sim

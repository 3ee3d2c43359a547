// The registry behaviour the system relies on, checked through the Platform
// interface; the machine is only seeded and read back from outside.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

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

TEST_F(RegistryContract, CreateMakesEveryMissingParentAndReportsWhatItDid) {
    // RegCreateKeyEx creates the intermediate keys and says whether the last
    // one was created or only opened.
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(platform.RegCreateKeyExW(HKeyLocalMachine(), u"SOFTWARE\\A\\B\\C", 0, KEY_ALL_ACCESS,
                                       &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_TRUE(sim.RegKeyExists(u"HKLM\\SOFTWARE\\A\\B"));
    EXPECT_EQ(platform.RegCloseKey(key), ERROR_SUCCESS);

    ASSERT_EQ(platform.RegCreateKeyExW(HKeyLocalMachine(), u"software\\a\\b\\c", 0, KEY_ALL_ACCESS,
                                       &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(platform.RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(sim.OpenHandleCount(), 0u);
}

TEST_F(RegistryContract, NamesFoldCaseButKeepTheirSpelling) {
    // Key and value names are case-insensitive; enumeration returns them as
    // they were first written.
    sim.SetRegString(u"HKLM\\SOFTWARE\\CVLSetup\\Vista_B701", u"InfName", u"oem3.inf");
    HKEY key = Open(u"software\\cvlsetup");
    char16_t name[64];
    DWORD nameSize = 64;
    ASSERT_EQ(platform.RegEnumKeyExW(key, 0, name, &nameSize), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"Vista_B701");
    EXPECT_EQ(nameSize, 10u);
    HKEY subkey = nullptr;
    ASSERT_EQ(platform.RegOpenKeyExW(key, u"VISTA_B701", 0, KEY_READ, &subkey), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(platform.RegQueryValueExW(subkey, u"INFNAME", nullptr, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 18u);
    platform.RegCloseKey(subkey);
    platform.RegCloseKey(key);
}

TEST_F(RegistryContract, QueryFollowsTheMoreDataProtocol) {
    // RegQueryValueEx: no buffer asks for the size; a short buffer gets
    // ERROR_MORE_DATA with the size needed and stays untouched; a missing
    // value is ERROR_FILE_NOT_FOUND; a buffer without a size is refused.
    sim.SetRegString(kSeedKey, u"SourcePath", u"C:\\pkg");  // 14 bytes with the zero
    HKEY key = Open(kKey, KEY_READ);
    struct Case {
        const char *rule;
        const char16_t *value;
        bool withBuffer;
        DWORD capacity;
        LSTATUS status;
        DWORD sizeAfter;
        bool copied;
    };
    const Case cases[] = {
        {"size query", u"SourcePath", false, 0, ERROR_SUCCESS, 14, false},
        {"short buffer", u"SourcePath", true, 13, ERROR_MORE_DATA, 14, false},
        {"exact buffer", u"SourcePath", true, 14, ERROR_SUCCESS, 14, true},
        {"large buffer", u"SourcePath", true, 64, ERROR_SUCCESS, 14, true},
        {"missing value", u"NoSuchValue", true, 64, ERROR_FILE_NOT_FOUND, 64, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rule);
        BYTE buffer[64];
        std::memset(buffer, 0xAB, sizeof buffer);
        DWORD type = 0;
        DWORD size = c.capacity;
        EXPECT_EQ(
            platform.RegQueryValueExW(key, c.value, &type, c.withBuffer ? buffer : nullptr, &size),
            c.status);
        EXPECT_EQ(size, c.sizeAfter);
        if (c.status != ERROR_FILE_NOT_FOUND) {
            EXPECT_EQ(type, REG_SZ);
        }
        EXPECT_EQ(buffer[0], c.copied ? 'C' : 0xAB);
    }
    BYTE buffer[4];
    EXPECT_EQ(platform.RegQueryValueExW(key, u"SourcePath", nullptr, buffer, nullptr),
              ERROR_INVALID_PARAMETER);
    platform.RegCloseKey(key);
}

TEST_F(RegistryContract, StringStoredWithoutItsZeroGetsOneWhenTheBufferHasRoom) {
    // NT terminates a REG_SZ read whose data lacks the zero when it fits.
    sim.SetRegValue(kSeedKey, u"Raw", REG_SZ, {'a', 0, 'b', 0});
    HKEY key = Open(kKey, KEY_READ);
    BYTE buffer[8];
    std::memset(buffer, 0xFF, sizeof buffer);
    DWORD size = sizeof buffer;
    ASSERT_EQ(platform.RegQueryValueExW(key, u"Raw", nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);  // the size is that of the stored data
    EXPECT_EQ(buffer[4], 0);
    EXPECT_EQ(buffer[5], 0);
    platform.RegCloseKey(key);
}

TEST_F(RegistryContract, OpeningAMissingOrMalformedPathFails) {
    // RegOpenKeyEx: a missing key is ERROR_FILE_NOT_FOUND and the result is
    // cleared; a name may not begin with a backslash.
    HKEY key = reinterpret_cast<HKEY>(0x1234);
    EXPECT_EQ(platform.RegOpenKeyExW(HKeyLocalMachine(), u"SOFTWARE\\Nothing", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(platform.RegOpenKeyExW(HKeyLocalMachine(), u"\\SOFTWARE", 0, KEY_READ, &key),
              static_cast<LSTATUS>(ERROR_BAD_PATHNAME));
    // An empty name on a root key hands back that root key itself.
    ASSERT_EQ(platform.RegOpenKeyExW(HKeyCurrentUser(), u"", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(key, HKeyCurrentUser());
    EXPECT_EQ(sim.OpenHandleCount(), 0u);
}

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
        machine.SetVersion(c.platformId, 4, 10);
        machine.CreateRegKey(u"HKLM\\SOFTWARE\\CVLSetup\\PCIE\\Deep");
        EXPECT_EQ(machine.RegDeleteKeyW(HKeyLocalMachine(), u"SOFTWARE\\CVLSetup"), c.status);
        EXPECT_EQ(machine.RegKeyExists(u"HKLM\\SOFTWARE\\CVLSetup\\PCIE\\Deep"), c.treeLeft);
        // A leaf goes on both.
        EXPECT_EQ(machine.RegDeleteKeyW(HKeyLocalMachine(), u"SOFTWARE\\CVLSetup\\PCIE\\Deep"),
                  c.treeLeft ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    }
}

TEST_F(RegistryContract, HandlesToADeletedKeyReportItDeleted) {
    // Operations on a handle whose key was deleted fail with
    // ERROR_KEY_DELETED; closing the handle still succeeds.
    sim.SetRegDword(kSeedKey, u"CardFound", 1);
    HKEY key = Open(kKey);
    ASSERT_EQ(platform.RegDeleteKeyW(HKeyLocalMachine(), kKey), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(platform.RegQueryValueExW(key, u"CardFound", nullptr, nullptr, &size),
              ERROR_KEY_DELETED);
    const DWORD one = 1;
    EXPECT_EQ(
        platform.RegSetValueExW(key, u"X", REG_DWORD, reinterpret_cast<const BYTE *>(&one), 4),
        ERROR_KEY_DELETED);
    EXPECT_EQ(platform.RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(platform.RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryContract, EnumerationIsByIndexInCreationOrder) {
    // RegEnumKeyEx/RegEnumValueW walk indexes 0, 1, 2 ... in a stable order
    // until ERROR_NO_MORE_ITEMS.
    for (const char16_t *name : {u"Zeta", u"alpha", u"Mid"}) {
        sim.CreateRegKey(std::u16string(kSeedKey) + u"\\" + name);
        sim.SetRegDword(kSeedKey, name, 7);
    }
    HKEY key = Open(kKey, KEY_READ);
    std::vector<std::u16string> keys;
    std::vector<std::u16string> values;
    char16_t name[32];
    for (DWORD index = 0;; ++index) {
        DWORD size = 32;
        const LSTATUS status = platform.RegEnumKeyExW(key, index, name, &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        keys.emplace_back(name, size);
    }
    for (DWORD index = 0;; ++index) {
        DWORD size = 32;
        const LSTATUS status =
            platform.RegEnumValueW(key, index, name, &size, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        values.emplace_back(name, size);
    }
    const std::vector<std::u16string> expected{u"Zeta", u"alpha", u"Mid"};
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(values, expected);
    platform.RegCloseKey(key);
}

TEST_F(RegistryContract, EnumerationReportsNamesAndDataThatDoNotFit) {
    // A name that does not fit (with its zero) is ERROR_MORE_DATA and its
    // size is left as given; value data that does not fit is ERROR_MORE_DATA
    // with the size needed.
    sim.CreateRegKey(u"HKLM\\SOFTWARE\\CVLSetup\\VISTA_B760");
    sim.SetRegString(kSeedKey, u"NewDrvVer", u"8.045");
    HKEY key = Open(kKey, KEY_READ);
    char16_t name[16];
    DWORD nameSize = 10;  // "VISTA_B760" needs 11
    EXPECT_EQ(platform.RegEnumKeyExW(key, 0, name, &nameSize), ERROR_MORE_DATA);
    EXPECT_EQ(nameSize, 10u);

    nameSize = 9;  // "NewDrvVer" needs 10
    DWORD type = 0;
    DWORD dataSize = 0;
    EXPECT_EQ(platform.RegEnumValueW(key, 0, name, &nameSize, &type, nullptr, &dataSize),
              ERROR_MORE_DATA);
    EXPECT_EQ(nameSize, 9u);

    BYTE data[4];
    nameSize = 16;
    dataSize = sizeof data;
    EXPECT_EQ(platform.RegEnumValueW(key, 0, name, &nameSize, &type, data, &dataSize),
              ERROR_MORE_DATA);
    EXPECT_EQ(std::u16string(name), u"NewDrvVer");
    EXPECT_EQ(dataSize, 12u);
    EXPECT_EQ(type, REG_SZ);
    platform.RegCloseKey(key);
}

TEST_F(RegistryContract, AHandleCanDoOnlyWhatItWasOpenedFor) {
    // Writing through a handle opened for reading is ERROR_ACCESS_DENIED on
    // NT; the 9x family has no key security and allows it.
    sim.CreateRegKey(kSeedKey);
    const DWORD one = 1;
    const auto *data = reinterpret_cast<const BYTE *>(&one);
    HKEY key = Open(kKey, KEY_READ);
    EXPECT_EQ(platform.RegSetValueExW(key, u"X", REG_DWORD, data, 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(platform.RegDeleteValueW(key, u"X"), ERROR_ACCESS_DENIED);
    HKEY created = nullptr;
    EXPECT_EQ(platform.RegCreateKeyExW(key, u"New", 0, KEY_ALL_ACCESS, &created, nullptr),
              ERROR_ACCESS_DENIED);
    platform.RegCloseKey(key);

    sim.SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    key = Open(kKey, KEY_READ);
    EXPECT_EQ(platform.RegSetValueExW(key, u"X", REG_DWORD, data, 4), ERROR_SUCCESS);
    platform.RegCloseKey(key);
}

TEST_F(RegistryContract, ValuesAreStoredAsTheRawBytesGiven) {
    // RegSetValueEx stores exactly `dataSize` bytes under the given type;
    // deleting a missing value is ERROR_FILE_NOT_FOUND.
    HKEY key = nullptr;
    ASSERT_EQ(platform.RegCreateKeyExW(HKeyCurrentUser(), u"Software\\T", 0, KEY_ALL_ACCESS, &key,
                                       nullptr),
              ERROR_SUCCESS);
    const BYTE multi[] = {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0};
    ASSERT_EQ(platform.RegSetValueExW(key, u"Ids", REG_MULTI_SZ, multi, sizeof multi),
              ERROR_SUCCESS);
    const auto stored = sim.GetRegValue(u"HKEY_CURRENT_USER\\Software\\T", u"ids");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, REG_MULTI_SZ);
    EXPECT_EQ(stored->data, std::vector<BYTE>(multi, multi + sizeof multi));
    EXPECT_EQ(platform.RegDeleteValueW(key, u"IDS"), ERROR_SUCCESS);
    EXPECT_EQ(platform.RegDeleteValueW(key, u"Ids"), ERROR_FILE_NOT_FOUND);
    platform.RegCloseKey(key);
}

TEST_F(RegistryContract, ClosingChecksTheHandle) {
    // RegCloseKey on something that is no open key is ERROR_INVALID_HANDLE;
    // the predefined root keys close without effect.
    EXPECT_EQ(platform.RegCloseKey(reinterpret_cast<HKEY>(0x4444)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(platform.RegCloseKey(HKeyLocalMachine()), ERROR_SUCCESS);
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
        ASSERT_TRUE(sim.SetRegDword(c.path, u"V", 5));
        const std::u16string subKey(
            std::u16string_view(c.path).substr(std::u16string_view(c.path).find(u'\\') + 1));
        HKEY key = nullptr;
        ASSERT_EQ(platform.RegOpenKeyExW(c.root, subKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
        platform.RegCloseKey(key);
    }
    EXPECT_FALSE(sim.SetRegDword(u"HKU\\S5", u"V", 5));
}

TEST_F(RegistryContract, EveryRegistryCallCanBeMadeToFail) {
    // A fault makes the call return the chosen code and change nothing.
    sim.CreateRegKey(kSeedKey);
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
        sim.Fail(c.operation, ERROR_GEN_FAILURE, 1);
        EXPECT_EQ(c.call(), static_cast<LSTATUS>(ERROR_GEN_FAILURE));
    }
    EXPECT_FALSE(sim.RegKeyExists(u"HKLM\\SOFTWARE\\CVLSetup\\New"));
    EXPECT_FALSE(sim.GetRegValue(kSeedKey, u"V").has_value());
    EXPECT_EQ(platform.RegCloseKey(key), ERROR_SUCCESS);
}

}  // namespace
}  // namespace cvl::sim

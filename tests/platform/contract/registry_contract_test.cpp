// The registry behaviour the system relies on: dispositions, names that
// fold case, the ERROR_MORE_DATA protocol, enumeration, deletion and the
// access a handle was opened for.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "contract_machine.h"

namespace cvl::contract {
namespace {

using RegistryCalls = PlatformContract;

TEST_F(RegistryCalls, CreateMakesEveryMissingParentAndReportsWhatItDid) {
    // RegCreateKeyEx creates the intermediate keys and says whether the last
    // one was created or only opened, whatever the case of the names.
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(platform.RegCreateKeyExW(HKeyCurrentUser(), Key(u"A\\B\\C").c_str(), 0,
                                       KEY_ALL_ACCESS, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(platform.RegCloseKey(key), ERROR_SUCCESS);
    platform.RegCloseKey(OpenKey(u"A\\B", KEY_READ));

    ASSERT_EQ(platform.RegCreateKeyExW(HKeyCurrentUser(), Key(u"a\\b\\c").c_str(), 0,
                                       KEY_ALL_ACCESS, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(platform.RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryCalls, NamesFoldCaseButKeepTheirSpelling) {
    // Key and value names are case-insensitive; enumeration returns them as
    // they were first written.
    HKEY written = CreateKey(u"Vista_B701");
    const char16_t inf[] = u"oem3.inf";
    platform.RegSetValueExW(written, u"InfName", REG_SZ, Bytes(inf), sizeof inf);
    platform.RegCloseKey(written);

    HKEY key = OpenKey({}, KEY_READ);
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

TEST_F(RegistryCalls, QueryFollowsTheMoreDataProtocol) {
    // RegQueryValueEx: no buffer asks for the size; a short buffer gets
    // ERROR_MORE_DATA with the size needed; a missing value is
    // ERROR_FILE_NOT_FOUND; a buffer without a size is refused.
    HKEY key = CreateKey({});
    const char16_t source[] = u"C:\\pkg";  // 14 bytes with the zero
    platform.RegSetValueExW(key, u"SourcePath", REG_SZ, Bytes(source), sizeof source);
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
        EXPECT_EQ(type, REG_SZ);
        if (c.copied) {
            EXPECT_EQ(buffer[0], 'C');
        }
    }
    BYTE buffer[64];
    DWORD size = sizeof buffer;
    EXPECT_EQ(platform.RegQueryValueExW(key, u"NoSuchValue", nullptr, buffer, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(platform.RegQueryValueExW(key, u"SourcePath", nullptr, buffer, nullptr),
              ERROR_INVALID_PARAMETER);
    platform.RegCloseKey(key);
}

TEST_F(RegistryCalls, StringStoredWithoutItsZeroGetsOneWhenTheBufferHasRoom) {
    // NT terminates a REG_SZ read whose data lacks the zero when it fits,
    // and still reports the size of the stored data.
    HKEY key = CreateKey({});
    const BYTE raw[] = {'a', 0, 'b', 0};
    platform.RegSetValueExW(key, u"Raw", REG_SZ, raw, sizeof raw);
    BYTE buffer[8];
    std::memset(buffer, 0xFF, sizeof buffer);
    DWORD size = sizeof buffer;
    ASSERT_EQ(platform.RegQueryValueExW(key, u"Raw", nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(buffer[4], 0);
    EXPECT_EQ(buffer[5], 0);
    platform.RegCloseKey(key);
}

TEST_F(RegistryCalls, OpeningAMissingOrMalformedPathFails) {
    // RegOpenKeyEx: a missing key is ERROR_FILE_NOT_FOUND and the result is
    // cleared; a name may not begin with a backslash.
    HKEY key = reinterpret_cast<HKEY>(0x1234);
    EXPECT_EQ(platform.RegOpenKeyExW(HKeyCurrentUser(), Key(u"Nothing").c_str(), 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(platform.RegOpenKeyExW(HKeyCurrentUser(), (u"\\" + Key()).c_str(), 0, KEY_READ, &key),
              161);  // ERROR_BAD_PATHNAME
    // An empty name on a root key hands back that root key itself.
    ASSERT_EQ(platform.RegOpenKeyExW(HKeyCurrentUser(), u"", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(key, HKeyCurrentUser());
}

TEST_F(RegistryCalls, AKeyWithSubkeysIsNotDeleted) {
    // RegDeleteKey on the NT family refuses a key that has subkeys with
    // ERROR_ACCESS_DENIED and deletes a leaf; a deleted key cannot be
    // opened.
    platform.RegCloseKey(CreateKey(u"PCIE\\Deep"));
    EXPECT_EQ(platform.RegDeleteKeyW(HKeyCurrentUser(), Key(u"PCIE").c_str()), ERROR_ACCESS_DENIED);
    EXPECT_EQ(platform.RegDeleteKeyW(HKeyCurrentUser(), Key(u"PCIE\\Deep").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(platform.RegDeleteKeyW(HKeyCurrentUser(), Key(u"PCIE\\Deep").c_str()),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(platform.RegDeleteKeyW(HKeyCurrentUser(), Key(u"PCIE").c_str()), ERROR_SUCCESS);
    HKEY gone = nullptr;
    EXPECT_EQ(platform.RegOpenKeyExW(HKeyCurrentUser(), Key(u"PCIE").c_str(), 0, KEY_READ, &gone),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryCalls, HandlesToADeletedKeyReportItDeleted) {
    // Operations on a handle whose key was deleted fail with
    // ERROR_KEY_DELETED; closing the handle still succeeds, once.
    HKEY key = CreateKey(u"Doomed");
    const DWORD one = 1;
    platform.RegSetValueExW(key, u"CardFound", REG_DWORD, Bytes(&one), sizeof one);
    ASSERT_EQ(platform.RegDeleteKeyW(HKeyCurrentUser(), Key(u"Doomed").c_str()), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(platform.RegQueryValueExW(key, u"CardFound", nullptr, nullptr, &size),
              ERROR_KEY_DELETED);
    EXPECT_EQ(platform.RegSetValueExW(key, u"X", REG_DWORD, Bytes(&one), 4), ERROR_KEY_DELETED);
    EXPECT_EQ(platform.RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(platform.RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryCalls, EnumerationWalksIndexesUntilNoMoreItems) {
    // RegEnumKeyEx and RegEnumValue walk indexes 0, 1, 2 ... until
    // ERROR_NO_MORE_ITEMS and give each name once with its length.
    // Windows returns the values in the order they were written.
    HKEY key = CreateKey({});
    const std::vector<std::u16string> written{u"Zeta", u"alpha", u"Mid"};
    for (const auto &name : written) {
        platform.RegCloseKey(CreateKey(name));
        const DWORD seven = 7;
        platform.RegSetValueExW(key, name.c_str(), REG_DWORD, Bytes(&seven), sizeof seven);
    }
    const std::vector<std::u16string> keys = SubkeyNames(platform, key);
    const std::vector<std::u16string> values = ValueNames(platform, key);
    auto sorted = [](std::vector<std::u16string> names) {
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_EQ(sorted(keys), sorted(written));
    if (OnWine()) {
        // Wine 8.0 returns values sorted by name; Windows in written order.
        EXPECT_EQ(values, (std::vector<std::u16string>{u"alpha", u"Mid", u"Zeta"}));
    } else {
        EXPECT_EQ(values, written);
    }
    platform.RegCloseKey(key);
}

TEST_F(RegistryCalls, EnumerationReportsNamesAndDataThatDoNotFit) {
    // A name that does not fit (with its zero) is ERROR_MORE_DATA; value
    // data that does not fit is ERROR_MORE_DATA with the size needed.
    HKEY key = CreateKey({});
    platform.RegCloseKey(CreateKey(u"VISTA_B760"));
    const char16_t version[] = u"8.045";
    platform.RegSetValueExW(key, u"NewDrvVer", REG_SZ, Bytes(version), sizeof version);
    char16_t name[16];
    DWORD nameSize = 10;  // "VISTA_B760" needs 11
    EXPECT_EQ(platform.RegEnumKeyExW(key, 0, name, &nameSize), ERROR_MORE_DATA);

    nameSize = 9;  // "NewDrvVer" needs 10
    DWORD type = 0;
    DWORD dataSize = 0;
    EXPECT_EQ(platform.RegEnumValueW(key, 0, name, &nameSize, &type, nullptr, &dataSize),
              ERROR_MORE_DATA);

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

TEST_F(RegistryCalls, AHandleCanDoOnlyWhatItWasOpenedFor) {
    // Writing through a handle opened for reading is ERROR_ACCESS_DENIED.
    const DWORD one = 1;
    HKEY key = OpenKey({}, KEY_READ);
    EXPECT_EQ(platform.RegSetValueExW(key, u"X", REG_DWORD, Bytes(&one), 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(platform.RegDeleteValueW(key, u"X"), ERROR_ACCESS_DENIED);
    HKEY created = nullptr;
    const LSTATUS create =
        platform.RegCreateKeyExW(key, u"New", 0, KEY_ALL_ACCESS, &created, nullptr);
    if (OnWine()) {
        // Wine 8.0 creates the subkey through a handle without
        // KEY_CREATE_SUB_KEY; Windows refuses it with ERROR_ACCESS_DENIED.
        EXPECT_EQ(create, ERROR_SUCCESS);
        platform.RegCloseKey(created);
    } else {
        EXPECT_EQ(create, ERROR_ACCESS_DENIED);
    }
    platform.RegCloseKey(key);
}

TEST_F(RegistryCalls, ValuesAreStoredAsTheRawBytesGivenWithTheirType) {
    // RegSetValueEx stores exactly `dataSize` bytes under the given type;
    // deleting a missing value is ERROR_FILE_NOT_FOUND.
    HKEY key = CreateKey({});
    const BYTE multi[] = {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0};
    ASSERT_EQ(platform.RegSetValueExW(key, u"Ids", REG_MULTI_SZ, multi, sizeof multi),
              ERROR_SUCCESS);
    const DWORD number = 0x01020304u;
    ASSERT_EQ(platform.RegSetValueExW(key, u"Number", REG_DWORD, Bytes(&number), sizeof number),
              ERROR_SUCCESS);

    BYTE read[32] = {};
    DWORD type = 0;
    DWORD size = sizeof read;
    ASSERT_EQ(platform.RegQueryValueExW(key, u"ids", &type, read, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(std::vector<BYTE>(read, read + size), std::vector<BYTE>(multi, multi + sizeof multi));
    DWORD readNumber = 0;
    size = sizeof readNumber;
    ASSERT_EQ(platform.RegQueryValueExW(key, u"Number", &type,
                                        reinterpret_cast<BYTE *>(&readNumber), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(readNumber, number);

    EXPECT_EQ(platform.RegDeleteValueW(key, u"IDS"), ERROR_SUCCESS);
    EXPECT_EQ(platform.RegDeleteValueW(key, u"Ids"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(platform.RegQueryValueExW(key, u"Ids", nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
    platform.RegCloseKey(key);
}

TEST_F(RegistryCalls, ClosingChecksTheHandle) {
    // RegCloseKey on something that is no open key is ERROR_INVALID_HANDLE;
    // the predefined root keys close without effect.
    EXPECT_EQ(platform.RegCloseKey(reinterpret_cast<HKEY>(0x4444)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(platform.RegCloseKey(HKeyLocalMachine()), ERROR_SUCCESS);
}

}  // namespace
}  // namespace cvl::contract

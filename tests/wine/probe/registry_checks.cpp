// Registry calls through the real layer: key handles, value types and the
// size protocols the logic relies on.
#include <set>
#include <string>

#include "checks.h"

namespace cvl::probe {
namespace {

constexpr char16_t kProbeKey[] = u"Software\\CvlPlatformProbe";

const BYTE *Bytes(const void *data) {
    return static_cast<const BYTE *>(data);
}

std::set<std::u16string> EnumerateValueNames(Platform &platform, HKEY key) {
    std::set<std::u16string> names;
    for (DWORD index = 0;; ++index) {
        char16_t name[64] = {};
        DWORD nameSize = 64;
        if (platform.RegEnumValueW(key, index, name, &nameSize, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace(name, nameSize);
    }
    return names;
}

}  // namespace

void CheckRegistry(ProbeContext &context) {
    Platform &platform = context.platform;
    Checks &checks = context.checks;
    const HKEY user = HKeyCurrentUser();

    HKEY key = nullptr;
    DWORD disposition = 0;
    checks.ExpectNumber(platform.RegCreateKeyExW(user, kProbeKey, REG_OPTION_NON_VOLATILE,
                                                 KEY_ALL_ACCESS, &key, &disposition),
                        ERROR_SUCCESS, "create a key");
    checks.ExpectNumber(disposition, REG_CREATED_NEW_KEY, "a new key is reported new");
    HKEY again = nullptr;
    platform.RegCreateKeyExW(user, kProbeKey, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &again,
                             &disposition);
    checks.ExpectNumber(disposition, REG_OPENED_EXISTING_KEY, "an existing key is reported so");
    platform.RegCloseKey(again);

    const char16_t text[] = u"abcdef";
    const DWORD number = 0x01020304u;
    platform.RegSetValueExW(key, u"Text", REG_SZ, Bytes(text), sizeof(text));
    platform.RegSetValueExW(key, u"Number", REG_DWORD, Bytes(&number), sizeof(number));

    DWORD type = 0;
    DWORD size = 0;
    checks.ExpectNumber(platform.RegQueryValueExW(key, u"Text", &type, nullptr, &size),
                        ERROR_SUCCESS, "value size asked without a buffer");
    checks.ExpectNumber(size, sizeof(text), "value size in bytes with the terminator");
    checks.ExpectNumber(type, REG_SZ, "value type");
    BYTE small[4] = {};
    size = sizeof(small);
    checks.ExpectNumber(platform.RegQueryValueExW(key, u"Text", nullptr, small, &size),
                        ERROR_MORE_DATA, "value read into a buffer too small");
    checks.ExpectNumber(size, sizeof(text), "the size needed is reported");
    DWORD readNumber = 0;
    size = sizeof(readNumber);
    platform.RegQueryValueExW(key, u"Number", &type, reinterpret_cast<BYTE *>(&readNumber), &size);
    checks.ExpectNumber(readNumber, number, "32-bit number read back");

    const std::set<std::u16string> expectedNames = {u"Text", u"Number"};
    checks.Expect(EnumerateValueNames(platform, key) == expectedNames,
                  "values enumerated by index until no more items");

    HKEY child = nullptr;
    platform.RegCreateKeyExW(key, u"Child", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &child,
                             nullptr);
    platform.RegCloseKey(child);
    char16_t name[16] = {};
    DWORD nameSize = 3;
    checks.ExpectNumber(platform.RegEnumKeyExW(key, 0, name, &nameSize), ERROR_MORE_DATA,
                        "subkey name into a buffer too small");
    nameSize = 16;
    checks.ExpectNumber(platform.RegEnumKeyExW(key, 0, name, &nameSize), ERROR_SUCCESS,
                        "subkey enumerated");
    checks.ExpectText(std::u16string_view(name, nameSize), u"Child", "subkey name and length");
    nameSize = 16;
    checks.ExpectNumber(platform.RegEnumKeyExW(key, 1, name, &nameSize), ERROR_NO_MORE_ITEMS,
                        "subkeys end");

    checks.ExpectNumber(platform.RegDeleteValueW(key, u"Text"), ERROR_SUCCESS, "delete a value");
    checks.ExpectNumber(platform.RegQueryValueExW(key, u"Text", nullptr, nullptr, nullptr),
                        ERROR_FILE_NOT_FOUND, "a deleted value is gone");
    platform.RegCloseKey(key);

    checks.Expect(platform.RegDeleteKeyW(user, kProbeKey) != ERROR_SUCCESS,
                  "a key with subkeys is not deleted");
    platform.RegDeleteKeyW(user, u"Software\\CvlPlatformProbe\\Child");
    checks.ExpectNumber(platform.RegDeleteKeyW(user, kProbeKey), ERROR_SUCCESS,
                        "an empty key is deleted");
    HKEY gone = nullptr;
    checks.ExpectNumber(platform.RegOpenKeyExW(user, kProbeKey, 0, KEY_READ, &gone),
                        ERROR_FILE_NOT_FOUND, "a deleted key cannot be opened");
}

}  // namespace cvl::probe

#include <cstdio>
#include <string>

#include "common/text.h"
#include "system/scoped_handle.h"
#include "uninstall/connection_cleanup.h"

namespace cvl {
namespace {

constexpr std::size_t kTreePathChars = 520;
constexpr DWORD kSubkeyNameChars = 260;

bool Fits(const std::u16string &path) {
    return path.size() < kTreePathChars;
}

bool DeleteTreeStep(Platform &platform, HKEY parent, std::u16string &path) {
    if (platform.RegDeleteKeyW(parent, path.c_str()) == ERROR_SUCCESS) return true;
    ScopedKey key(platform);
    const LSTATUS opened = platform.RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, key.Receive());
    // A key that went meanwhile counts as deleted. The notes go to the
    // standard output a technician may attach, not to the install log.
    if (opened == ERROR_FILE_NOT_FOUND) {
        std::fputs("Key not found.\n", stdout);
        return true;
    }
    if (opened != ERROR_SUCCESS) {
        std::fputs("Error opening key.\n", stdout);
        return false;
    }

    const std::size_t start = path.size();
    if (path.empty() || path.back() != u'\\') path.push_back(u'\\');
    const std::size_t nameStart = path.size();
    std::u16string previous;
    bool deleted = true;
    for (;;) {
        char16_t name[kSubkeyNameChars] = {};
        DWORD nameSize = kSubkeyNameChars;
        if (platform.RegEnumKeyExW(key.Get(), 0, name, &nameSize) != ERROR_SUCCESS) break;
        const std::u16string_view subkey = TextOf(name, kSubkeyNameChars);
        path.resize(nameStart);
        path += subkey;
        // A path that does not fit names another key; a subkey that is still
        // first after its deletion was not deleted.
        if (!Fits(path) || subkey == previous || !DeleteTreeStep(platform, parent, path)) {
            deleted = false;
            break;
        }
        previous = subkey;
    }
    path.resize(start);
    key.Reset();
    if (!deleted) return false;
    return platform.RegDeleteKeyW(parent, path.c_str()) == ERROR_SUCCESS;
}

}  // namespace

bool DeleteRegistryTree(Platform &platform, HKEY parent, std::u16string_view path) {
    std::u16string buffer(path);
    if (!Fits(buffer)) return false;
    return DeleteTreeStep(platform, parent, buffer);
}

}  // namespace cvl

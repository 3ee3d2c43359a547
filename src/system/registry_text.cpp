#include "system/registry_text.h"

#include <vector>

#include "common/little_endian.h"
#include "common/text.h"

namespace cvl {

bool ReadRegistryText(Platform &platform, HKEY key, const char16_t *valueName,
                      std::size_t capacityBytes, std::u16string &text) {
    std::vector<BYTE> buffer(capacityBytes, 0);
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(capacityBytes);
    if (platform.RegQueryValueExW(key, valueName, &type, buffer.data(), &size) != ERROR_SUCCESS)
        return false;
    const std::size_t stored = size < capacityBytes ? size : capacityBytes;
    std::u16string value;
    for (std::size_t i = 0; i + 1 < stored; i += 2) {
        const char16_t c = Utf16UnitAt(buffer.data(), i);
        if (c == u'\0') break;
        value.push_back(c);
    }
    text = std::move(value);
    return true;
}

std::vector<BYTE> RegistryTextBytes(std::u16string_view text) {
    std::vector<BYTE> bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (char16_t c : text) AppendUtf16Unit(bytes, c);
    AppendUtf16Unit(bytes, u'\0');
    return bytes;
}

LSTATUS WriteRegistryText(Platform &platform, HKEY key, const char16_t *valueName,
                          std::u16string_view text) {
    const std::vector<BYTE> bytes = RegistryTextBytes(text);
    return platform.RegSetValueExW(key, valueName, REG_SZ, bytes.data(),
                                   static_cast<DWORD>(bytes.size()));
}

}  // namespace cvl

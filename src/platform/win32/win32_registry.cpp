// Registry calls. Handles are the system's own values, predefined keys
// included, so only the pointer types change at this boundary.
#include "platform/win32/win32_platform.h"

#include "platform/win32/win32_boundary.h"

namespace cvl {

using win32::Real;
using win32::SameLayout;
using win32::Wide;

LSTATUS Win32Platform::RegOpenKeyExW(HKEY key, const char16_t *subKey, DWORD options, REGSAM sam,
                                     HKEY *result) {
    return ::RegOpenKeyExW(Real(key), Wide(subKey), options, sam, SameLayout<::HKEY>(result));
}

LSTATUS Win32Platform::RegCreateKeyExW(HKEY key, const char16_t *subKey, DWORD options, REGSAM sam,
                                       HKEY *result, DWORD *disposition) {
    return ::RegCreateKeyExW(Real(key), Wide(subKey), 0, nullptr, options, sam, nullptr,
                             SameLayout<::HKEY>(result), SameLayout<::DWORD>(disposition));
}

LSTATUS Win32Platform::RegQueryValueExW(HKEY key, const char16_t *valueName, DWORD *type,
                                        BYTE *data, DWORD *dataSize) {
    return ::RegQueryValueExW(Real(key), Wide(valueName), nullptr, SameLayout<::DWORD>(type), data,
                              SameLayout<::DWORD>(dataSize));
}

LSTATUS Win32Platform::RegSetValueExW(HKEY key, const char16_t *valueName, DWORD type,
                                      const BYTE *data, DWORD dataSize) {
    return ::RegSetValueExW(Real(key), Wide(valueName), 0, type, data, dataSize);
}

LSTATUS Win32Platform::RegDeleteKeyW(HKEY key, const char16_t *subKey) {
    return ::RegDeleteKeyW(Real(key), Wide(subKey));
}

LSTATUS Win32Platform::RegDeleteValueW(HKEY key, const char16_t *valueName) {
    return ::RegDeleteValueW(Real(key), Wide(valueName));
}

LSTATUS Win32Platform::RegEnumKeyExW(HKEY key, DWORD index, char16_t *name, DWORD *nameSize) {
    return ::RegEnumKeyExW(Real(key), index, Wide(name), SameLayout<::DWORD>(nameSize), nullptr,
                           nullptr, nullptr, nullptr);
}

LSTATUS Win32Platform::RegEnumValueW(HKEY key, DWORD index, char16_t *name, DWORD *nameSize,
                                     DWORD *type, BYTE *data, DWORD *dataSize) {
    return ::RegEnumValueW(Real(key), index, Wide(name), SameLayout<::DWORD>(nameSize), nullptr,
                           SameLayout<::DWORD>(type), data, SameLayout<::DWORD>(dataSize));
}

LSTATUS Win32Platform::RegCloseKey(HKEY key) {
    return ::RegCloseKey(Real(key));
}

}  // namespace cvl

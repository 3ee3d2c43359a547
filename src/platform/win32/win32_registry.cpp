// Registry calls. Handles are the system's own values, predefined keys
// included, so only the pointer types change at this boundary. On the 9x
// line the ANSI forms carry names and text data in the code page; the
// logic still sees UTF-16 names and data, and sizes in its bytes.
#include "platform/win32/win32_platform.h"

#include <cstring>
#include <vector>

#include "platform/win32/ansi_text.h"
#include "platform/win32/library_binding.h"
#include "platform/win32/text_forms.h"
#include "platform/win32/win32_boundary.h"

namespace cvl {

using win32::AnsiArg;
using win32::Real;
using win32::SameLayout;
using win32::UsesAnsiForms;
using win32::Wide;

namespace {

// Longer than any key or value name in bytes of a double-byte code page.
constexpr DWORD kAnsiNameCapacity = 32768;

// The whole of a value through the ANSI form: its type and its data in
// the code page.
LSTATUS ReadAnsiValue(::HKEY key, const char *name, ::DWORD &type, std::vector<BYTE> &data) {
    ::DWORD size = 0;
    LSTATUS status =
        CVL_BOUND_ANSI_CALL(RegQueryValueExW, key, name, nullptr, &type, nullptr, &size);
    for (int attempt = 0; status == ERROR_SUCCESS && attempt < 4; ++attempt) {
        data.assign(size + 1, 0);  // never empty, so the call reads the data
        ::DWORD read = size + 1;
        status =
            CVL_BOUND_ANSI_CALL(RegQueryValueExW, key, name, nullptr, &type, data.data(), &read);
        if (status == ERROR_SUCCESS) {
            data.resize(read);
            return status;
        }
        if (status == ERROR_MORE_DATA) {
            size = read;
            status = ERROR_SUCCESS;
        }
    }
    return status;
}

// Puts a name through the Unicode form's protocol: it must fit with its
// zero, and the size that comes back is its length.
LSTATUS DeliverName(const std::u16string &name, char16_t *buffer, DWORD *size) {
    if (buffer == nullptr || size == nullptr) return ERROR_INVALID_PARAMETER;
    if (*size <= name.size()) return ERROR_MORE_DATA;
    std::memcpy(buffer, name.data(), name.size() * sizeof(char16_t));
    buffer[name.size()] = 0;
    *size = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS Win32Platform::RegOpenKeyExW(HKEY key, const char16_t *subKey, DWORD options, REGSAM sam,
                                     HKEY *result) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(RegOpenKeyExW, Real(key), Wide(subKey), options, sam,
                              SameLayout<::HKEY>(result));
    AnsiArg name(subKey);
    if (!name.held()) return ERROR_INVALID_NAME;
    return CVL_BOUND_ANSI_CALL(RegOpenKeyExW, Real(key), name.get(), options, sam,
                               SameLayout<::HKEY>(result));
}

LSTATUS Win32Platform::RegCreateKeyExW(HKEY key, const char16_t *subKey, DWORD options, REGSAM sam,
                                       HKEY *result, DWORD *disposition) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(RegCreateKeyExW, Real(key), Wide(subKey), 0, nullptr, options, sam,
                              nullptr, SameLayout<::HKEY>(result),
                              SameLayout<::DWORD>(disposition));
    AnsiArg name(subKey);
    if (!name.held()) return ERROR_INVALID_NAME;
    return CVL_BOUND_ANSI_CALL(RegCreateKeyExW, Real(key), name.get(), 0, nullptr, options, sam,
                               nullptr, SameLayout<::HKEY>(result),
                               SameLayout<::DWORD>(disposition));
}

LSTATUS Win32Platform::RegQueryValueExW(HKEY key, const char16_t *valueName, DWORD *type,
                                        BYTE *data, DWORD *dataSize) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(RegQueryValueExW, Real(key), Wide(valueName), nullptr,
                              SameLayout<::DWORD>(type), data, SameLayout<::DWORD>(dataSize));
    AnsiArg name(valueName);
    if (!name.held()) return ERROR_INVALID_NAME;
    ::DWORD valueType = 0;
    std::vector<BYTE> ansi;
    const LSTATUS status = ReadAnsiValue(Real(key), name.get(), valueType, ansi);
    if (status != ERROR_SUCCESS) return status;
    if (type) *type = valueType;
    return win32::DeliverData(win32::DataFromAnsi(valueType, ansi), win32::IsTextType(valueType),
                              data, SameLayout<::DWORD>(dataSize));
}

LSTATUS Win32Platform::RegSetValueExW(HKEY key, const char16_t *valueName, DWORD type,
                                      const BYTE *data, DWORD dataSize) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(RegSetValueExW, Real(key), Wide(valueName), 0, type, data, dataSize);
    AnsiArg name(valueName);
    std::optional<std::vector<BYTE>> ansi = win32::DataToAnsi(type, data, dataSize);
    if (!name.held() || !ansi) return ERROR_INVALID_NAME;
    return CVL_BOUND_ANSI_CALL(RegSetValueExW, Real(key), name.get(), 0, type,
                               data ? ansi->data() : nullptr, static_cast<::DWORD>(ansi->size()));
}

LSTATUS Win32Platform::RegDeleteKeyW(HKEY key, const char16_t *subKey) {
    if (!UsesAnsiForms()) return CVL_BOUND_CALL(RegDeleteKeyW, Real(key), Wide(subKey));
    AnsiArg name(subKey);
    if (!name.held()) return ERROR_INVALID_NAME;
    return CVL_BOUND_ANSI_CALL(RegDeleteKeyW, Real(key), name.get());
}

LSTATUS Win32Platform::RegDeleteValueW(HKEY key, const char16_t *valueName) {
    if (!UsesAnsiForms()) return CVL_BOUND_CALL(RegDeleteValueW, Real(key), Wide(valueName));
    AnsiArg name(valueName);
    if (!name.held()) return ERROR_INVALID_NAME;
    return CVL_BOUND_ANSI_CALL(RegDeleteValueW, Real(key), name.get());
}

LSTATUS Win32Platform::RegEnumKeyExW(HKEY key, DWORD index, char16_t *name, DWORD *nameSize) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(RegEnumKeyExW, Real(key), index, Wide(name),
                              SameLayout<::DWORD>(nameSize), nullptr, nullptr, nullptr, nullptr);
    std::string ansi(kAnsiNameCapacity, '\0');
    ::DWORD length = kAnsiNameCapacity;
    const LSTATUS status = CVL_BOUND_ANSI_CALL(RegEnumKeyExW, Real(key), index, ansi.data(),
                                               &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    return DeliverName(win32::FromAnsi(std::string_view(ansi.data(), length)), name, nameSize);
}

LSTATUS Win32Platform::RegEnumValueW(HKEY key, DWORD index, char16_t *name, DWORD *nameSize,
                                     DWORD *type, BYTE *data, DWORD *dataSize) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(RegEnumValueW, Real(key), index, Wide(name),
                              SameLayout<::DWORD>(nameSize), nullptr, SameLayout<::DWORD>(type),
                              data, SameLayout<::DWORD>(dataSize));
    std::string ansiName(kAnsiNameCapacity, '\0');
    ::DWORD nameLength = kAnsiNameCapacity;
    ::DWORD valueType = 0;
    ::DWORD size = 0;
    LSTATUS status = CVL_BOUND_ANSI_CALL(RegEnumValueW, Real(key), index, ansiName.data(),
                                         &nameLength, nullptr, &valueType, nullptr, &size);
    if (status != ERROR_SUCCESS) return status;
    ansiName.resize(nameLength);
    // The data is read by name: another call of the enumeration could meet
    // a value written in between at the same index.
    std::vector<BYTE> ansiData;
    status = ReadAnsiValue(Real(key), ansiName.c_str(), valueType, ansiData);
    if (status != ERROR_SUCCESS) return status;
    status = DeliverName(win32::FromAnsi(ansiName), name, nameSize);
    if (status != ERROR_SUCCESS) return status;
    if (type) *type = valueType;
    if (data == nullptr && dataSize == nullptr) return ERROR_SUCCESS;
    return win32::DeliverData(win32::DataFromAnsi(valueType, ansiData),
                              win32::IsTextType(valueType), data, SameLayout<::DWORD>(dataSize));
}

LSTATUS Win32Platform::RegCloseKey(HKEY key) {
    return ::RegCloseKey(Real(key));
}

}  // namespace cvl

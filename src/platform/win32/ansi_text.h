// Texts across the ANSI forms of the system calls, in the system's ANSI code
// page (CP_ACP). A text the code page cannot hold exactly is never handed
// on changed (a best-fit letter or a question mark would name another key,
// file or device): the operation fails instead, as Windows reports a name
// it cannot use, with ERROR_INVALID_NAME. Every size the logic sees stays in
// its own units, UTF-16 characters and bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/win32_boundary.h"

namespace cvl::win32 {

// The text in the code page, or nothing when the code page cannot hold it.
std::optional<std::string> ToAnsi(std::u16string_view text);
std::u16string FromAnsi(std::string_view text);

// A text argument of an ANSI call; null stays null.
class AnsiArg {
public:
    explicit AnsiArg(const char16_t *text);
    // False when the code page cannot hold the text; the last error is then
    // ERROR_INVALID_NAME.
    bool held() const { return held_; }
    const char *get() const { return present_ ? text_.c_str() : nullptr; }
    char *modifiable() { return present_ ? text_.data() : nullptr; }

private:
    bool present_;
    bool held_ = true;
    std::string text_;
};

// Whether registry data of this type is text (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ), which the ANSI forms carry in the code page.
bool IsTextType(::DWORD type);

// Registry or property data as the Unicode form hands it: text types
// converted from the code page, other data as it is.
std::vector<::BYTE> DataFromAnsi(::DWORD type, const std::vector<::BYTE> &ansi);
// Data for an ANSI call; nothing when a text does not fit the code page.
std::optional<std::vector<::BYTE>> DataToAnsi(::DWORD type, const ::BYTE *data, ::DWORD size);

// Hands `data` to a caller's buffer by the registry's size protocol: no
// buffer asks for the size; a buffer too small gets ERROR_MORE_DATA and the
// size needed. `terminateText` for data of a text type.
::LSTATUS DeliverData(const std::vector<::BYTE> &data, bool terminateText, ::BYTE *buffer,
                      ::DWORD *bufferSize);

// Hands a path to a caller's buffer of `size` characters by the path calls'
// protocol: its length when it fits with its zero, else the size needed.
::DWORD DeliverPath(std::u16string_view path, char16_t *buffer, ::DWORD size);

// Hands `text` (with its zeros) to a caller's buffer of `size` characters
// by the SetupAPI protocol: `required` always gets its length; a buffer too
// small fails with ERROR_INSUFFICIENT_BUFFER, and so does no buffer unless
// `noBufferAsks`.
::BOOL DeliverCounted(std::u16string_view text, char16_t *buffer, ::DWORD size, ::DWORD *required,
                      bool noBufferAsks);

// A whole text from an ANSI call that reports the size it needs:
// call(buffer, size, &required) as SetupAPI does. The text keeps its zeros.
template <typename Call>
std::optional<std::string> FetchCounted(Call call) {
    std::string buffer(1024, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        ::DWORD required = 0;
        if (call(buffer.data(), static_cast<::DWORD>(buffer.size()), &required)) {
            if (required > 0 && required <= buffer.size()) buffer.resize(required);
            return buffer;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= buffer.size())
            return std::nullopt;
        buffer.assign(required, '\0');
    }
    return std::nullopt;
}

// A whole path from an ANSI call of the path protocol: call(buffer, size)
// returns the length, or the size needed, or 0.
template <typename Call>
std::optional<std::string> FetchPath(Call call) {
    std::string buffer(MAX_PATH * 2, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ::DWORD length = call(buffer.data(), static_cast<::DWORD>(buffer.size()));
        if (length == 0) return std::nullopt;
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.assign(length + 1, '\0');
    }
    return std::nullopt;
}

// Keeps the last error of the system call across the layer's own work
// after it.
class KeptLastError {
public:
    KeptLastError() : error_(::GetLastError()) {}
    ~KeptLastError() { ::SetLastError(error_); }
    KeptLastError(const KeptLastError &) = delete;
    KeptLastError &operator=(const KeptLastError &) = delete;

private:
    ::DWORD error_;
};

}  // namespace cvl::win32

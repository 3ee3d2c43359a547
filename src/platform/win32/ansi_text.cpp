#include "platform/win32/ansi_text.h"

#include <cstring>

namespace cvl::win32 {

std::u16string FromAnsi(std::string_view text) {
    if (text.empty()) return {};
    const int count = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), count, nullptr, 0);
    if (length <= 0) return {};
    std::u16string wide(static_cast<std::size_t>(length), u'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), count, Wide(wide.data()), length);
    return wide;
}

std::optional<std::string> ToAnsi(std::u16string_view text) {
    if (text.empty()) return std::string();
    const int count = static_cast<int>(text.size());
    const int length =
        ::WideCharToMultiByte(CP_ACP, 0, Wide(text.data()), count, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::nullopt;
    std::string ansi(static_cast<std::size_t>(length), '\0');
    ::BOOL usedDefault = FALSE;
    ::WideCharToMultiByte(CP_ACP, 0, Wide(text.data()), count, ansi.data(), length, nullptr,
                          &usedDefault);
    // The way back catches what the default character does not: a letter
    // the code page writes as a look-alike (WC_NO_BEST_FIT_CHARS is newer
    // than Windows 95).
    if (usedDefault || FromAnsi(ansi) != text) return std::nullopt;
    return ansi;
}

AnsiArg::AnsiArg(const char16_t *text) : present_(text != nullptr) {
    if (!present_) return;
    const ::DWORD callersError = ::GetLastError();
    std::optional<std::string> ansi = ToAnsi(text);
    held_ = ansi.has_value();
    if (held_) text_ = std::move(*ansi);
    ::SetLastError(held_ ? callersError : ERROR_INVALID_NAME);
}

bool IsTextType(::DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::vector<::BYTE> DataFromAnsi(::DWORD type, const std::vector<::BYTE> &ansi) {
    if (!IsTextType(type)) return ansi;
    const std::u16string wide =
        FromAnsi(std::string_view(reinterpret_cast<const char *>(ansi.data()), ansi.size()));
    std::vector<::BYTE> data(wide.size() * sizeof(char16_t));
    if (!data.empty()) std::memcpy(data.data(), wide.data(), data.size());
    return data;
}

std::optional<std::vector<::BYTE>> DataToAnsi(::DWORD type, const ::BYTE *data, ::DWORD size) {
    if (data == nullptr) return std::vector<::BYTE>();
    if (!IsTextType(type)) return std::vector<::BYTE>(data, data + size);
    std::u16string wide(size / sizeof(char16_t), u'\0');
    if (!wide.empty()) std::memcpy(wide.data(), data, wide.size() * sizeof(char16_t));
    std::optional<std::string> ansi = ToAnsi(wide);
    if (!ansi) return std::nullopt;
    return std::vector<::BYTE>(ansi->begin(), ansi->end());
}

::LSTATUS DeliverData(const std::vector<::BYTE> &data, bool terminateText, ::BYTE *buffer,
                      ::DWORD *bufferSize) {
    if (bufferSize == nullptr) return buffer == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    const auto size = static_cast<::DWORD>(data.size());
    if (buffer == nullptr) {
        *bufferSize = size;
        return ERROR_SUCCESS;
    }
    if (*bufferSize < size) {
        *bufferSize = size;
        return ERROR_MORE_DATA;
    }
    if (size) std::memcpy(buffer, data.data(), size);
    // As NT does for the Unicode form: a text stored without its zero gets
    // one where the buffer has room, and the size stays the stored one.
    const bool unterminated = size < 2 || data[size - 1] != 0 || data[size - 2] != 0;
    if (terminateText && unterminated && *bufferSize >= size + 2) {
        buffer[size] = 0;
        buffer[size + 1] = 0;
    }
    *bufferSize = size;
    return ERROR_SUCCESS;
}

::DWORD DeliverPath(std::u16string_view path, char16_t *buffer, ::DWORD size) {
    const auto length = static_cast<::DWORD>(path.size());
    if (buffer == nullptr || size <= length) return length + 1;
    std::memcpy(buffer, path.data(), length * sizeof(char16_t));
    buffer[length] = 0;
    return length;
}

::BOOL DeliverCounted(std::u16string_view text, char16_t *buffer, ::DWORD size, ::DWORD *required,
                      bool noBufferAsks) {
    const auto length = static_cast<::DWORD>(text.size());
    if (required) *required = length;
    if (buffer == nullptr && noBufferAsks) return TRUE;
    if (buffer == nullptr || size < length) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, text.data(), length * sizeof(char16_t));
    return TRUE;
}

}  // namespace cvl::win32

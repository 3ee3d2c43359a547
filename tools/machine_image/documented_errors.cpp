#include "machine_image/documented_errors.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <iterator>

#include "platform/sim/simulated_platform.h"

namespace cvl::image {
namespace {

constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_DATABASE_DOES_NOT_EXIST = 1065;
constexpr DWORD NTE_FAIL = 0x80090020u;

struct NamedError {
    std::string_view name;
    DWORD code;
};

// Every code the table below uses, by the name the Windows headers give it.
constexpr NamedError kNames[] = {
    {"ERROR_FILE_NOT_FOUND", ERROR_FILE_NOT_FOUND},
    {"ERROR_PATH_NOT_FOUND", ERROR_PATH_NOT_FOUND},
    {"ERROR_ACCESS_DENIED", ERROR_ACCESS_DENIED},
    {"ERROR_INVALID_HANDLE", ERROR_INVALID_HANDLE},
    {"ERROR_NOT_ENOUGH_MEMORY", ERROR_NOT_ENOUGH_MEMORY},
    {"ERROR_INVALID_DATA", ERROR_INVALID_DATA},
    {"ERROR_NO_MORE_FILES", ERROR_NO_MORE_FILES},
    {"ERROR_NOT_READY", ERROR_NOT_READY},
    {"ERROR_SHARING_VIOLATION", ERROR_SHARING_VIOLATION},
    {"ERROR_FILE_EXISTS", ERROR_FILE_EXISTS},
    {"ERROR_ALREADY_EXISTS", ERROR_ALREADY_EXISTS},
    {"NTE_FAIL", NTE_FAIL},
    {"ERROR_INVALID_PARAMETER", ERROR_INVALID_PARAMETER},
    {"ERROR_DISK_FULL", ERROR_DISK_FULL},
    {"ERROR_INSUFFICIENT_BUFFER", ERROR_INSUFFICIENT_BUFFER},
    {"ERROR_MORE_DATA", ERROR_MORE_DATA},
    {"ERROR_NO_MORE_ITEMS", ERROR_NO_MORE_ITEMS},
    {"ERROR_INVALID_FLAGS", ERROR_INVALID_FLAGS},
    {"ERROR_KEY_DELETED", ERROR_KEY_DELETED},
    {"ERROR_SERVICE_DOES_NOT_EXIST", ERROR_SERVICE_DOES_NOT_EXIST},
    {"ERROR_DATABASE_DOES_NOT_EXIST", ERROR_DATABASE_DOES_NOT_EXIST},
    {"ERROR_INVALID_WINDOW_HANDLE", ERROR_INVALID_WINDOW_HANDLE},
    {"ERROR_SECTION_NOT_FOUND", ERROR_SECTION_NOT_FOUND},
    {"ERROR_LINE_NOT_FOUND", ERROR_LINE_NOT_FOUND},
    {"ERROR_NO_SUCH_DEVINST", ERROR_NO_SUCH_DEVINST},
    {"ERROR_KEY_DOES_NOT_EXIST", ERROR_KEY_DOES_NOT_EXIST},
    {"ERROR_IN_WOW64", ERROR_IN_WOW64},
    {"ERROR_NOT_DISABLEABLE", ERROR_NOT_DISABLEABLE},
    {"ERROR_CLASS_MISMATCH", ERROR_CLASS_MISMATCH},
    {"CR_INVALID_POINTER", CR_INVALID_POINTER},
    {"CR_INVALID_DEVNODE", CR_INVALID_DEVNODE},
    {"CR_NO_SUCH_DEVNODE", CR_NO_SUCH_DEVNODE},
    {"CR_FAILURE", CR_FAILURE},
    {"CR_ACCESS_DENIED", CR_ACCESS_DENIED},
    {"CR_MACHINE_UNAVAILABLE", CR_MACHINE_UNAVAILABLE},
};

using Op = PlatformOperation;

template <typename... Codes>
constexpr std::array<DWORD, sizeof...(Codes)> ErrorList(Codes... codes) {
    return {static_cast<DWORD>(codes)...};
}

// One list of codes an operation.
#define CVL_DOCUMENTED_ERRORS(Name, ...) constexpr auto k##Name##Errors = ErrorList(__VA_ARGS__);
#include "platform/platform_documented_errors.def"

// The rows name the operations in the order of the operation list.
constexpr std::string_view kRowNames[] = {
#define CVL_DOCUMENTED_ERRORS(Name, ...) #Name,
#include "platform/platform_documented_errors.def"
};

constexpr bool RowsFollowTheOperationList() {
    if (std::size(kRowNames) != kPlatformOperationCount) return false;
    for (std::size_t index = 0; index < kPlatformOperationCount; ++index)
        if (kRowNames[index] != kPlatformOperationNames[index]) return false;
    return true;
}
static_assert(RowsFollowTheOperationList(),
              "platform_documented_errors.def needs one row per operation, in the order of "
              "platform_operations.def");

}  // namespace

std::span<const DWORD> DocumentedErrors(PlatformOperation operation) {
    switch (operation) {
#define CVL_DOCUMENTED_ERRORS(Name, ...) \
    case Op::Name:                       \
        return k##Name##Errors;
#include "platform/platform_documented_errors.def"
    }
    return {};
}

std::optional<DWORD> ErrorNamed(std::string_view text) {
    for (const NamedError &named : kNames)
        if (named.name == text) return named.code;
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    DWORD code = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), code, base);
    if (text.empty() || failure != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return code;
}

std::string ErrorName(DWORD code) {
    for (const NamedError &named : kNames)
        if (named.code == code && !named.name.starts_with("CR_")) return std::string(named.name);
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
    return text;
}

}  // namespace cvl::image

// The platform's operations as values, for what names a call rather than
// makes it: fault rules, call counts, reports.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string_view>

namespace cvl {

enum class PlatformOperation {
#define CVL_PLATFORM_OPERATION(Result, Name, Parameters, Library) Name,
#include "platform/platform_operations.def"
};

inline constexpr std::size_t kPlatformOperationCount = 0
#define CVL_PLATFORM_OPERATION(Result, Name, Parameters, Library) +1
#include "platform/platform_operations.def"
    ;

// The Win32 name of each operation, in the order of the enumeration.
inline constexpr std::array<std::string_view, kPlatformOperationCount> kPlatformOperationNames = {
#define CVL_PLATFORM_OPERATION(Result, Name, Parameters, Library) #Name,
#include "platform/platform_operations.def"
};

constexpr std::string_view PlatformOperationName(PlatformOperation operation) {
    return kPlatformOperationNames[static_cast<std::size_t>(operation)];
}

// The operation with this Win32 name (spelled exactly), if there is one.
constexpr std::optional<PlatformOperation> PlatformOperationNamed(std::string_view name) {
    for (std::size_t index = 0; index < kPlatformOperationCount; ++index) {
        if (kPlatformOperationNames[index] == name) return static_cast<PlatformOperation>(index);
    }
    return std::nullopt;
}

// Reports and test traces print an operation by its Win32 name.
inline std::ostream &operator<<(std::ostream &out, PlatformOperation operation) {
    return out << PlatformOperationName(operation);
}

}  // namespace cvl

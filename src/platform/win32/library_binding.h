// Where the real platform layer takes its code from. The program runs with
// administrator rights from folders others can write to (downloads, an
// extracted setup folder, the temporary folder of its own copy), and Windows
// looks for a DLL that is not a known system DLL in the program's folder
// first. So the program imports only kernel32, advapi32, user32 and the C
// runtime statically, and every other library it needs (setupapi, cfgmgr32,
// newdev) is loaded by its full path in the system folder and its calls are
// bound by name, from the table made from platform_operations.def.
#pragma once

#include <type_traits>

#include "platform/platform_operation.h"
#include "platform/win32/library_search.h"
#include "platform/win32/win32_boundary.h"

namespace cvl::win32 {

// The address of the operation's export in its library, or null with the
// last error ERROR_MOD_NOT_FOUND (the library cannot be loaded from the
// system folder) or ERROR_PROC_NOT_FOUND (it lacks the export). A found
// export leaves the last error as it was.
FARPROC BoundExport(PlatformOperation operation);

// What a call that could not be bound returns: the failure value of its
// result type. The last error says why.
template <typename Result>
Result UnboundResult() {
    if constexpr (std::is_void_v<Result>) {
        return;
    } else if constexpr (std::is_pointer_v<Result>) {
        // Every handle a bound call returns fails as INVALID_HANDLE_VALUE.
        return reinterpret_cast<Result>(INVALID_HANDLE_VALUE);
    } else if constexpr (std::is_same_v<Result, CONFIGRET>) {
        return CR_CALL_NOT_IMPLEMENTED;
    } else {
        return Result{};  // FALSE
    }
}

template <typename Function, typename... Args>
auto CallBound(PlatformOperation operation, Args... args) {
    using Result = std::invoke_result_t<Function, Args...>;
    auto function = reinterpret_cast<Function>(reinterpret_cast<void *>(BoundExport(operation)));
    if (function == nullptr) return UnboundResult<Result>();
    return function(args...);
}

}  // namespace cvl::win32

// Calls the system function `Name` through the binding table.
#define CVL_BOUND_CALL(Name, ...) \
    ::cvl::win32::CallBound<decltype(&::Name)>(::cvl::PlatformOperation::Name, __VA_ARGS__)

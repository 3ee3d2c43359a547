// Where the real platform layer takes its code from. The program runs with
// administrator rights from folders others can write to (downloads, an
// extracted setup folder, the temporary folder of its own copy), and Windows
// looks for a DLL that is not a known system DLL in the program's folder
// first. So the program imports only kernel32, advapi32, user32 and the C
// runtime statically, and every other library it needs (setupapi, cfgmgr32,
// newdev) is loaded by its full path in the system folder and its calls are
// bound by name, from the table made from platform_operations.def.
//
// The static imports are further held to what every Windows from 95 on
// exports (scripts/windows95-imports.txt): every call that some generation
// lacks, and every text call, is bound here too, so that a missing one
// fails that one operation instead of the program's start.
#pragma once

#include <type_traits>

#include "platform/platform_operation.h"
#include "platform/win32/library_search.h"
#include "platform/win32/win32_boundary.h"

namespace cvl::win32 {

enum class SystemLibrary { kernel32, advapi32, user32, setupapi, cfgmgr32, newdev, count };

// The address of the operation's export in its library, or null with the
// last error ERROR_MOD_NOT_FOUND (the library cannot be loaded from the
// system folder) or ERROR_PROC_NOT_FOUND (it lacks the export). A found
// export leaves the last error as it was.
FARPROC BoundExport(PlatformOperation operation);
// The same for the operation's ANSI form (ansi_forms.def).
FARPROC BoundAnsiExport(PlatformOperation operation);
// The same for a call the layer makes on its own behalf, by its name.
FARPROC SystemExport(SystemLibrary library, const char *exportName);

// What a call that could not be bound returns: the failure value of its
// result type. The last error says why.
template <typename Result>
Result UnboundResult() {
    if constexpr (std::is_void_v<Result>) {
        return;
    } else if constexpr (std::is_same_v<Result, ::SC_HANDLE>) {
        return nullptr;
    } else if constexpr (std::is_pointer_v<Result>) {
        // Every other handle a bound call returns fails as
        // INVALID_HANDLE_VALUE.
        return reinterpret_cast<Result>(INVALID_HANDLE_VALUE);
    } else if constexpr (std::is_same_v<Result, CONFIGRET>) {
        return CR_CALL_NOT_IMPLEMENTED;
    } else if constexpr (std::is_same_v<Result, ::LSTATUS>) {
        // The registry calls return their error instead of setting it.
        return static_cast<::LSTATUS>(::GetLastError());
    } else {
        return Result{};  // FALSE, or a length of 0
    }
}

template <typename Function, typename... Args>
auto CallExport(FARPROC address, Args... args) {
    using Result = std::invoke_result_t<Function, Args...>;
    auto function = reinterpret_cast<Function>(reinterpret_cast<void *>(address));
    if (function == nullptr) return UnboundResult<Result>();
    return function(args...);
}

// The type of each operation's ANSI form.
template <PlatformOperation>
struct AnsiForm;
#define CVL_ANSI_FORM(Operation, AnsiName)          \
    template <>                                     \
    struct AnsiForm<PlatformOperation::Operation> { \
        using Function = decltype(&::AnsiName);     \
    };
#include "platform/win32/ansi_forms.def"

}  // namespace cvl::win32

// Calls the system function `Name` through the binding table.
#define CVL_BOUND_CALL(Name, ...)                \
    ::cvl::win32::CallExport<decltype(&::Name)>( \
        ::cvl::win32::BoundExport(::cvl::PlatformOperation::Name), __VA_ARGS__)

// Calls the ANSI form of the operation `Name` through the binding table.
#define CVL_BOUND_ANSI_CALL(Name, ...)                                              \
    ::cvl::win32::CallExport<                                                       \
        typename ::cvl::win32::AnsiForm<::cvl::PlatformOperation::Name>::Function>( \
        ::cvl::win32::BoundAnsiExport(::cvl::PlatformOperation::Name), __VA_ARGS__)

// Calls the system function `Name` of `Library`, bound by its name.
#define CVL_SYSTEM_CALL(Library, Name, ...)                                 \
    ::cvl::win32::CallExport<decltype(&::Name)>(::cvl::win32::SystemExport( \
        ::cvl::win32::SystemLibrary::Library, #Name) __VA_OPT__(, ) __VA_ARGS__)

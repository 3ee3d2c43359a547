#include "platform/win32/library_binding.h"

#include <array>
#include <cstring>
#include <string>

#include "platform/win32/text_forms.h"

namespace cvl::win32 {

namespace {

constexpr std::size_t kLibraryCount = static_cast<std::size_t>(SystemLibrary::count);

constexpr std::array<const char *, kLibraryCount> kLibraryFileNames = {
    "kernel32.dll", "advapi32.dll", "user32.dll", "setupapi.dll", "cfgmgr32.dll", "newdev.dll"};

struct OperationBinding {
    SystemLibrary library;
    const char *exportName;
};

constexpr std::array<OperationBinding, kPlatformOperationCount> kBindings = {{
#define CVL_PLATFORM_OPERATION(Result, Name, Parameters, Library) {SystemLibrary::Library, #Name},
#include "platform/platform_operations.def"
}};

constexpr std::array<const char *, kPlatformOperationCount> MakeAnsiNames() {
    std::array<const char *, kPlatformOperationCount> names{};
#define CVL_ANSI_FORM(Operation, AnsiName) \
    names[static_cast<std::size_t>(PlatformOperation::Operation)] = #AnsiName;
#include "platform/win32/ansi_forms.def"
    return names;
}
constexpr std::array<const char *, kPlatformOperationCount> kAnsiNames = MakeAnsiNames();

constexpr DWORD kSearchSystem32 = 0x00000800;     // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kAlteredSearchPath = 0x00000008;  // LOAD_WITH_ALTERED_SEARCH_PATH

// Whether every later load searches the system folder only.
bool gSearchClosedToSystemFolder = false;

// One program, one thread: the libraries and exports are looked up once.
struct LibrarySlot {
    bool tried = false;
    HMODULE module = nullptr;
};
std::array<LibrarySlot, kLibraryCount> gLibraries;

struct ExportSlot {
    bool tried = false;
    FARPROC address = nullptr;
    // Why the export could not be bound, for every later call of it.
    DWORD bindError = 0;
};
std::array<ExportSlot, kPlatformOperationCount> gExports;
std::array<ExportSlot, kPlatformOperationCount> gAnsiExports;

// kernel32's own Unicode calls, looked up rather than imported: Windows 95
// exports only some of them.
FARPROC KernelExport(const char *name) {
    const HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
    return kernel32 == nullptr ? nullptr : ::GetProcAddress(kernel32, name);
}

HMODULE LoadUnicode(const char *fileName, DWORD flags) {
    using GetSystemDirectoryFunction = UINT(WINAPI *)(LPWSTR, UINT);
    using LoadLibraryExFunction = HMODULE(WINAPI *)(LPCWSTR, HANDLE, DWORD);
    const auto getSystemDirectory = reinterpret_cast<GetSystemDirectoryFunction>(
        reinterpret_cast<void *>(KernelExport("GetSystemDirectoryW")));
    const auto loadLibraryEx = reinterpret_cast<LoadLibraryExFunction>(
        reinterpret_cast<void *>(KernelExport("LoadLibraryExW")));
    if (getSystemDirectory == nullptr || loadLibraryEx == nullptr) return nullptr;
    wchar_t path[MAX_PATH] = {};
    const UINT length = getSystemDirectory(path, MAX_PATH);
    const std::size_t nameLength = std::strlen(fileName);
    if (length == 0 || length + 1 + nameLength >= MAX_PATH) return nullptr;
    path[length] = L'\\';
    for (std::size_t i = 0; i <= nameLength; ++i) path[length + 1 + i] = fileName[i];
    return loadLibraryEx(path, nullptr, flags);
}

HMODULE LoadAnsi(const char *fileName, DWORD flags) {
    char path[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
    const std::size_t nameLength = std::strlen(fileName);
    if (length == 0 || length + 1 + nameLength >= MAX_PATH) return nullptr;
    path[length] = '\\';
    std::memcpy(path + length + 1, fileName, nameLength + 1);
    return ::LoadLibraryExA(path, nullptr, flags);
}

HMODULE LoadFromSystemFolder(const char *fileName) {
    // Loaded by full path, the library's own imports are searched from the
    // system folder: only there, where the search is closed, and otherwise
    // from the library's folder first instead of the program's.
    const DWORD flags = gSearchClosedToSystemFolder ? kSearchSystem32 : kAlteredSearchPath;
    return UsesAnsiForms() ? LoadAnsi(fileName, flags) : LoadUnicode(fileName, flags);
}

HMODULE LibraryOf(SystemLibrary library) {
    LibrarySlot &slot = gLibraries[static_cast<std::size_t>(library)];
    if (!slot.tried) {
        slot.tried = true;
        slot.module = LoadFromSystemFolder(kLibraryFileNames[static_cast<std::size_t>(library)]);
    }
    return slot.module;
}

FARPROC Bind(ExportSlot &slot, SystemLibrary library, const char *exportName) {
    if (!slot.tried) {
        const DWORD callersError = ::GetLastError();
        slot.tried = true;
        const HMODULE module = LibraryOf(library);
        if (module != nullptr && exportName != nullptr)
            slot.address = ::GetProcAddress(module, exportName);
        slot.bindError = module == nullptr ? ERROR_MOD_NOT_FOUND : ERROR_PROC_NOT_FOUND;
        ::SetLastError(callersError);
    }
    if (slot.address == nullptr) ::SetLastError(slot.bindError);
    return slot.address;
}

}  // namespace

void CloseLibrarySearchPath() {
    using SetDefaultDirectories = BOOL(WINAPI *)(DWORD);
    using SetDirectory = BOOL(WINAPI *)(LPCWSTR);
    // Windows 8 and later, and Windows 7, Vista and Server 2008 with the
    // loader update (KB2533623).
    const auto setDefault = reinterpret_cast<SetDefaultDirectories>(
        reinterpret_cast<void *>(KernelExport("SetDefaultDllDirectories")));
    if (setDefault != nullptr && setDefault(kSearchSystem32)) gSearchClosedToSystemFolder = true;
    // XP SP1 and later: an empty text takes the current directory out of the
    // search of every later load.
    const auto setDirectory =
        reinterpret_cast<SetDirectory>(reinterpret_cast<void *>(KernelExport("SetDllDirectoryW")));
    if (setDirectory != nullptr) setDirectory(L"");
}

FARPROC BoundExport(PlatformOperation operation) {
    const auto index = static_cast<std::size_t>(operation);
    return Bind(gExports[index], kBindings[index].library, kBindings[index].exportName);
}

FARPROC BoundAnsiExport(PlatformOperation operation) {
    const auto index = static_cast<std::size_t>(operation);
    return Bind(gAnsiExports[index], kBindings[index].library, kAnsiNames[index]);
}

FARPROC SystemExport(SystemLibrary library, const char *exportName) {
    // Rare calls, each looked up when it is made.
    ExportSlot slot;
    return Bind(slot, library, exportName);
}

}  // namespace cvl::win32

#include "platform/win32/library_binding.h"

#include <array>
#include <cwchar>

namespace cvl::win32 {

namespace {

enum class SystemLibrary { kernel32, advapi32, user32, setupapi, cfgmgr32, newdev, count };

constexpr std::array<const wchar_t *, static_cast<std::size_t>(SystemLibrary::count)>
    kLibraryFileNames = {L"kernel32.dll", L"advapi32.dll", L"user32.dll",
                         L"setupapi.dll", L"cfgmgr32.dll", L"newdev.dll"};

struct OperationBinding {
    SystemLibrary library;
    const char *exportName;
};

constexpr std::array<OperationBinding, kPlatformOperationCount> kBindings = {{
#define CVL_PLATFORM_OPERATION(Result, Name, Parameters, Library) {SystemLibrary::Library, #Name},
#include "platform/platform_operations.def"
}};

constexpr DWORD kSearchSystem32 = 0x00000800;     // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kAlteredSearchPath = 0x00000008;  // LOAD_WITH_ALTERED_SEARCH_PATH

// Whether every later load searches the system folder only.
bool gSearchClosedToSystemFolder = false;

// One program, one thread: the libraries and exports are looked up once.
struct LibrarySlot {
    bool tried = false;
    HMODULE module = nullptr;
};
std::array<LibrarySlot, static_cast<std::size_t>(SystemLibrary::count)> gLibraries;
std::array<FARPROC, kPlatformOperationCount> gExports{};
std::array<bool, kPlatformOperationCount> gExportTried{};
// Why an export could not be bound, for every later call of it.
std::array<DWORD, kPlatformOperationCount> gBindErrors{};

HMODULE LoadFromSystemFolder(const wchar_t *fileName) {
    wchar_t path[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    const std::size_t nameLength = std::wcslen(fileName);
    if (length == 0 || length + 1 + nameLength >= MAX_PATH) return nullptr;
    path[length] = L'\\';
    std::wmemcpy(path + length + 1, fileName, nameLength + 1);
    // Loaded by full path, the library's own imports are searched from the
    // system folder: only there, where the search is closed, and otherwise
    // from the library's folder first instead of the program's.
    return ::LoadLibraryExW(path, nullptr,
                            gSearchClosedToSystemFolder ? kSearchSystem32 : kAlteredSearchPath);
}

HMODULE LibraryOf(SystemLibrary library) {
    LibrarySlot &slot = gLibraries[static_cast<std::size_t>(library)];
    if (!slot.tried) {
        slot.tried = true;
        slot.module = LoadFromSystemFolder(kLibraryFileNames[static_cast<std::size_t>(library)]);
    }
    return slot.module;
}

}  // namespace

void CloseLibrarySearchPath() {
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel32 == nullptr) return;
    using SetDefaultDirectories = BOOL(WINAPI *)(DWORD);
    using SetDirectory = BOOL(WINAPI *)(LPCWSTR);
    // Windows 8 and later, and Windows 7, Vista and Server 2008 with the
    // loader update (KB2533623).
    const auto setDefault = reinterpret_cast<SetDefaultDirectories>(
        reinterpret_cast<void *>(::GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    if (setDefault != nullptr && setDefault(kSearchSystem32)) gSearchClosedToSystemFolder = true;
    // XP SP1 and later: an empty text takes the current directory out of the
    // search of every later load.
    const auto setDirectory = reinterpret_cast<SetDirectory>(
        reinterpret_cast<void *>(::GetProcAddress(kernel32, "SetDllDirectoryW")));
    if (setDirectory != nullptr) setDirectory(L"");
}

FARPROC BoundExport(PlatformOperation operation) {
    const auto index = static_cast<std::size_t>(operation);
    if (!gExportTried[index]) {
        const DWORD callersError = ::GetLastError();
        gExportTried[index] = true;
        const HMODULE library = LibraryOf(kBindings[index].library);
        if (library != nullptr)
            gExports[index] = ::GetProcAddress(library, kBindings[index].exportName);
        gBindErrors[index] = library == nullptr ? ERROR_MOD_NOT_FOUND : ERROR_PROC_NOT_FOUND;
        ::SetLastError(callersError);
    }
    if (gExports[index] == nullptr) ::SetLastError(gBindErrors[index]);
    return gExports[index];
}

}  // namespace cvl::win32

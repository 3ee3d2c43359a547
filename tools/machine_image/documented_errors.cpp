#include "machine_image/documented_errors.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <vector>

#include "platform/sim/parts/inf_file.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {
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

struct OperationErrors {
    Op operation;
    std::vector<DWORD> errors;
};

// From the Win32 reference (learn.microsoft.com/windows/win32/api/...): the
// return-value sections of winreg.h (RegOpenKeyExW, RegQueryValueExW,
// RegEnumKeyExW ...), fileapi.h (CreateFileW, DeleteFileW, FindFirstFileW
// ...), winbase.h (CopyFileW, MoveFileExW, LocalAlloc), wincrypt.h (CryptGenRandom),
// processthreadsapi.h, setupapi.h (SetupDiGetDeviceRegistryPropertyW lists ERROR_INVALID_DATA for a
// property the device does not have, SetupCopyOEMInfW, SetupOpenInfFileW ...), newdev.h
// (UpdateDriverForPlugAndPlayDevicesW lists ERROR_FILE_NOT_FOUND, ERROR_IN_WOW64,
// ERROR_NO_SUCH_DEVINST and ERROR_NO_MORE_ITEMS), cfgmgr32.h (the CR_ codes) and winsvc.h. Sharing
// violations and a full disk come from the system error-code list for the calls that open or write
// files.
const std::vector<OperationErrors> &Table() {
    static const std::vector<OperationErrors> table = {
        {Op::GetVersionExW, {ERROR_INSUFFICIENT_BUFFER}},
        {Op::RegOpenKeyExW, {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND}},
        {Op::RegCreateKeyExW, {ERROR_ACCESS_DENIED, ERROR_KEY_DELETED}},
        {Op::RegQueryValueExW, {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_MORE_DATA}},
        {Op::RegSetValueExW, {ERROR_ACCESS_DENIED, ERROR_KEY_DELETED}},
        {Op::RegDeleteKeyW, {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND}},
        {Op::RegDeleteValueW, {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND}},
        {Op::RegEnumKeyExW, {ERROR_NO_MORE_ITEMS, ERROR_ACCESS_DENIED}},
        {Op::RegEnumValueW, {ERROR_NO_MORE_ITEMS, ERROR_MORE_DATA}},
        {Op::RegCloseKey, {ERROR_INVALID_HANDLE}},
        {Op::GetModuleFileNameW, {ERROR_NOT_ENOUGH_MEMORY}},
        {Op::GetTempPathW, {ERROR_NOT_ENOUGH_MEMORY}},
        {Op::GetWindowsDirectoryW, {ERROR_NOT_ENOUGH_MEMORY}},
        {Op::GetSystemDirectoryW, {ERROR_NOT_ENOUGH_MEMORY}},
        {Op::GetCurrentDirectoryW, {ERROR_ACCESS_DENIED}},
        {Op::CopyFileW, {ERROR_ACCESS_DENIED, ERROR_FILE_EXISTS, ERROR_DISK_FULL}},
        {Op::CreateFileW,
         {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_FILE_NOT_FOUND,
          ERROR_PATH_NOT_FOUND}},
        {Op::WriteFile, {ERROR_DISK_FULL, ERROR_ACCESS_DENIED}},
        {Op::MoveFileExW, {ERROR_ACCESS_DENIED, ERROR_ALREADY_EXISTS, ERROR_SHARING_VIOLATION}},
        {Op::DeleteFileW, {ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND}},
        {Op::SetFileAttributesW, {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND}},
        {Op::GetFileAttributesW, {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED}},
        {Op::FindFirstFileW, {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND}},
        {Op::FindNextFileW, {ERROR_NO_MORE_FILES}},
        {Op::FindClose, {ERROR_INVALID_HANDLE}},
        {Op::LocalAlloc, {ERROR_NOT_ENOUGH_MEMORY}},
        {Op::CryptGenRandom, {NTE_FAIL, ERROR_INVALID_HANDLE}},
        {Op::LocalFree, {ERROR_INVALID_HANDLE}},
        {Op::CreateProcessW, {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY}},
        {Op::WaitForSingleObject, {ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED}},
        {Op::GetExitCodeProcess, {ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED}},
        {Op::OpenProcess, {ERROR_INVALID_PARAMETER, ERROR_ACCESS_DENIED}},
        {Op::CloseHandle, {ERROR_INVALID_HANDLE}},
        {Op::MessageBoxW, {ERROR_INVALID_WINDOW_HANDLE, ERROR_NOT_ENOUGH_MEMORY}},
        {Op::SetupDiGetClassDevsW, {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER}},
        {Op::SetupDiClassGuidsFromNameW, {ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER}},
        {Op::SetupDiEnumDeviceInfo, {ERROR_NO_MORE_ITEMS, ERROR_INVALID_HANDLE}},
        {Op::SetupDiDestroyDeviceInfoList, {ERROR_INVALID_HANDLE}},
        {Op::SetupDiGetDeviceInstanceIdW, {ERROR_NO_SUCH_DEVINST, ERROR_INVALID_PARAMETER}},
        {Op::SetupDiGetDeviceRegistryPropertyW,
         {ERROR_INVALID_DATA, ERROR_NOT_ENOUGH_MEMORY, ERROR_NO_SUCH_DEVINST}},
        {Op::SetupDiOpenDevRegKey, {ERROR_KEY_DOES_NOT_EXIST, ERROR_ACCESS_DENIED}},
        {Op::SetupDiDeleteDevRegKey, {ERROR_KEY_DOES_NOT_EXIST, ERROR_ACCESS_DENIED}},
        {Op::SetupDiSetClassInstallParamsW, {ERROR_INVALID_PARAMETER, ERROR_NO_SUCH_DEVINST}},
        {Op::SetupDiCallClassInstaller,
         {ERROR_NOT_DISABLEABLE, ERROR_ACCESS_DENIED, ERROR_NO_SUCH_DEVINST}},
        {Op::CM_Get_DevNode_Status, {CR_NO_SUCH_DEVNODE, CR_INVALID_DEVNODE}},
        {Op::CM_Connect_MachineW, {CR_MACHINE_UNAVAILABLE, CR_ACCESS_DENIED}},
        {Op::CM_Locate_DevNode_ExW, {CR_NO_SUCH_DEVNODE, CR_FAILURE}},
        {Op::CM_Reenumerate_DevNode_Ex, {CR_INVALID_DEVNODE, CR_ACCESS_DENIED}},
        {Op::CM_Disconnect_Machine, {CR_INVALID_POINTER}},
        {Op::SetupCopyOEMInfW, {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED}},
        {Op::SetupAddToSourceListW, {ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY}},
        {Op::SetupRemoveFromSourceListW, {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED}},
        {Op::UpdateDriverForPlugAndPlayDevicesW,
         {ERROR_NO_SUCH_DEVINST, ERROR_NO_MORE_ITEMS, ERROR_FILE_NOT_FOUND, ERROR_IN_WOW64}},
        {Op::SetupOpenInfFileW, {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_CLASS_MISMATCH}},
        {Op::SetupFindFirstLineW, {ERROR_LINE_NOT_FOUND, ERROR_SECTION_NOT_FOUND}},
        {Op::SetupFindNextLine, {ERROR_LINE_NOT_FOUND}},
        {Op::SetupGetStringFieldW, {ERROR_INVALID_PARAMETER}},
        {Op::SetupGetInfFileListW, {ERROR_NOT_ENOUGH_MEMORY, ERROR_PATH_NOT_FOUND}},
        {Op::OpenSCManagerW, {ERROR_ACCESS_DENIED, ERROR_DATABASE_DOES_NOT_EXIST}},
        {Op::OpenServiceW, {ERROR_SERVICE_DOES_NOT_EXIST, ERROR_ACCESS_DENIED}},
        {Op::QueryServiceConfigW, {ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE}},
        {Op::CloseServiceHandle, {ERROR_INVALID_HANDLE}},
    };
    return table;
}

}  // namespace

std::span<const DWORD> DocumentedErrors(PlatformOperation operation) {
    for (const OperationErrors &row : Table())
        if (row.operation == operation) return row.errors;
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

}  // namespace cvl::sim

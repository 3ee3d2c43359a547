// Win32 types, records and constants as the logic sees them, with the values
// Windows gives them. This header never includes <windows.h>: the Windows
// build includes it after this one, only in the files of platform/win32/ and
// the Windows entry, so the macros there cannot reach these declarations.
// The namespace is inline because these names are the vocabulary of all of
// cvl: code in cvl names them plainly, with no using-directive in a header,
// and cvl::win::DWORD still says where one comes from.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cvl {
inline namespace win {

using DWORD = std::uint32_t;
using BOOL = std::int32_t;
using LONG = std::int32_t;
using LSTATUS = std::int32_t;
using UINT = std::uint32_t;
using ULONG = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using REGSAM = std::uint32_t;
using CONFIGRET = std::uint32_t;
using DEVINST = std::uint32_t;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

// Opaque handles. The real build carries the system's handle values in them
// unchanged; the simulation numbers its own objects.
struct HKEY__;
using HKEY = HKEY__ *;
using HANDLE = void *;
using HDEVINFO = void *;
using HINF = void *;
using HMACHINE = void *;
struct SC_HANDLE__;
using SC_HANDLE = SC_HANDLE__ *;
using HLOCAL = void *;

inline HANDLE InvalidHandleValue() {
    return reinterpret_cast<HANDLE>(~std::uintptr_t{0});
}
inline HKEY PredefinedKey(std::uint32_t value) {
    // Predefined keys are sign-extended 32-bit values on 64-bit Windows.
    return reinterpret_cast<HKEY>(
        static_cast<std::uintptr_t>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value))));
}
inline HKEY HKeyCurrentUser() {
    return PredefinedKey(0x80000001u);
}
inline HKEY HKeyLocalMachine() {
    return PredefinedKey(0x80000002u);
}

// Last-error and status codes.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_INVALID_FUNCTION = 1;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_DATA = 13;
inline constexpr DWORD ERROR_OUTOFMEMORY = 14;
inline constexpr DWORD ERROR_NO_MORE_FILES = 18;
inline constexpr DWORD ERROR_NOT_READY = 21;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD ERROR_FILE_EXISTS = 80;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_BAD_PATHNAME = 161;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
inline constexpr DWORD ERROR_INVALID_FLAGS = 1004;
inline constexpr DWORD ERROR_BADKEY = 1010;
inline constexpr DWORD ERROR_KEY_DELETED = 1018;
inline constexpr DWORD ERROR_SERVICE_DOES_NOT_EXIST = 1060;
inline constexpr DWORD ERROR_POSSIBLE_DEADLOCK = 1131;
inline constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
inline constexpr DWORD ERROR_EXPECTED_SECTION_NAME = 0xE0000000;
inline constexpr DWORD ERROR_BAD_SECTION_NAME_LINE = 0xE0000001;
inline constexpr DWORD ERROR_SECTION_NAME_TOO_LONG = 0xE0000002;
inline constexpr DWORD ERROR_WRONG_INF_STYLE = 0xE0000100;
inline constexpr DWORD ERROR_SECTION_NOT_FOUND = 0xE0000101;
inline constexpr DWORD ERROR_LINE_NOT_FOUND = 0xE0000102;
inline constexpr DWORD ERROR_NO_SUCH_DEVINST = 0xE000020B;
inline constexpr DWORD ERROR_INVALID_CLASS_INSTALLER = 0xE000020D;
inline constexpr DWORD ERROR_DI_DO_DEFAULT = 0xE000020E;
inline constexpr DWORD ERROR_CLASS_MISMATCH = 0xE0000201;
inline constexpr DWORD ERROR_NO_DRIVER_SELECTED = 0xE0000203;
inline constexpr DWORD ERROR_KEY_DOES_NOT_EXIST = 0xE0000204;
inline constexpr DWORD ERROR_INVALID_REG_PROPERTY = 0xE0000209;
inline constexpr DWORD ERROR_NO_ASSOCIATED_SERVICE = 0xE0000219;
inline constexpr DWORD ERROR_NO_DEVICE_SELECTED = 0xE0000211;
inline constexpr DWORD ERROR_NO_CLASSINSTALL_PARAMS = 0xE0000215;
inline constexpr DWORD ERROR_NOT_DISABLEABLE = 0xE0000231;
inline constexpr DWORD ERROR_IN_WOW64 = 0xE0000235;

// Registry.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;

// Version report.
inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// The extended version record with the layout of OSVERSIONINFOEXW; the
// plain OSVERSIONINFOW is its first kOsVersionInfoSize bytes.
struct OsVersionInfoEx {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char16_t szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
inline constexpr DWORD kOsVersionInfoExSize = sizeof(OsVersionInfoEx);
inline constexpr DWORD kOsVersionInfoSize = offsetof(OsVersionInfoEx, wServicePackMajor);

// Files.
inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD DELETE = 0x00010000u;
inline constexpr DWORD FILE_SHARE_READ = 1;
inline constexpr DWORD FILE_SHARE_WRITE = 2;
inline constexpr DWORD FILE_SHARE_DELETE = 4;
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_FLAG_DELETE_ON_CLOSE = 0x04000000u;
inline constexpr DWORD FILE_FLAG_OPEN_REPARSE_POINT = 0x00200000u;
inline constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

struct FindData {
    DWORD dwFileAttributes;
    std::uint64_t nFileSize;
    char16_t cFileName[260];
};

// Processes.
inline constexpr DWORD SYNCHRONIZE = 0x00100000u;
inline constexpr DWORD PROCESS_QUERY_INFORMATION = 0x0400;
inline constexpr DWORD INFINITE = 0xFFFFFFFFu;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
inline constexpr DWORD STILL_ACTIVE = 259;
inline constexpr DWORD NORMAL_PRIORITY_CLASS = 0x20;
inline constexpr DWORD STARTF_USESHOWWINDOW = 0x1;
inline constexpr WORD SW_HIDE = 0;

// The fields of STARTUPINFOW that the system sets. The real build fills
// the record's size from sizeof(STARTUPINFOW) of the target, so `cb` here
// carries whatever the caller set and the Windows layer replaces it.
struct StartupInfo {
    DWORD cb;
    DWORD dwFlags;
    WORD wShowWindow;
};

struct ProcessInformation {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};

// Message box.
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Memory.
inline constexpr UINT LPTR = 0x40;

// SetupAPI device lists and properties.
struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};
inline bool operator==(const Guid &a, const Guid &b) {
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.data4[i] != b.data4[i]) return false;
    return true;
}

struct DevInfoData {
    Guid ClassGuid;
    DEVINST DevInst;
    std::uintptr_t Reserved;
};

inline constexpr DWORD DIGCF_DEFAULT = 0x1;
inline constexpr DWORD DIGCF_PRESENT = 0x2;
inline constexpr DWORD DIGCF_ALLCLASSES = 0x4;
inline constexpr DWORD DIGCF_PROFILE = 0x8;
inline constexpr DWORD SPDRP_DEVICEDESC = 0x0;
inline constexpr DWORD SPDRP_HARDWAREID = 0x1;
inline constexpr DWORD SPDRP_COMPATIBLEIDS = 0x2;
inline constexpr DWORD SPDRP_SERVICE = 0x4;
inline constexpr DWORD SPDRP_CLASS = 0x7;
inline constexpr DWORD SPDRP_CLASSGUID = 0x8;
inline constexpr DWORD SPDRP_DRIVER = 0x9;
inline constexpr DWORD DICS_ENABLE = 1;
inline constexpr DWORD DICS_DISABLE = 2;
inline constexpr DWORD DICS_FLAG_GLOBAL = 1;
inline constexpr DWORD DICS_FLAG_CONFIGSPECIFIC = 2;
inline constexpr DWORD DIREG_DEV = 1;
inline constexpr DWORD DIREG_DRV = 2;
inline constexpr DWORD DIREG_BOTH = 4;
inline constexpr DWORD DIF_REMOVE = 0x05;
inline constexpr DWORD DIF_PROPERTYCHANGE = 0x12;
inline constexpr DWORD DI_REMOVEDEVICE_GLOBAL = 1;

// The class-install parameters of the two requests the system makes: the
// property change (SP_PROPCHANGE_PARAMS) and the removal
// (SP_REMOVEDEVICE_PARAMS, which has no state change).
struct ClassInstallParams {
    DWORD InstallFunction;
    DWORD StateChange;
    DWORD Scope;
    DWORD HwProfile;
};

// Configuration Manager.
inline constexpr CONFIGRET CR_SUCCESS = 0;
inline constexpr CONFIGRET CR_OUT_OF_MEMORY = 2;
inline constexpr CONFIGRET CR_INVALID_POINTER = 3;
inline constexpr CONFIGRET CR_INVALID_DEVNODE = 5;
inline constexpr CONFIGRET CR_NO_SUCH_DEVNODE = 13;
inline constexpr CONFIGRET CR_FAILURE = 19;
inline constexpr CONFIGRET CR_ACCESS_DENIED = 51;
inline constexpr CONFIGRET CR_MACHINE_UNAVAILABLE = 55;
inline constexpr ULONG DN_STARTED = 0x00000008;
inline constexpr ULONG DN_DISABLEABLE = 0x00002000;
inline constexpr ULONG DN_NO_SHOW_IN_DM = 0x40000000;
inline constexpr ULONG CM_LOCATE_DEVNODE_NORMAL = 0;
inline constexpr ULONG CM_REENUMERATE_NORMAL = 0;
inline constexpr ULONG CM_REENUMERATE_SYNCHRONOUS = 1;
inline constexpr ULONG CM_REENUMERATE_ASYNCHRONOUS = 4;

// Driver store and sources.
inline constexpr DWORD SPOST_NONE = 0;
inline constexpr DWORD SPOST_PATH = 1;
inline constexpr DWORD SPOST_URL = 2;
inline constexpr DWORD SP_COPY_NOOVERWRITE = 0x8;
inline constexpr DWORD SRCLIST_SYSIFADMIN = 0x40;
inline constexpr DWORD INSTALLFLAG_FORCE = 0x1;

// INF reading.
inline constexpr DWORD INF_STYLE_OLDNT = 1;
inline constexpr DWORD INF_STYLE_WIN4 = 2;

// A position in an open INF file (INFCONTEXT).
struct InfContext {
    HINF Inf;
    HINF CurrentInf;
    UINT Section;
    UINT Line;
};

// Service control manager.
inline constexpr DWORD SC_MANAGER_CONNECT = 0x1;
inline constexpr DWORD SC_MANAGER_ALL_ACCESS = 0xF003F;
inline constexpr DWORD SERVICE_QUERY_CONFIG = 0x1;
inline constexpr DWORD SERVICE_ALL_ACCESS = 0xF01FF;

// The part of QUERY_SERVICE_CONFIGW the system reads. The size protocol of
// QueryServiceConfigW is kept: the byte counts are those of the real record
// with its strings, as Windows reports them.
struct ServiceConfig {
    DWORD dwServiceType;
    DWORD dwStartType;
    DWORD dwErrorControl;
    char16_t lpBinaryPathName[1024];
};

}  // namespace win
}  // namespace cvl

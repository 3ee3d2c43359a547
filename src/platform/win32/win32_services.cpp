// Service control manager calls. QueryServiceConfigW keeps the byte counts
// of the real Unicode record with its strings, so the caller's size
// protocol (ask, then read with the size the system named) works
// unchanged; only the fields the logic reads are copied into our record.
// Through the ANSI form the count is the one the Unicode record of the
// same strings would take.
#include "platform/win32/win32_platform.h"

#include <vector>

#include "platform/win32/ansi_text.h"
#include "platform/win32/library_binding.h"
#include "platform/win32/text_forms.h"
#include "platform/win32/win32_boundary.h"

namespace cvl {

using win32::AnsiArg;
using win32::Ours;
using win32::Real;
using win32::SameLayout;
using win32::UsesAnsiForms;
using win32::Wide;

namespace {

// Pointer-aligned storage of `bytes` for a record followed by its strings.
template <typename Record>
std::vector<Record> RecordStorage(DWORD bytes) {
    return std::vector<Record>((bytes + sizeof(Record) - 1) / sizeof(Record));
}

std::size_t AnsiLength(const char *text) {
    return text ? std::char_traits<char>::length(text) : 0;
}

// The bytes the Unicode record would take with the same strings: each
// string converted, with its zero; the dependencies end with two.
DWORD UnicodeRecordSize(const ::QUERY_SERVICE_CONFIGA &real) {
    std::size_t characters = 0;
    for (const char *text : {real.lpBinaryPathName, real.lpLoadOrderGroup, real.lpServiceStartName,
                             real.lpDisplayName}) {
        characters += win32::FromAnsi(std::string_view(text ? text : "", AnsiLength(text))).size();
        characters += 1;
    }
    std::size_t dependencies = 0;
    if (real.lpDependencies) {
        const char *at = real.lpDependencies;
        while (*at) at += AnsiLength(at) + 1;
        dependencies = static_cast<std::size_t>(at - real.lpDependencies);
    }
    characters += win32::FromAnsi(std::string_view(real.lpDependencies ? real.lpDependencies : "",
                                                   dependencies))
                      .size() +
                  1;
    return static_cast<DWORD>(sizeof(::QUERY_SERVICE_CONFIGW) + characters * sizeof(char16_t));
}

BOOL QueryAnsiConfig(::SC_HANDLE service, ServiceConfig *config, DWORD bufferSize,
                     DWORD *bytesNeeded) {
    ::DWORD ansiNeeded = 0;
    if (CVL_BOUND_ANSI_CALL(QueryServiceConfigW, service, nullptr, 0, &ansiNeeded) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return FALSE;
    auto storage = RecordStorage<::QUERY_SERVICE_CONFIGA>(ansiNeeded);
    if (!CVL_BOUND_ANSI_CALL(QueryServiceConfigW, service, storage.data(), ansiNeeded, &ansiNeeded))
        return FALSE;
    const ::QUERY_SERVICE_CONFIGA &real = storage.front();
    const DWORD needed = UnicodeRecordSize(real);
    if (bytesNeeded) *bytesNeeded = needed;
    if (config == nullptr || bufferSize < needed) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    config->dwServiceType = real.dwServiceType;
    config->dwStartType = real.dwStartType;
    config->dwErrorControl = real.dwErrorControl;
    const std::u16string path = win32::FromAnsi(real.lpBinaryPathName ? real.lpBinaryPathName : "");
    win32::CopyIntoSlot(Wide(path.c_str()), config->lpBinaryPathName);
    return TRUE;
}

}  // namespace

SC_HANDLE Win32Platform::OpenSCManagerW(const char16_t *machineName, const char16_t *databaseName,
                                        DWORD access) {
    if (!UsesAnsiForms())
        return Ours(CVL_BOUND_CALL(OpenSCManagerW, Wide(machineName), Wide(databaseName), access));
    AnsiArg machine(machineName);
    AnsiArg database(databaseName);
    if (!machine.held() || !database.held()) return nullptr;
    return Ours(CVL_BOUND_ANSI_CALL(OpenSCManagerW, machine.get(), database.get(), access));
}

SC_HANDLE Win32Platform::OpenServiceW(SC_HANDLE manager, const char16_t *serviceName,
                                      DWORD access) {
    if (!UsesAnsiForms())
        return Ours(CVL_BOUND_CALL(OpenServiceW, Real(manager), Wide(serviceName), access));
    AnsiArg name(serviceName);
    if (!name.held()) return nullptr;
    return Ours(CVL_BOUND_ANSI_CALL(OpenServiceW, Real(manager), name.get(), access));
}

BOOL Win32Platform::QueryServiceConfigW(SC_HANDLE service, ServiceConfig *config, DWORD bufferSize,
                                        DWORD *bytesNeeded) {
    BOOL ok = 0;
    ::DWORD error = 0;
    {
        if (UsesAnsiForms()) {
            ok = QueryAnsiConfig(Real(service), config, bufferSize, bytesNeeded);
        } else {
            auto storage = RecordStorage<::QUERY_SERVICE_CONFIGW>(bufferSize);
            auto *real = storage.empty() ? nullptr : storage.data();
            ok = CVL_BOUND_CALL(QueryServiceConfigW, Real(service), real, bufferSize,
                                SameLayout<::DWORD>(bytesNeeded));
            if (ok && config && real) {
                config->dwServiceType = real->dwServiceType;
                config->dwStartType = real->dwStartType;
                config->dwErrorControl = real->dwErrorControl;
                win32::CopyIntoSlot(real->lpBinaryPathName, config->lpBinaryPathName);
            }
        }
        error = ::GetLastError();
    }
    // Releasing the storage may touch the last error; the caller reads the
    // call's own.
    ::SetLastError(error);
    return ok;
}

BOOL Win32Platform::CloseServiceHandle(SC_HANDLE handle) {
    return CVL_BOUND_CALL(CloseServiceHandle, Real(handle));
}

}  // namespace cvl

// Service control manager calls. QueryServiceConfigW keeps the byte counts
// of the real record with its strings, so the caller's size protocol (ask,
// then read with the size the system named) works unchanged; only the
// fields the logic reads are copied into our record.
#include "platform/win32/win32_platform.h"

#include <vector>

#include "platform/win32/win32_boundary.h"

namespace cvl {

using win32::Ours;
using win32::Real;
using win32::SameLayout;
using win32::Wide;

SC_HANDLE Win32Platform::OpenSCManagerW(const char16_t *machineName, const char16_t *databaseName,
                                        DWORD access) {
    return Ours(::OpenSCManagerW(Wide(machineName), Wide(databaseName), access));
}

SC_HANDLE Win32Platform::OpenServiceW(SC_HANDLE manager, const char16_t *serviceName,
                                      DWORD access) {
    return Ours(::OpenServiceW(Real(manager), Wide(serviceName), access));
}

BOOL Win32Platform::QueryServiceConfigW(SC_HANDLE service, ServiceConfig *config, DWORD bufferSize,
                                        DWORD *bytesNeeded) {
    BOOL ok = 0;
    ::DWORD error = 0;
    {
        // The record is followed by its strings; pointer-aligned storage of
        // the size the caller was told to use.
        std::vector<::QUERY_SERVICE_CONFIGW> storage(
            (bufferSize + sizeof(::QUERY_SERVICE_CONFIGW) - 1) / sizeof(::QUERY_SERVICE_CONFIGW));
        auto *real = storage.empty() ? nullptr : storage.data();
        ok = ::QueryServiceConfigW(Real(service), real, bufferSize,
                                   SameLayout<::DWORD>(bytesNeeded));
        error = ::GetLastError();
        if (ok && config && real) {
            config->dwServiceType = real->dwServiceType;
            config->dwStartType = real->dwStartType;
            config->dwErrorControl = real->dwErrorControl;
            win32::CopyIntoSlot(real->lpBinaryPathName, config->lpBinaryPathName);
        }
    }
    // Releasing the storage may touch the last error; the caller reads the
    // call's own.
    ::SetLastError(error);
    return ok;
}

BOOL Win32Platform::CloseServiceHandle(SC_HANDLE handle) {
    return ::CloseServiceHandle(Real(handle));
}

}  // namespace cvl

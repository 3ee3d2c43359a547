// Last error, version report, system paths, memory, message box and clock.
#include "platform/win32/win32_platform.h"

#include <cstddef>

#include "platform/win32/win32_boundary.h"

// After <windows.h>, which leaves it out in its lean form.
#include <wincrypt.h>

namespace cvl {

using win32::Wide;

// The logic hands the extended record straight to the system, which reads
// its size field to tell the plain record from the extended one.
static_assert(sizeof(OsVersionInfoEx) == sizeof(::OSVERSIONINFOEXW));
static_assert(offsetof(OsVersionInfoEx, wServicePackMajor) == sizeof(::OSVERSIONINFOW));
static_assert(offsetof(OsVersionInfoEx, szCSDVersion) ==
              offsetof(::OSVERSIONINFOEXW, szCSDVersion));
static_assert(offsetof(OsVersionInfoEx, wServicePackMajor) ==
              offsetof(::OSVERSIONINFOEXW, wServicePackMajor));
static_assert(offsetof(OsVersionInfoEx, wSuiteMask) == offsetof(::OSVERSIONINFOEXW, wSuiteMask));
static_assert(offsetof(OsVersionInfoEx, wProductType) ==
              offsetof(::OSVERSIONINFOEXW, wProductType));

DWORD Win32Platform::GetLastError() {
    return ::GetLastError();
}

void Win32Platform::SetLastError(DWORD error) {
    ::SetLastError(error);
}

BOOL Win32Platform::GetVersionExW(OsVersionInfoEx &info) {
    auto *extended = win32::SameLayout<::OSVERSIONINFOEXW>(&info);
    return ::GetVersionExW(reinterpret_cast<::OSVERSIONINFOW *>(extended));
}

DWORD Win32Platform::GetModuleFileNameW(char16_t *buffer, DWORD size) {
    return ::GetModuleFileNameW(nullptr, Wide(buffer), size);
}

DWORD Win32Platform::GetTempPathW(DWORD size, char16_t *buffer) {
    return ::GetTempPathW(size, Wide(buffer));
}

UINT Win32Platform::GetWindowsDirectoryW(char16_t *buffer, UINT size) {
    return ::GetWindowsDirectoryW(Wide(buffer), size);
}

UINT Win32Platform::GetSystemDirectoryW(char16_t *buffer, UINT size) {
    return ::GetSystemDirectoryW(Wide(buffer), size);
}

DWORD Win32Platform::GetCurrentDirectoryW(DWORD size, char16_t *buffer) {
    return ::GetCurrentDirectoryW(size, Wide(buffer));
}

HLOCAL Win32Platform::LocalAlloc(UINT flags, std::size_t bytes) {
    return ::LocalAlloc(flags, bytes);
}

HLOCAL Win32Platform::LocalFree(HLOCAL memory) {
    return ::LocalFree(memory);
}

int Win32Platform::MessageBoxW(const char16_t *text, const char16_t *caption, UINT type) {
    return ::MessageBoxW(nullptr, Wide(text), Wide(caption), type);
}

void Win32Platform::Sleep(DWORD milliseconds) {
    ::Sleep(milliseconds);
}

DWORD Win32Platform::GetTickCount() {
    return ::GetTickCount();
}

BOOL Win32Platform::CryptGenRandom(DWORD length, BYTE *buffer) {
    // A verify-only context needs no key container, so it works for any
    // account, asks nothing and leaves nothing behind.
    ::HCRYPTPROV provider = 0;
    if (!::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return FALSE;
    const BOOL filled = ::CryptGenRandom(provider, length, buffer);
    const ::DWORD error = ::GetLastError();
    ::CryptReleaseContext(provider, 0);
    ::SetLastError(error);
    return filled;
}

}  // namespace cvl

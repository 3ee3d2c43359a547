// Last error, version report, system paths, memory, message box and clock.
#include "platform/win32/win32_platform.h"

#include <cstddef>
#include <string>

#include "platform/win32/ansi_text.h"
#include "platform/win32/library_binding.h"
#include "platform/win32/text_forms.h"
#include "platform/win32/win32_boundary.h"

// After <windows.h>, which leaves it out in its lean form.
#include <wincrypt.h>

namespace cvl {

using win32::UsesAnsiForms;
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
    if (!UsesAnsiForms()) {
        auto *extended = win32::SameLayout<::OSVERSIONINFOEXW>(&info);
        return CVL_BOUND_CALL(GetVersionExW, reinterpret_cast<::OSVERSIONINFOW *>(extended));
    }
    // The ANSI record of the size the caller chose; any other size is
    // handed on for the system to refuse.
    ::OSVERSIONINFOEXA real{};
    real.dwOSVersionInfoSize =
        info.dwOSVersionInfoSize == kOsVersionInfoExSize ? sizeof(::OSVERSIONINFOEXA)
        : info.dwOSVersionInfoSize == kOsVersionInfoSize ? sizeof(::OSVERSIONINFOA)
                                                         : info.dwOSVersionInfoSize;
    if (!CVL_BOUND_ANSI_CALL(GetVersionExW, reinterpret_cast<::OSVERSIONINFOA *>(&real)))
        return FALSE;
    win32::KeptLastError kept;
    info.dwMajorVersion = real.dwMajorVersion;
    info.dwMinorVersion = real.dwMinorVersion;
    info.dwBuildNumber = real.dwBuildNumber;
    info.dwPlatformId = real.dwPlatformId;
    win32::CopyIntoSlot(Wide(win32::FromAnsi(real.szCSDVersion).c_str()), info.szCSDVersion);
    if (info.dwOSVersionInfoSize == kOsVersionInfoExSize) {
        info.wServicePackMajor = real.wServicePackMajor;
        info.wServicePackMinor = real.wServicePackMinor;
        info.wSuiteMask = real.wSuiteMask;
        info.wProductType = real.wProductType;
        info.wReserved = real.wReserved;
    }
    return TRUE;
}

DWORD Win32Platform::GetModuleFileNameW(char16_t *buffer, DWORD size) {
    if (!UsesAnsiForms()) return CVL_BOUND_CALL(GetModuleFileNameW, nullptr, Wide(buffer), size);
    const auto ansi = win32::FetchPath([](char *text, ::DWORD capacity) {
        return CVL_BOUND_ANSI_CALL(GetModuleFileNameW, nullptr, text, capacity);
    });
    if (!ansi) return 0;
    const std::u16string path = win32::FromAnsi(*ansi);
    if (buffer == nullptr || size == 0) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // As Windows from Vista on: a short buffer gets the cut name with its
    // zero, the buffer's size back and ERROR_INSUFFICIENT_BUFFER.
    const DWORD length = static_cast<DWORD>(path.size()) < size ? path.size() : size - 1;
    std::memcpy(buffer, path.data(), length * sizeof(char16_t));
    buffer[length] = 0;
    if (length < path.size()) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return length;
}

// The four folder calls share the path protocol; the ANSI form's path is
// converted and measured again in characters.
#define CVL_FOLDER_CALL(Name, AnsiCall, UnicodeCall)                                           \
    if (!UsesAnsiForms()) return UnicodeCall;                                                  \
    const auto ansi = win32::FetchPath([](char *text, ::DWORD capacity) { return AnsiCall; }); \
    if (!ansi) return 0;                                                                       \
    win32::KeptLastError kept;                                                                 \
    return win32::DeliverPath(win32::FromAnsi(*ansi), buffer, size);

DWORD Win32Platform::GetTempPathW(DWORD size, char16_t *buffer){
    CVL_FOLDER_CALL(GetTempPathW, CVL_BOUND_ANSI_CALL(GetTempPathW, capacity, text),
                    CVL_BOUND_CALL(GetTempPathW, size, Wide(buffer)))}

UINT Win32Platform::GetWindowsDirectoryW(char16_t *buffer, UINT size){
    CVL_FOLDER_CALL(GetWindowsDirectoryW, CVL_BOUND_ANSI_CALL(GetWindowsDirectoryW, text, capacity),
                    CVL_BOUND_CALL(GetWindowsDirectoryW, Wide(buffer), size))}

UINT Win32Platform::GetSystemDirectoryW(char16_t *buffer, UINT size){
    CVL_FOLDER_CALL(GetSystemDirectoryW, CVL_BOUND_ANSI_CALL(GetSystemDirectoryW, text, capacity),
                    CVL_BOUND_CALL(GetSystemDirectoryW, Wide(buffer), size))}

DWORD Win32Platform::GetCurrentDirectoryW(DWORD size, char16_t *buffer){
    CVL_FOLDER_CALL(GetCurrentDirectoryW, CVL_BOUND_ANSI_CALL(GetCurrentDirectoryW, capacity, text),
                    CVL_BOUND_CALL(GetCurrentDirectoryW, size, Wide(buffer)))}
#undef CVL_FOLDER_CALL

HLOCAL Win32Platform::LocalAlloc(UINT flags, std::size_t bytes) {
    return ::LocalAlloc(flags, bytes);
}

HLOCAL Win32Platform::LocalFree(HLOCAL memory) {
    return ::LocalFree(memory);
}

int Win32Platform::MessageBoxW(const char16_t *text, const char16_t *caption, UINT type) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(MessageBoxW, nullptr, Wide(text), Wide(caption), type);
    // A message is shown even where a letter of it has no place in the
    // code page: a question mark there is better than no box.
    const auto shown = [](const char16_t *wide) {
        if (wide == nullptr) return std::string();
        std::string ansi(std::u16string_view(wide).size() * 2 + 1, '\0');
        const int length = ::WideCharToMultiByte(CP_ACP, 0, Wide(wide), -1, ansi.data(),
                                                 static_cast<int>(ansi.size()), nullptr, nullptr);
        ansi.resize(length > 0 ? length - 1 : 0);
        return ansi;
    };
    const std::string ansiText = shown(text);
    const std::string ansiCaption = shown(caption);
    return CVL_BOUND_ANSI_CALL(MessageBoxW, nullptr, ansiText.c_str(),
                               caption ? ansiCaption.c_str() : nullptr, type);
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
    // The first Windows 95 release has no CryptoAPI: every call is bound.
    ::HCRYPTPROV provider = 0;
    const BOOL acquired = UsesAnsiForms()
                              ? CVL_SYSTEM_CALL(advapi32, CryptAcquireContextA, &provider, nullptr,
                                                nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)
                              : CVL_SYSTEM_CALL(advapi32, CryptAcquireContextW, &provider, nullptr,
                                                nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT);
    if (!acquired) return FALSE;
    const BOOL filled = CVL_BOUND_CALL(CryptGenRandom, provider, length, buffer);
    const ::DWORD error = ::GetLastError();
    CVL_SYSTEM_CALL(advapi32, CryptReleaseContext, provider, 0);
    ::SetLastError(error);
    return filled;
}

}  // namespace cvl

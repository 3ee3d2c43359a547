// File calls. Files are opened without security attributes or a template,
// as every caller of the logic does.
#include "platform/win32/win32_platform.h"

#include "platform/win32/win32_boundary.h"

namespace cvl {

using win32::SameLayout;
using win32::Wide;

namespace {

// Our find record keeps the attributes, the size as one number and the
// name; the name slot has the system's length, so nothing is cut.
void CopyFindData(const ::WIN32_FIND_DATAW &real, FindData &ours) {
    static_assert(sizeof(ours.cFileName) == sizeof(real.cFileName));
    ours.dwFileAttributes = real.dwFileAttributes;
    ours.nFileSize = (static_cast<std::uint64_t>(real.nFileSizeHigh) << 32) | real.nFileSizeLow;
    std::memcpy(ours.cFileName, real.cFileName, sizeof(ours.cFileName));
}

}  // namespace

BOOL Win32Platform::CopyFileW(const char16_t *existing, const char16_t *target, BOOL failIfExists) {
    return ::CopyFileW(Wide(existing), Wide(target), failIfExists);
}

HANDLE Win32Platform::CreateFileW(const char16_t *path, DWORD access, DWORD shareMode,
                                  DWORD creationDisposition, DWORD flagsAndAttributes) {
    return ::CreateFileW(Wide(path), access, shareMode, nullptr, creationDisposition,
                         flagsAndAttributes, nullptr);
}

BOOL Win32Platform::WriteFile(HANDLE file, const void *data, DWORD size, DWORD *written) {
    return ::WriteFile(file, data, size, SameLayout<::DWORD>(written), nullptr);
}

BOOL Win32Platform::MoveFileExW(const char16_t *existing, const char16_t *target, DWORD flags) {
    return ::MoveFileExW(Wide(existing), Wide(target), flags);
}

BOOL Win32Platform::DeleteFileW(const char16_t *path) {
    return ::DeleteFileW(Wide(path));
}

BOOL Win32Platform::SetFileAttributesW(const char16_t *path, DWORD attributes) {
    return ::SetFileAttributesW(Wide(path), attributes);
}

DWORD Win32Platform::GetFileAttributesW(const char16_t *path) {
    return ::GetFileAttributesW(Wide(path));
}

HANDLE Win32Platform::FindFirstFileW(const char16_t *pattern, FindData *data) {
    ::WIN32_FIND_DATAW real{};
    HANDLE find = ::FindFirstFileW(Wide(pattern), &real);
    if (find != INVALID_HANDLE_VALUE && data) CopyFindData(real, *data);
    return find;
}

BOOL Win32Platform::FindNextFileW(HANDLE find, FindData *data) {
    ::WIN32_FIND_DATAW real{};
    BOOL found = ::FindNextFileW(find, &real);
    if (found && data) CopyFindData(real, *data);
    return found;
}

BOOL Win32Platform::FindClose(HANDLE find) {
    return ::FindClose(find);
}

}  // namespace cvl

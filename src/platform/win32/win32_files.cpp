// File calls. Files are opened without security attributes or a template,
// as every caller of the logic does. On the 9x line the ANSI forms take
// the paths in the code page.
#include "platform/win32/win32_platform.h"

#include "platform/win32/ansi_text.h"
#include "platform/win32/library_binding.h"
#include "platform/win32/text_forms.h"
#include "platform/win32/win32_boundary.h"

namespace cvl {

using win32::AnsiArg;
using win32::SameLayout;
using win32::UsesAnsiForms;
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

// The ANSI record's name is at most MAX_PATH bytes, which is never more
// characters than our slot holds.
void CopyFindData(const ::WIN32_FIND_DATAA &real, FindData &ours) {
    win32::KeptLastError kept;
    ours.dwFileAttributes = real.dwFileAttributes;
    ours.nFileSize = (static_cast<std::uint64_t>(real.nFileSizeHigh) << 32) | real.nFileSizeLow;
    const std::u16string name = win32::FromAnsi(real.cFileName);
    win32::CopyIntoSlot(Wide(name.c_str()), ours.cFileName);
}

}  // namespace

BOOL Win32Platform::CopyFileW(const char16_t *existing, const char16_t *target, BOOL failIfExists) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(CopyFileW, Wide(existing), Wide(target), failIfExists);
    AnsiArg from(existing);
    AnsiArg to(target);
    if (!from.held() || !to.held()) return FALSE;
    return CVL_BOUND_ANSI_CALL(CopyFileW, from.get(), to.get(), failIfExists);
}

HANDLE Win32Platform::CreateFileW(const char16_t *path, DWORD access, DWORD shareMode,
                                  DWORD creationDisposition, DWORD flagsAndAttributes) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(CreateFileW, Wide(path), access, shareMode, nullptr,
                              creationDisposition, flagsAndAttributes, nullptr);
    AnsiArg name(path);
    if (!name.held()) return INVALID_HANDLE_VALUE;
    return CVL_BOUND_ANSI_CALL(CreateFileW, name.get(), access, shareMode, nullptr,
                               creationDisposition, flagsAndAttributes, nullptr);
}

BOOL Win32Platform::WriteFile(HANDLE file, const void *data, DWORD size, DWORD *written) {
    return ::WriteFile(file, data, size, SameLayout<::DWORD>(written), nullptr);
}

BOOL Win32Platform::MoveFileExW(const char16_t *existing, const char16_t *target, DWORD flags) {
    if (!UsesAnsiForms()) return CVL_BOUND_CALL(MoveFileExW, Wide(existing), Wide(target), flags);
    AnsiArg from(existing);
    AnsiArg to(target);
    if (!from.held() || !to.held()) return FALSE;
    return CVL_BOUND_ANSI_CALL(MoveFileExW, from.get(), to.get(), flags);
}

BOOL Win32Platform::DeleteFileW(const char16_t *path) {
    if (!UsesAnsiForms()) return CVL_BOUND_CALL(DeleteFileW, Wide(path));
    AnsiArg name(path);
    if (!name.held()) return FALSE;
    return CVL_BOUND_ANSI_CALL(DeleteFileW, name.get());
}

BOOL Win32Platform::SetFileAttributesW(const char16_t *path, DWORD attributes) {
    if (!UsesAnsiForms()) return CVL_BOUND_CALL(SetFileAttributesW, Wide(path), attributes);
    AnsiArg name(path);
    if (!name.held()) return FALSE;
    return CVL_BOUND_ANSI_CALL(SetFileAttributesW, name.get(), attributes);
}

DWORD Win32Platform::GetFileAttributesW(const char16_t *path) {
    // kernel32 has both forms on every generation; the binding is only
    // where the form is chosen.
    if (!UsesAnsiForms()) {
        const FARPROC bound = win32::BoundExport(PlatformOperation::GetFileAttributesW);
        return bound ? CVL_BOUND_CALL(GetFileAttributesW, Wide(path)) : INVALID_FILE_ATTRIBUTES;
    }
    AnsiArg name(path);
    if (!name.held() || !win32::BoundAnsiExport(PlatformOperation::GetFileAttributesW))
        return INVALID_FILE_ATTRIBUTES;
    return CVL_BOUND_ANSI_CALL(GetFileAttributesW, name.get());
}

HANDLE Win32Platform::FindFirstFileW(const char16_t *pattern, FindData *data) {
    if (!UsesAnsiForms()) {
        ::WIN32_FIND_DATAW real{};
        HANDLE find = CVL_BOUND_CALL(FindFirstFileW, Wide(pattern), &real);
        if (find != INVALID_HANDLE_VALUE && data) CopyFindData(real, *data);
        return find;
    }
    AnsiArg name(pattern);
    if (!name.held()) return INVALID_HANDLE_VALUE;
    ::WIN32_FIND_DATAA real{};
    HANDLE find = CVL_BOUND_ANSI_CALL(FindFirstFileW, name.get(), &real);
    if (find != INVALID_HANDLE_VALUE && data) CopyFindData(real, *data);
    return find;
}

BOOL Win32Platform::FindNextFileW(HANDLE find, FindData *data) {
    if (!UsesAnsiForms()) {
        ::WIN32_FIND_DATAW real{};
        BOOL found = CVL_BOUND_CALL(FindNextFileW, find, &real);
        if (found && data) CopyFindData(real, *data);
        return found;
    }
    ::WIN32_FIND_DATAA real{};
    BOOL found = CVL_BOUND_ANSI_CALL(FindNextFileW, find, &real);
    if (found && data) CopyFindData(real, *data);
    return found;
}

BOOL Win32Platform::FindClose(HANDLE find) {
    return ::FindClose(find);
}

}  // namespace cvl

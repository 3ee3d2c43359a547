#include "log/fresh_file.h"

#include <string>

#include "system/random_digits.h"

namespace cvl {
namespace {

constexpr std::size_t kFreshDigits = 10;
constexpr char16_t kFreshExtension[] = u".new";

}  // namespace

HANDLE CreateFreshFile(Platform &platform, std::u16string_view path) {
    const auto digits = RandomDigits(platform, kFreshDigits);
    if (!digits) return InvalidHandleValue();
    const std::u16string target(path);
    const std::u16string fresh = target + u"." + *digits + kFreshExtension;
    // CREATE_NEW makes a file that no other name denotes yet; not following
    // a reparse point keeps a link planted under the fresh name from making
    // its target. Sharing deletion lets the rename below take the open file.
    HANDLE file =
        platform.CreateFileW(fresh.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
    if (file == InvalidHandleValue()) return file;
    if (platform.MoveFileExW(fresh.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return file;
    const DWORD error = platform.GetLastError();
    platform.CloseHandle(file);
    platform.DeleteFileW(fresh.c_str());
    platform.SetLastError(error);
    return InvalidHandleValue();
}

}  // namespace cvl

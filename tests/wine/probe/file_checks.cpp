// File calls through the real layer: handles, the find record and the last
// errors of failed calls.
#include <string>

#include "checks.h"

namespace cvl::probe {

void CheckFiles(ProbeContext &context) {
    Platform &platform = context.platform;
    Checks &checks = context.checks;
    const std::u16string path = context.workDirectory + u"cvlprobe.dat";
    const std::u16string copy = context.workDirectory + u"cvlprobe.cpy";

    HANDLE file =
        platform.CreateFileW(path.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    checks.Expect(file != InvalidHandleValue(), "create a file");
    const char content[] = "12345";
    DWORD written = 0;
    checks.Expect(platform.WriteFile(file, content, 5, &written) != 0, "write to it");
    checks.ExpectNumber(written, 5, "bytes written are counted");
    platform.CloseHandle(file);

    FindData found{};
    HANDLE find = platform.FindFirstFileW((context.workDirectory + u"cvlprobe.d*").c_str(), &found);
    checks.Expect(find != InvalidHandleValue(), "find the file by pattern");
    checks.ExpectText(found.cFileName, u"cvlprobe.dat", "found name");
    checks.ExpectNumber(static_cast<DWORD>(found.nFileSize), 5, "found size");
    checks.Expect((found.nFileSize >> 32) == 0, "found size has no high part");
    checks.Expect((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0, "found a file");
    platform.SetLastError(0);
    checks.Expect(!platform.FindNextFileW(find, &found), "only one match");
    checks.ExpectNumber(platform.GetLastError(), ERROR_NO_MORE_FILES, "the search ends");
    checks.Expect(platform.FindClose(find) != 0, "close the search");

    platform.SetLastError(0);
    checks.Expect(platform.FindFirstFileW((context.workDirectory + u"none*.none").c_str(),
                                          &found) == InvalidHandleValue(),
                  "a pattern without match");
    checks.ExpectNumber(platform.GetLastError(), ERROR_FILE_NOT_FOUND,
                        "a pattern without match, last error");

    checks.Expect(platform.CopyFileW(path.c_str(), copy.c_str(), TRUE) != 0, "copy a file");
    platform.SetLastError(0);
    checks.Expect(!platform.CopyFileW(path.c_str(), copy.c_str(), TRUE),
                  "no copy over an existing file");
    checks.ExpectNumber(platform.GetLastError(), ERROR_FILE_EXISTS,
                        "no copy over an existing file, last error");

    platform.SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_READONLY);
    checks.Expect((platform.GetFileAttributesW(copy.c_str()) & FILE_ATTRIBUTE_READONLY) != 0,
                  "attributes set and read");
    platform.SetLastError(0);
    checks.Expect(!platform.DeleteFileW(copy.c_str()), "a read-only file is not deleted");
    checks.ExpectNumber(platform.GetLastError(), ERROR_ACCESS_DENIED,
                        "a read-only file is not deleted, last error");
    platform.SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    checks.Expect(platform.DeleteFileW(copy.c_str()) != 0, "a plain file is deleted");

    // A file opened delete-on-close goes with its last handle.
    HANDLE held =
        platform.CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                             OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE);
    checks.Expect(held != InvalidHandleValue(), "open delete-on-close");
    platform.CloseHandle(held);
    platform.SetLastError(0);
    checks.ExpectNumber(platform.GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES,
                        "the file went with its handle");
    checks.ExpectNumber(platform.GetLastError(), ERROR_FILE_NOT_FOUND,
                        "the file went with its handle, last error");
}

}  // namespace cvl::probe

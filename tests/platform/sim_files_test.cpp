// The file and directory behaviour the system relies on: size protocols,
// path forms, dispositions, sharing, delete-on-close, searches.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl::sim {
namespace {

class FilesContract : public ::testing::Test {
protected:
    HANDLE Create(const char16_t *path, DWORD access, DWORD share, DWORD disposition,
                  DWORD flags = FILE_ATTRIBUTE_NORMAL) {
        return platform.CreateFileW(path, access, share, disposition, flags);
    }

    bool Write(HANDLE file, std::string_view text) {
        DWORD written = 0;
        return platform.WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written) &&
               written == text.size();
    }

    std::vector<std::u16string> Find(const char16_t *pattern) {
        std::vector<std::u16string> names;
        FindData data{};
        HANDLE find = platform.FindFirstFileW(pattern, &data);
        if (find == InvalidHandleValue()) return names;
        do names.emplace_back(data.cFileName);
        while (platform.FindNextFileW(find, &data));
        EXPECT_EQ(platform.GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(platform.FindClose(find));
        return names;
    }

    SimulatedPlatform sim;
    Platform &platform = sim;
};

TEST_F(FilesContract, DirectoryQueriesFollowTheSizeProtocol) {
    // GetWindowsDirectory, GetSystemDirectory, GetTempPath and
    // GetCurrentDirectory return the length without the zero when it fits,
    // and otherwise the size needed with it, leaving the buffer alone.
    struct Case {
        Op call;
        std::u16string expected;
        std::function<DWORD(DWORD, char16_t *)> query;
    };
    const std::vector<Case> cases = {
        {Op::GetWindowsDirectoryW, u"C:\\Windows",
         [&](DWORD n, char16_t *b) { return platform.GetWindowsDirectoryW(b, n); }},
        {Op::GetSystemDirectoryW, u"C:\\Windows\\system32",
         [&](DWORD n, char16_t *b) { return platform.GetSystemDirectoryW(b, n); }},
        {Op::GetTempPathW, u"C:\\Users\\user\\AppData\\Local\\Temp\\",
         [&](DWORD n, char16_t *b) { return platform.GetTempPathW(n, b); }},
        {Op::GetCurrentDirectoryW, u"C:\\setup",
         [&](DWORD n, char16_t *b) { return platform.GetCurrentDirectoryW(n, b); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.call);
        const auto length = static_cast<DWORD>(c.expected.size());
        EXPECT_EQ(c.query(0, nullptr), length + 1);
        char16_t buffer[64];
        buffer[0] = u'#';
        EXPECT_EQ(c.query(length, buffer), length + 1);
        EXPECT_EQ(buffer[0], u'#');
        EXPECT_EQ(c.query(length + 1, buffer), length);
        EXPECT_EQ(std::u16string(buffer), c.expected);
        sim.Fail(c.call, ERROR_GEN_FAILURE, 1);
        EXPECT_EQ(c.query(64, buffer), 0u);
        EXPECT_EQ(platform.GetLastError(), ERROR_GEN_FAILURE);
    }
}

TEST_F(FilesContract, ModuleFileNameIsCutToTheBufferAndSaysSo) {
    // GetModuleFileName fills a short buffer with a terminated cut name,
    // returns the buffer's size and sets ERROR_INSUFFICIENT_BUFFER.
    char16_t buffer[64];
    EXPECT_EQ(platform.GetModuleFileNameW(buffer, 64), 21u);
    EXPECT_EQ(std::u16string(buffer), u"C:\\setup\\cvlsetup.exe");
    platform.SetLastError(0);
    EXPECT_EQ(platform.GetModuleFileNameW(buffer, 8), 8u);
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(buffer), u"C:\\setu");
}

TEST_F(FilesContract, PathsResolveTheWayWin32ResolvesThem) {
    // Absolute, root-relative, relative, doubled separators, "." and "..",
    // forward slashes and any case all reach the same file.
    sim.AddFile(u"C:\\InstallLog.txt", "root");
    sim.AddFile(u"C:\\setup\\pkg\\net.inf", "inf");
    const struct {
        const char16_t *path;
        const char *contents;
    } cases[] = {
        {u"c:\\\\InstallLog.txt", "root"},
        {u"\\installlog.TXT", "root"},
        {u"C:\\setup\\..\\InstallLog.txt", "root"},
        {u"pkg\\net.inf", "inf"},
        {u".\\pkg\\.\\net.inf", "inf"},
        {u"C:/setup/pkg/NET.INF", "inf"},
        {u"C:pkg\\net.inf", "inf"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.path)));
        HANDLE file = Create(c.path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        ASSERT_NE(file, InvalidHandleValue());
        EXPECT_TRUE(platform.CloseHandle(file));
    }
    EXPECT_EQ(platform.GetFileAttributesW(u"C:\\nowhere\\x.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(platform.GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(platform.GetFileAttributesW(u"Q:\\x.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(platform.GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FilesContract, CreationDispositionsDecideOnExistingAndMissingFiles) {
    // CreateFile: CREATE_NEW fails on an existing file, OPEN_EXISTING on a
    // missing one; CREATE_ALWAYS truncates and OPEN_ALWAYS keeps, both
    // reporting ERROR_ALREADY_EXISTS when the file was there.
    struct Case {
        const char *rule;
        bool exists;
        DWORD disposition;
        bool opens;
        DWORD lastError;
        const char *contentsAfter;  // null: no file
    };
    const Case cases[] = {
        {"new on existing", true, CREATE_NEW, false, ERROR_FILE_EXISTS, "old"},
        {"new on missing", false, CREATE_NEW, true, ERROR_SUCCESS, ""},
        {"always on existing", true, CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
        {"always on missing", false, CREATE_ALWAYS, true, ERROR_SUCCESS, ""},
        {"open on existing", true, OPEN_EXISTING, true, ERROR_SUCCESS, "old"},
        {"open on missing", false, OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
        {"open always on existing", true, OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "old"},
        {"open always on missing", false, OPEN_ALWAYS, true, ERROR_SUCCESS, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rule);
        sim.RemoveFile(u"C:\\setup\\f.txt");
        if (c.exists) sim.AddFile(u"C:\\setup\\f.txt", "old");
        platform.SetLastError(0xDEAD);
        HANDLE file = Create(u"f.txt", GENERIC_WRITE, 0, c.disposition);
        EXPECT_EQ(file != InvalidHandleValue(), c.opens);
        EXPECT_EQ(platform.GetLastError(), c.lastError);
        if (file != InvalidHandleValue()) platform.CloseHandle(file);
        const auto contents = sim.ReadFileContents(u"C:\\setup\\f.txt");
        EXPECT_EQ(contents.has_value(), c.contentsAfter != nullptr);
        if (contents && c.contentsAfter) {
            EXPECT_EQ(*contents, c.contentsAfter);
        }
    }
    EXPECT_EQ(Create(u"C:\\missing\\f.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(sim.OpenHandleCount(), 0u);
}

TEST_F(FilesContract, WritesGoWhereTheHandleStandsAndNeedWriteAccess) {
    // WriteFile continues after the previous write; a handle opened for
    // reading only cannot write.
    HANDLE file = Create(u"C:\\setup\\log.txt", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
    EXPECT_TRUE(Write(file, "Starting"));
    EXPECT_TRUE(Write(file, " Install...\r\n"));
    platform.CloseHandle(file);
    EXPECT_EQ(sim.ReadFileContents(u"C:\\setup\\log.txt"), "Starting Install...\r\n");

    file = Create(u"C:\\setup\\log.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_FALSE(Write(file, "x"));
    EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    platform.CloseHandle(file);
    EXPECT_FALSE(Write(file, "x"));
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FilesContract, OpensMustAllowEachOthersAccess) {
    // A second open fails with ERROR_SHARING_VIOLATION unless each open's
    // share mode allows the other's access.
    sim.AddFile(u"C:\\setup\\f.txt", "data");
    HANDLE reader = Create(u"C:\\setup\\f.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(reader, InvalidHandleValue());
    EXPECT_EQ(Create(u"C:\\setup\\f.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     OPEN_EXISTING),
              InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_SHARING_VIOLATION);
    // Reading again is allowed, but not while denying the first reader.
    EXPECT_EQ(Create(u"C:\\setup\\f.txt", GENERIC_READ, 0, OPEN_EXISTING), InvalidHandleValue());
    HANDLE second = Create(u"C:\\setup\\f.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(second, InvalidHandleValue());
    // Copying the file over another needs no write sharing of the source.
    EXPECT_TRUE(platform.CopyFileW(u"C:\\setup\\f.txt", u"C:\\setup\\g.txt", TRUE));
    platform.CloseHandle(second);
    platform.CloseHandle(reader);
}

TEST_F(FilesContract, ReadOnlyFilesCannotBeWrittenOrDeleted) {
    // A read-only file refuses write opens and deletion with
    // ERROR_ACCESS_DENIED until its attribute is cleared.
    sim.AddFile(u"C:\\Windows\\system32\\drv.sys", "sys",
                FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(Create(u"C:\\Windows\\system32\\drv.sys", GENERIC_WRITE, 0, OPEN_EXISTING),
              InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(platform.DeleteFileW(u"C:\\Windows\\system32\\drv.sys"));
    EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(
        platform.SetFileAttributesW(u"C:\\Windows\\system32\\drv.sys", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(platform.GetFileAttributesW(u"C:\\Windows\\system32\\drv.sys"),
              FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(platform.DeleteFileW(u"C:\\Windows\\system32\\drv.sys"));
    EXPECT_FALSE(sim.FileExists(u"C:\\Windows\\system32\\drv.sys"));
}

TEST_F(FilesContract, DeleteOnCloseRemovesTheFileWithItsLastHandle) {
    // FILE_FLAG_DELETE_ON_CLOSE deletes the file once every handle to it is
    // closed, not before.
    sim.AddFile(u"C:\\Users\\user\\AppData\\Local\\Temp\\1.exe", "copy");
    const char16_t *path = u"C:\\Users\\user\\AppData\\Local\\Temp\\1.exe";
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE;
    HANDLE holder = Create(path, GENERIC_READ, share, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE);
    HANDLE other = Create(path, GENERIC_READ, share, OPEN_EXISTING);
    ASSERT_NE(holder, InvalidHandleValue());
    ASSERT_NE(other, InvalidHandleValue());
    platform.CloseHandle(holder);
    EXPECT_TRUE(sim.FileExists(path));
    platform.CloseHandle(other);
    EXPECT_FALSE(sim.FileExists(path));
}

TEST_F(FilesContract, DeletingAnOpenFileNeedsDeleteSharing) {
    // DeleteFile fails with ERROR_SHARING_VIOLATION while a handle without
    // FILE_SHARE_DELETE is open; with it, the file goes when that closes.
    sim.AddFile(u"C:\\setup\\a.txt", "a");
    HANDLE strict = Create(u"C:\\setup\\a.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_FALSE(platform.DeleteFileW(u"C:\\setup\\a.txt"));
    EXPECT_EQ(platform.GetLastError(), ERROR_SHARING_VIOLATION);
    platform.CloseHandle(strict);

    HANDLE lenient = Create(u"C:\\setup\\a.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            OPEN_EXISTING);
    EXPECT_TRUE(platform.DeleteFileW(u"C:\\setup\\a.txt"));
    EXPECT_TRUE(sim.FileExists(u"C:\\setup\\a.txt"));
    // A file whose deletion is pending cannot be opened again.
    EXPECT_EQ(Create(u"C:\\setup\\a.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                     OPEN_EXISTING),
              InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    platform.CloseHandle(lenient);
    EXPECT_FALSE(sim.FileExists(u"C:\\setup\\a.txt"));
    EXPECT_FALSE(platform.DeleteFileW(u"C:\\setup\\a.txt"));
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FilesContract, TheRunningProgramsImageIsInUse) {
    // The executable of a running process cannot be deleted
    // (ERROR_ACCESS_DENIED) nor opened for writing (sharing violation), but
    // it can be read and copied.
    EXPECT_FALSE(platform.DeleteFileW(u"C:\\setup\\cvlsetup.exe"));
    EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Create(u"C:\\setup\\cvlsetup.exe", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING),
              InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(platform.CopyFileW(u"C:\\setup\\cvlsetup.exe",
                                   u"C:\\Users\\user\\AppData\\Local\\Temp\\0123456789.exe", TRUE));
    EXPECT_EQ(sim.ReadFileContents(u"C:\\Users\\user\\AppData\\Local\\Temp\\0123456789.exe"),
              sim.ProgramContents());
}

TEST_F(FilesContract, CopyHonoursFailIfExists) {
    // CopyFile with failIfExists refuses an existing target with
    // ERROR_FILE_EXISTS; without it the target is replaced. A missing
    // source is ERROR_FILE_NOT_FOUND, a missing target folder
    // ERROR_PATH_NOT_FOUND.
    sim.AddFile(u"C:\\src.txt", "new");
    sim.AddFile(u"C:\\dst.txt", "old");
    EXPECT_FALSE(platform.CopyFileW(u"C:\\src.txt", u"C:\\dst.txt", TRUE));
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(sim.ReadFileContents(u"C:\\dst.txt"), "old");
    EXPECT_TRUE(platform.CopyFileW(u"C:\\src.txt", u"C:\\dst.txt", FALSE));
    EXPECT_EQ(sim.ReadFileContents(u"C:\\dst.txt"), "new");
    EXPECT_FALSE(platform.CopyFileW(u"C:\\none.txt", u"C:\\x.txt", FALSE));
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(platform.CopyFileW(u"C:\\src.txt", u"C:\\no\\x.txt", FALSE));
    EXPECT_EQ(platform.GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FilesContract, AttributesReadBackAsWindowsReportsThem) {
    // A file with no attributes reports FILE_ATTRIBUTE_NORMAL, a folder
    // FILE_ATTRIBUTE_DIRECTORY; a missing file INVALID_FILE_ATTRIBUTES with
    // ERROR_FILE_NOT_FOUND.
    sim.AddFile(u"C:\\setup\\h.dll", "", FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(platform.GetFileAttributesW(u"C:\\setup\\h.dll"), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(platform.SetFileAttributesW(u"C:\\setup\\h.dll", 0));
    EXPECT_EQ(platform.GetFileAttributesW(u"C:\\setup\\h.dll"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(platform.GetFileAttributesW(u"C:\\Windows"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(platform.GetFileAttributesW(u"C:\\setup\\none.dll"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(platform.SetFileAttributesW(u"C:\\setup\\none.dll", 0));
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FilesContract, SearchesMatchWildcardsInTheLastName) {
    // FindFirstFile/FindNextFile list the matches of '*' and '?' folding
    // case, "." and ".." first in a folder that is not a root, then
    // ERROR_NO_MORE_FILES.
    for (const char16_t *name : {u"oem1.inf", u"OEM12.INF", u"oem1.pnf", u"net.inf", u"oemx"})
        sim.AddFile(std::u16string(u"C:\\Windows\\INF\\") + name, "x");
    using Names = std::vector<std::u16string>;
    const struct {
        const char16_t *pattern;
        Names names;
    } cases[] = {
        {u"C:\\Windows\\INF\\oem*.inf", {u"oem1.inf", u"OEM12.INF"}},
        {u"C:\\Windows\\INF\\oem?.*", {u"oem1.inf", u"oem1.pnf", u"oemx"}},
        {u"C:\\Windows\\INF\\*",
         {u".", u"..", u"net.inf", u"oem1.inf", u"oem1.pnf", u"OEM12.INF", u"oemx"}},
        {u"C:\\Windows\\INF\\net.inf", {u"net.inf"}},
        {u"C:\\*", {u"setup", u"Users", u"Windows"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.pattern)));
        EXPECT_EQ(Find(c.pattern), c.names);
    }
    FindData data{};
    EXPECT_EQ(platform.FindFirstFileW(u"C:\\Windows\\INF\\*.cat", &data), InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(platform.FindFirstFileW(u"C:\\nowhere\\*", &data), InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(platform.FindClose(InvalidHandleValue()));
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(sim.OpenHandleCount(), 0u);
}

TEST_F(FilesContract, LocalMemoryIsZeroedOnlyWhenAskedAndFreedOnce) {
    // LocalAlloc(LPTR) zero-fills; LocalFree returns null, and on a block
    // it does not know returns the block with ERROR_INVALID_HANDLE.
    auto *block = static_cast<unsigned char *>(platform.LocalAlloc(LPTR, 16));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(block[i], 0);
    EXPECT_EQ(sim.OutstandingAllocations(), 1u);
    EXPECT_EQ(platform.LocalFree(block), nullptr);
    EXPECT_EQ(platform.LocalFree(block), block);
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(sim.OutstandingAllocations(), 0u);
    sim.Fail(Op::LocalAlloc, ERROR_NOT_ENOUGH_MEMORY, 1);
    EXPECT_EQ(platform.LocalAlloc(LPTR, 16), nullptr);
    EXPECT_EQ(platform.GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

}  // namespace
}  // namespace cvl::sim

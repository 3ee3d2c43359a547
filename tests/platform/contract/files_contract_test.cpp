// Files: dispositions, writes, sharing, read-only files, delete-on-close,
// copies, attributes and searches, with the last error of each refusal.
#include <algorithm>
#include <string>
#include <vector>

#include "contract_machine.h"

namespace cvl::contract {
namespace {

class FileCalls : public PlatformContract {
protected:
    HANDLE Create(const std::u16string &path, DWORD access, DWORD share, DWORD disposition,
                  DWORD flags = FILE_ATTRIBUTE_NORMAL) {
        return platform.CreateFileW(path.c_str(), access, share, disposition, flags);
    }

    bool Write(HANDLE file, std::string_view text) {
        DWORD written = 0;
        return platform.WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written) &&
               written == text.size();
    }

    bool Exists(const std::u16string &path) {
        return platform.GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // The size of a file as a search reports it; -1 when there is none.
    long long SizeOf(const std::u16string &path) {
        FindData data{};
        HANDLE find = platform.FindFirstFileW(path.c_str(), &data);
        if (find == InvalidHandleValue()) return -1;
        platform.FindClose(find);
        return static_cast<long long>(data.nFileSize);
    }

    // What a file without attributes reports.
    DWORD PlainFileAttributes() const {
        // Wine 8.0 reports every file with FILE_ATTRIBUTE_ARCHIVE, whatever
        // was set; Windows keeps what was set and shows no attributes as
        // FILE_ATTRIBUTE_NORMAL.
        return OnWine() ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_NORMAL;
    }

    // The names a pattern matches, sorted: the order is the file system's.
    std::vector<std::u16string> Find(const std::u16string &pattern) {
        std::vector<std::u16string> names;
        FindData data{};
        HANDLE find = platform.FindFirstFileW(pattern.c_str(), &data);
        if (find == InvalidHandleValue()) return names;
        do names.emplace_back(data.cFileName);
        while (platform.FindNextFileW(find, &data));
        EXPECT_EQ(platform.GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(platform.FindClose(find));
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(FileCalls, PathsInAnyOfTheirFormsReachTheSameFile) {
    // Doubled separators, "." and "..", forward slashes and any case.
    ASSERT_TRUE(WriteWholeFile(Path(u"InstallLog.txt"), "root"));
    const std::u16string folder = machine().ScratchFolder();
    const std::u16string forms[] = {
        folder + u"\\InstallLog.txt",
        folder + u"..\\" + folder.substr(folder.rfind(u'\\', folder.size() - 2) + 1) +
            u"installlog.TXT",
        folder + u".\\InstallLog.txt",
    };
    for (const auto &path : forms) {
        SCOPED_TRACE(testing::PrintToString(path));
        HANDLE file = Create(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        ASSERT_NE(file, InvalidHandleValue());
        EXPECT_TRUE(platform.CloseHandle(file));
    }
    std::u16string slashes = Path(u"INSTALLLOG.TXT");
    std::replace(slashes.begin(), slashes.end(), u'\\', u'/');
    EXPECT_EQ(SizeOf(slashes), 4);
    EXPECT_EQ(platform.GetFileAttributesW(Path(u"nowhere\\x.txt").c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(platform.GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FileCalls, CreationDispositionsDecideOnExistingAndMissingFiles) {
    // CreateFile: CREATE_NEW fails on an existing file, OPEN_EXISTING on a
    // missing one; CREATE_ALWAYS truncates and OPEN_ALWAYS keeps, both
    // reporting ERROR_ALREADY_EXISTS when the file was there.
    struct Case {
        const char *rule;
        bool exists;
        DWORD disposition;
        bool opens;
        DWORD lastError;
        long long sizeAfter;  // -1: no file
    };
    const Case cases[] = {
        {"new on existing", true, CREATE_NEW, false, ERROR_FILE_EXISTS, 3},
        {"new on missing", false, CREATE_NEW, true, ERROR_SUCCESS, 0},
        {"always on existing", true, CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, 0},
        {"always on missing", false, CREATE_ALWAYS, true, ERROR_SUCCESS, 0},
        {"open on existing", true, OPEN_EXISTING, true, ERROR_SUCCESS, 3},
        {"open on missing", false, OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, -1},
        {"open always on existing", true, OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, 3},
        {"open always on missing", false, OPEN_ALWAYS, true, ERROR_SUCCESS, 0},
    };
    const std::u16string path = Path(u"f.txt");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rule);
        platform.DeleteFileW(path.c_str());
        if (c.exists) {
            ASSERT_TRUE(WriteWholeFile(path, "old"));
        }
        platform.SetLastError(0xDEAD);
        HANDLE file = Create(path, GENERIC_WRITE, 0, c.disposition);
        EXPECT_EQ(file != InvalidHandleValue(), c.opens);
        EXPECT_EQ(platform.GetLastError(), c.lastError);
        if (file != InvalidHandleValue()) platform.CloseHandle(file);
        EXPECT_EQ(SizeOf(path), c.sizeAfter);
    }
    EXPECT_EQ(Create(Path(u"missing\\f.txt"), GENERIC_WRITE, 0, CREATE_ALWAYS),
              InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FileCalls, WritesGoWhereTheHandleStandsAndNeedWriteAccess) {
    // WriteFile continues after the previous write and counts the bytes; a
    // handle opened for reading only cannot write.
    const std::u16string path = Path(u"log.txt");
    HANDLE file = Create(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
    EXPECT_TRUE(Write(file, "Starting"));
    EXPECT_TRUE(Write(file, " Install...\r\n"));
    platform.CloseHandle(file);
    EXPECT_EQ(SizeOf(path), 21);

    file = Create(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_FALSE(Write(file, "x"));
    EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    platform.CloseHandle(file);
    EXPECT_FALSE(Write(file, "x"));
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FileCalls, OpensMustAllowEachOthersAccess) {
    // A second open fails with ERROR_SHARING_VIOLATION unless each open's
    // share mode allows the other's access.
    const std::u16string path = Path(u"f.txt");
    ASSERT_TRUE(WriteWholeFile(path, "data"));
    HANDLE reader = Create(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(reader, InvalidHandleValue());
    EXPECT_EQ(Create(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_SHARING_VIOLATION);
    // Reading again is allowed, but not while denying the first reader.
    EXPECT_EQ(Create(path, GENERIC_READ, 0, OPEN_EXISTING), InvalidHandleValue());
    HANDLE second = Create(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(second, InvalidHandleValue());
    // Copying the file needs no write sharing of the source.
    EXPECT_TRUE(platform.CopyFileW(path.c_str(), Path(u"g.txt").c_str(), TRUE));
    platform.CloseHandle(second);
    platform.CloseHandle(reader);
}

TEST_F(FileCalls, ReadOnlyFilesCannotBeWrittenOrDeleted) {
    // A read-only file refuses write opens and deletion with
    // ERROR_ACCESS_DENIED until its attribute is cleared.
    const std::u16string path = Path(u"drv.sys");
    ASSERT_TRUE(WriteWholeFile(path, "sys"));
    ASSERT_TRUE(platform.SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_NE(platform.GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    HANDLE writer = Create(path, GENERIC_WRITE, 0, OPEN_EXISTING);
    if (OnWine()) {
        // Wine 8.0 keeps the attribute as the Unix mode without write
        // permission, so whether the open fails depends on the Unix user
        // (root may write). Windows refuses with ERROR_ACCESS_DENIED.
        if (writer != InvalidHandleValue()) platform.CloseHandle(writer);
    } else {
        EXPECT_EQ(writer, InvalidHandleValue());
        EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    }
    EXPECT_FALSE(platform.DeleteFileW(path.c_str()));
    EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(platform.SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(platform.GetFileAttributesW(path.c_str()), PlainFileAttributes());
    EXPECT_TRUE(platform.DeleteFileW(path.c_str()));
    EXPECT_FALSE(Exists(path));
}

TEST_F(FileCalls, DeleteOnCloseRemovesTheFileWithItsLastHandle) {
    // FILE_FLAG_DELETE_ON_CLOSE deletes the file once every handle to it is
    // closed, not before; then it is not found.
    const std::u16string path = Path(u"1.exe");
    ASSERT_TRUE(WriteWholeFile(path, "copy"));
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE;
    HANDLE holder = Create(path, GENERIC_READ, share, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE);
    HANDLE other = Create(path, GENERIC_READ, share, OPEN_EXISTING);
    ASSERT_NE(holder, InvalidHandleValue());
    ASSERT_NE(other, InvalidHandleValue());
    platform.CloseHandle(holder);
    EXPECT_TRUE(Exists(path));
    platform.CloseHandle(other);
    platform.SetLastError(0);
    EXPECT_EQ(platform.GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FileCalls, DeletingAnOpenFileNeedsDeleteSharing) {
    // DeleteFile fails with ERROR_SHARING_VIOLATION while a handle without
    // FILE_SHARE_DELETE is open; with it, the file goes when that closes.
    const std::u16string path = Path(u"a.txt");
    ASSERT_TRUE(WriteWholeFile(path, "a"));
    HANDLE strict = Create(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_FALSE(platform.DeleteFileW(path.c_str()));
    EXPECT_EQ(platform.GetLastError(), ERROR_SHARING_VIOLATION);
    platform.CloseHandle(strict);

    HANDLE lenient = Create(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
    EXPECT_TRUE(platform.DeleteFileW(path.c_str()));
    EXPECT_TRUE(Exists(path));
    // A file whose deletion is pending cannot be opened again.
    HANDLE again = Create(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
    if (OnWine()) {
        // Wine 8.0 opens it; Windows refuses with ERROR_ACCESS_DENIED.
        EXPECT_NE(again, InvalidHandleValue());
        platform.CloseHandle(again);
    } else {
        EXPECT_EQ(again, InvalidHandleValue());
        EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    }
    platform.CloseHandle(lenient);
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(platform.DeleteFileW(path.c_str()));
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FileCalls, CopyHonoursFailIfExists) {
    // CopyFile with failIfExists refuses an existing target with
    // ERROR_FILE_EXISTS; without it the target is replaced. A missing
    // source is ERROR_FILE_NOT_FOUND, a missing target folder
    // ERROR_PATH_NOT_FOUND.
    const std::u16string source = Path(u"src.txt");
    const std::u16string target = Path(u"dst.txt");
    ASSERT_TRUE(WriteWholeFile(source, "newer"));
    ASSERT_TRUE(WriteWholeFile(target, "old"));
    EXPECT_FALSE(platform.CopyFileW(source.c_str(), target.c_str(), TRUE));
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(SizeOf(target), 3);
    EXPECT_TRUE(platform.CopyFileW(source.c_str(), target.c_str(), FALSE));
    EXPECT_EQ(SizeOf(target), 5);
    EXPECT_FALSE(platform.CopyFileW(Path(u"none.txt").c_str(), Path(u"x.txt").c_str(), FALSE));
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(platform.CopyFileW(source.c_str(), Path(u"no\\x.txt").c_str(), FALSE));
    EXPECT_EQ(platform.GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FileCalls, AttributesReadBackAsWindowsReportsThem) {
    // A file with no attributes reports FILE_ATTRIBUTE_NORMAL, a folder
    // FILE_ATTRIBUTE_DIRECTORY; a missing file INVALID_FILE_ATTRIBUTES with
    // ERROR_FILE_NOT_FOUND.
    const std::u16string path = Path(u"h.dll");
    ASSERT_TRUE(WriteWholeFile(path, ""));
    ASSERT_TRUE(platform.SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    const DWORD archive = OnWine() ? FILE_ATTRIBUTE_ARCHIVE : 0;  // see PlainFileAttributes
    EXPECT_EQ(platform.GetFileAttributesW(path.c_str()), FILE_ATTRIBUTE_HIDDEN | archive);
    EXPECT_TRUE(platform.SetFileAttributesW(path.c_str(), 0));
    EXPECT_EQ(platform.GetFileAttributesW(path.c_str()), PlainFileAttributes());
    const std::u16string folder = machine().ScratchFolder();
    EXPECT_NE(platform.GetFileAttributesW(folder.substr(0, folder.size() - 1).c_str()) &
                  FILE_ATTRIBUTE_DIRECTORY,
              0u);
    EXPECT_EQ(platform.GetFileAttributesW(Path(u"none.dll").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(platform.SetFileAttributesW(Path(u"none.dll").c_str(), 0));
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FileCalls, SearchesMatchWildcardsInTheLastName) {
    // FindFirstFile/FindNextFile list the matches of '*' and '?' folding
    // case, "." and ".." too in a folder that is not a root, then
    // ERROR_NO_MORE_FILES.
    for (const char16_t *name : {u"oem1.inf", u"OEM12.INF", u"oem1.pnf", u"net.inf", u"oemx"})
        ASSERT_TRUE(WriteWholeFile(Path(name), "x"));
    using Names = std::vector<std::u16string>;
    const struct {
        const char16_t *pattern;
        Names names;
    } cases[] = {
        {u"oem*.inf", {u"OEM12.INF", u"oem1.inf"}},
        {u"oem?.*", {u"oem1.inf", u"oem1.pnf", u"oemx"}},
        {u"*", {u".", u"..", u"OEM12.INF", u"net.inf", u"oem1.inf", u"oem1.pnf", u"oemx"}},
        {u"net.inf", {u"net.inf"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.pattern)));
        EXPECT_EQ(Find(Path(c.pattern)), c.names);
    }
    FindData data{};
    EXPECT_EQ(platform.FindFirstFileW(Path(u"*.cat").c_str(), &data), InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(platform.FindFirstFileW(Path(u"nowhere\\*").c_str(), &data), InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(platform.FindClose(InvalidHandleValue()));
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FileCalls, TheFindRecordCarriesNameSizeAndKind) {
    ASSERT_TRUE(WriteWholeFile(Path(u"cvlprobe.dat"), "12345"));
    FindData found{};
    HANDLE find = platform.FindFirstFileW(Path(u"cvlprobe.d*").c_str(), &found);
    ASSERT_NE(find, InvalidHandleValue());
    EXPECT_EQ(std::u16string(found.cFileName), u"cvlprobe.dat");
    EXPECT_EQ(found.nFileSize, 5u);
    EXPECT_EQ(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    platform.SetLastError(0);
    EXPECT_FALSE(platform.FindNextFileW(find, &found));
    EXPECT_EQ(platform.GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(platform.FindClose(find));
}

}  // namespace
}  // namespace cvl::contract

// Files on the simulated machine beyond what every machine shares
// (tests/platform/contract): its default folders, paths relative to its
// current folder, the running program's image, the order of a search, its
// memory blocks and faults.
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
        sim.Setup().Fail(c.call, ERROR_GEN_FAILURE, 1);
        EXPECT_EQ(c.query(64, buffer), 0u);
        EXPECT_EQ(platform.GetLastError(), ERROR_GEN_FAILURE);
    }
}

TEST_F(FilesContract, PathsResolveTheWayWin32ResolvesThem) {
    // Absolute, root-relative, relative, doubled separators, "." and "..",
    // forward slashes and any case all reach the same file.
    sim.Setup().AddFile(u"C:\\InstallLog.txt", "root");
    sim.Setup().AddFile(u"C:\\setup\\pkg\\net.inf", "inf");
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
    EXPECT_EQ(
        sim.Setup().ReadFileContents(u"C:\\Users\\user\\AppData\\Local\\Temp\\0123456789.exe"),
        sim.Setup().ProgramContents());
}

TEST_F(FilesContract, SearchesMatchWildcardsInTheLastName) {
    // FindFirstFile/FindNextFile list the matches of '*' and '?' folding
    // case, "." and ".." first in a folder that is not a root, then
    // ERROR_NO_MORE_FILES.
    for (const char16_t *name : {u"oem1.inf", u"OEM12.INF", u"oem1.pnf", u"net.inf", u"oemx"})
        sim.Setup().AddFile(std::u16string(u"C:\\Windows\\INF\\") + name, "x");
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
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 0u);
}

TEST_F(FilesContract, AThirtyTwoBitProgramOnSixtyFourBitWindowsIsRedirected) {
    // The file-system redirector of WOW64: the system folder leads to
    // SysWOW64 but for the subfolders both kinds of program share, and the
    // "Sysnative" alias leads to the real system folder. A 64-bit program
    // (and a 32-bit one on 32-bit Windows) sees the folders as they are and
    // no Sysnative.
    sim.Setup().AddFile(u"C:\\Windows\\system32\\cvl.dll", "64");
    sim.Setup().AddFile(u"C:\\Windows\\SysWOW64\\cvl.dll", "32");
    sim.Setup().AddFile(u"C:\\Windows\\system32\\drivers\\cvl.sys", "64");
    sim.Setup().AddFile(u"C:\\Windows\\system32\\drivers\\etc\\hosts", "shared");
    sim.Setup().AddFile(u"C:\\Windows\\system32\\spool\\cvl.dat", "shared");
    const struct {
        const char16_t *path;
        bool seenNative, seenWow64;
    } cases[] = {
        {u"C:\\Windows\\system32\\cvl.dll", true, true},
        {u"C:\\WINDOWS\\SYSTEM32\\drivers\\cvl.sys", true, false},
        {u"C:\\Windows\\system32\\drivers\\etc\\hosts", true, true},
        {u"C:\\Windows\\system32\\spool\\cvl.dat", true, true},
        {u"C:\\Windows\\Sysnative\\cvl.dll", false, true},
        {u"C:\\Windows\\sysnative\\drivers\\cvl.sys", false, true},
    };
    for (const bool wow64 : {false, true}) {
        sim.Setup().SetWow64(wow64);
        for (const auto &c : cases) {
            SCOPED_TRACE(testing::PrintToString(std::u16string(c.path)) + (wow64 ? " WOW64" : ""));
            const bool seen = platform.GetFileAttributesW(c.path) != INVALID_FILE_ATTRIBUTES;
            EXPECT_EQ(seen, wow64 ? c.seenWow64 : c.seenNative);
        }
        EXPECT_EQ(Find(u"C:\\Windows\\Sysnative\\*.dll"),
                  wow64 ? std::vector<std::u16string>{u"cvl.dll"} : std::vector<std::u16string>{});
        EXPECT_TRUE(platform.DeleteFileW(u"C:\\Windows\\system32\\cvl.dll"));
        EXPECT_EQ(sim.Setup().FileExists(u"C:\\Windows\\SysWOW64\\cvl.dll"), !wow64);
        EXPECT_EQ(sim.Setup().FileExists(u"C:\\Windows\\system32\\cvl.dll"), wow64);
        sim.Setup().AddFile(u"C:\\Windows\\system32\\cvl.dll", "64");
        sim.Setup().AddFile(u"C:\\Windows\\SysWOW64\\cvl.dll", "32");
    }
}

TEST_F(FilesContract, LocalMemoryIsZeroedOnlyWhenAskedAndFreedOnce) {
    // LocalAlloc(LPTR) zero-fills; LocalFree returns null, and on a block
    // it does not know returns the block with ERROR_INVALID_HANDLE.
    auto *block = static_cast<unsigned char *>(platform.LocalAlloc(LPTR, 16));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(block[i], 0);
    EXPECT_EQ(sim.Setup().OutstandingAllocations(), 1u);
    EXPECT_EQ(platform.LocalFree(block), nullptr);
    EXPECT_EQ(platform.LocalFree(block), block);
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(sim.Setup().OutstandingAllocations(), 0u);
    sim.Setup().Fail(Op::LocalAlloc, ERROR_NOT_ENOUGH_MEMORY, 1);
    EXPECT_EQ(platform.LocalAlloc(LPTR, 16), nullptr);
    EXPECT_EQ(platform.GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

}  // namespace
}  // namespace cvl::sim

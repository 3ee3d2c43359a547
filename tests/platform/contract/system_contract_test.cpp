// The last error, the version report, the system folders with their size
// protocol, the module path, local memory and the tick count.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "contract_machine.h"

namespace cvl::contract {
namespace {

using SystemCalls = PlatformContract;

OsVersionInfoEx RecordOfSize(DWORD size) {
    OsVersionInfoEx info{};
    info.dwOSVersionInfoSize = size;
    info.wServicePackMajor = 0xBEEF;  // shows whether the extended part was written
    info.wProductType = 0x5A;
    return info;
}

TEST_F(SystemCalls, TheLastErrorSetIsReadBack) {
    platform.SetLastError(0x1234ABCDu);
    EXPECT_EQ(platform.GetLastError(), 0x1234ABCDu);
    platform.SetLastError(0);
    EXPECT_EQ(platform.GetLastError(), 0u);
}

TEST_F(SystemCalls, VersionRecordSizeSelectsWhatIsWritten) {
    // GetVersionEx writes the extended fields only for the extended size
    // (a workstation reports product type 1), only the plain ones for the
    // plain size, keeps the size field, and refuses any other size with
    // ERROR_INSUFFICIENT_BUFFER.
    OsVersionInfoEx info = RecordOfSize(kOsVersionInfoExSize);
    ASSERT_TRUE(platform.GetVersionExW(info));
    EXPECT_EQ(info.dwOSVersionInfoSize, kOsVersionInfoExSize);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_GE(info.dwMajorVersion, 5u);
    EXPECT_NE(info.wServicePackMajor, 0xBEEF);
    EXPECT_EQ(info.wProductType, 1);

    const OsVersionInfoEx extended = info;
    info = RecordOfSize(kOsVersionInfoSize);
    ASSERT_TRUE(platform.GetVersionExW(info));
    EXPECT_EQ(info.dwOSVersionInfoSize, kOsVersionInfoSize);
    EXPECT_EQ(info.dwMajorVersion, extended.dwMajorVersion);
    EXPECT_EQ(info.dwMinorVersion, extended.dwMinorVersion);
    EXPECT_EQ(info.dwBuildNumber, extended.dwBuildNumber);
    EXPECT_EQ(std::u16string(info.szCSDVersion), std::u16string(extended.szCSDVersion));
    EXPECT_EQ(info.wServicePackMajor, 0xBEEF);
    EXPECT_EQ(info.wProductType, 0x5A);

    for (const DWORD size : {kOsVersionInfoSize - 4, kOsVersionInfoSize + 4}) {
        SCOPED_TRACE(size);
        info = RecordOfSize(size);
        platform.SetLastError(0xDEAD);
        EXPECT_FALSE(platform.GetVersionExW(info));
        if (WineUnicodeAnswers()) {
            // Wine 8.0's Unicode call leaves the last error alone; its ANSI
            // call and Windows set ERROR_INSUFFICIENT_BUFFER.
            EXPECT_EQ(platform.GetLastError(), 0xDEADu);
        } else {
            EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        }
    }
}

TEST_F(SystemCalls, DirectoryQueriesFollowTheSizeProtocol) {
    // GetWindowsDirectory, GetSystemDirectory, GetTempPath and
    // GetCurrentDirectory return the length without the zero when it fits,
    // and otherwise the size needed with it, leaving the buffer alone.
    struct Case {
        const char *call;
        std::function<DWORD(DWORD, char16_t *)> query;
    };
    const std::vector<Case> cases = {
        {"GetWindowsDirectoryW",
         [&](DWORD n, char16_t *b) { return platform.GetWindowsDirectoryW(b, n); }},
        {"GetSystemDirectoryW",
         [&](DWORD n, char16_t *b) { return platform.GetSystemDirectoryW(b, n); }},
        {"GetTempPathW", [&](DWORD n, char16_t *b) { return platform.GetTempPathW(n, b); }},
        {"GetCurrentDirectoryW",
         [&](DWORD n, char16_t *b) { return platform.GetCurrentDirectoryW(n, b); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.call);
        char16_t full[260] = {};
        const DWORD length = c.query(260, full);
        ASSERT_GT(length, 2u);
        EXPECT_EQ(full[length], 0);
        EXPECT_EQ(full[1], u':');
        EXPECT_EQ(c.query(0, nullptr), length + 1);
        char16_t buffer[260];
        buffer[0] = u'#';
        EXPECT_EQ(c.query(length, buffer), length + 1);
        if (WineUnicodeAnswers() && c.call == std::string_view("GetTempPathW")) {
            // Wine 8.0 empties the buffer that is too small for the
            // temporary path; Windows leaves it alone.
            EXPECT_EQ(buffer[0], 0);
        } else {
            EXPECT_EQ(buffer[0], u'#');
        }
        EXPECT_EQ(c.query(length + 1, buffer), length);
        EXPECT_EQ(std::u16string(buffer), std::u16string(full));
    }
}

TEST_F(SystemCalls, SystemFolderLiesInTheWindowsFolderAndTempEndsInABackslash) {
    char16_t windows[260] = {};
    const UINT windowsLength = platform.GetWindowsDirectoryW(windows, 260);
    char16_t system[260] = {};
    const UINT systemLength = platform.GetSystemDirectoryW(system, 260);
    EXPECT_EQ(LoweredAZ(std::u16string(system, systemLength)),
              LoweredAZ(std::u16string(windows, windowsLength) + u"\\system32"));
    char16_t temp[260] = {};
    const DWORD tempLength = platform.GetTempPathW(260, temp);
    ASSERT_GT(tempLength, 0u);
    EXPECT_EQ(temp[tempLength - 1], u'\\');
}

TEST_F(SystemCalls, ModuleFileNameIsCutToTheBufferAndSaysSo) {
    // GetModuleFileName gives the running program's path; a short buffer
    // gets a terminated cut name, the buffer's size back and
    // ERROR_INSUFFICIENT_BUFFER.
    const std::u16string own = machine().OwnPath();
    char16_t buffer[260];
    EXPECT_EQ(platform.GetModuleFileNameW(buffer, 260), own.size());
    EXPECT_EQ(std::u16string(buffer), own);
    platform.SetLastError(0);
    EXPECT_EQ(platform.GetModuleFileNameW(buffer, 8), 8u);
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    if (WineUnicodeAnswers()) {
        // Wine 8.0 fills all 8 characters and writes no zero, as Windows XP
        // did; Windows from Vista on ends the cut name with a zero.
        EXPECT_EQ(std::u16string(buffer, 8), own.substr(0, 8));
    } else {
        EXPECT_EQ(std::u16string(buffer), own.substr(0, 7));
    }
}

TEST_F(SystemCalls, LocalMemoryIsZeroedWhenAskedAndFreed) {
    // LocalAlloc(LPTR) zero-fills; LocalFree gives back null.
    auto *block = static_cast<unsigned char *>(platform.LocalAlloc(LPTR, 64));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0) << i;
    EXPECT_EQ(platform.LocalFree(block), nullptr);
}

TEST_F(SystemCalls, TheTickCountFollowsASleep) {
    const DWORD before = platform.GetTickCount();
    platform.Sleep(100);
    const DWORD slept = platform.GetTickCount() - before;
    EXPECT_GE(slept, 50u);
    EXPECT_LT(slept, 5000u);
}

}  // namespace
}  // namespace cvl::contract

// What a file made fresh under a fixed name relies on: a new file that no
// other name denotes, a rename that replaces a name and not what it
// denotes, an open handle that goes on writing the renamed file, and a
// random source.
#include <string>

#include "contract_machine.h"

namespace cvl::contract {
namespace {

class FreshNames : public PlatformContract {
protected:
    HANDLE CreateNew(const std::u16string &path) {
        return platform.CreateFileW(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
    }

    bool Write(HANDLE file, std::string_view text) {
        DWORD written = 0;
        return platform.WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written) &&
               written == text.size();
    }

    // "<N bytes>" for a file that opens, "<none>" otherwise.
    std::string SizeOf(const std::u16string &path) {
        HANDLE file = platform.CreateFileW(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
        if (file == InvalidHandleValue()) return "<none>";
        platform.CloseHandle(file);
        FindData data{};
        HANDLE find = platform.FindFirstFileW(path.c_str(), &data);
        if (find == InvalidHandleValue()) return "<none>";
        platform.FindClose(find);
        return "<" + std::to_string(data.nFileSize) + " bytes>";
    }

    bool Exists(const std::u16string &path) {
        return platform.GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
};

TEST_F(FreshNames, CreateNewRefusesEveryNameInUse) {
    ASSERT_TRUE(WriteWholeFile(Path(u"InstallLog.txt"), "old"));
    ASSERT_TRUE(WriteWholeFile(Path(u"guarded.ini"), "guarded"));
    ASSERT_TRUE(AddSecondName(Path(u"Completed.txt"), Path(u"guarded.ini")));
    for (const char16_t *name : {u"InstallLog.txt", u"Completed.txt"}) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(name)));
        platform.SetLastError(0xdeadbeef);
        EXPECT_EQ(CreateNew(Path(name)), InvalidHandleValue());
        EXPECT_EQ(platform.GetLastError(), ERROR_FILE_EXISTS);
    }
    EXPECT_EQ(SizeOf(Path(u"guarded.ini")), "<7 bytes>");
}

TEST_F(FreshNames, ARenameReplacesTheNameAndTheOpenHandleWritesOnUnderIt) {
    ASSERT_TRUE(WriteWholeFile(Path(u"InstallLog.txt"), "an older log"));
    HANDLE file = CreateNew(Path(u"InstallLog.txt.1.new"));
    ASSERT_NE(file, InvalidHandleValue());
    EXPECT_TRUE(Write(file, "one\r\n"));
    EXPECT_TRUE(platform.MoveFileExW(Path(u"InstallLog.txt.1.new").c_str(),
                                     Path(u"InstallLog.txt").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(Write(file, "two\r\n"));
    EXPECT_TRUE(platform.CloseHandle(file));
    EXPECT_EQ(SizeOf(Path(u"InstallLog.txt")), "<10 bytes>");
    EXPECT_FALSE(Exists(Path(u"InstallLog.txt.1.new")));
}

TEST_F(FreshNames, ARenameOverASecondNameLeavesTheOtherNamesFileAlone) {
    ASSERT_TRUE(WriteWholeFile(Path(u"guarded.ini"), "guarded"));
    ASSERT_TRUE(AddSecondName(Path(u"Completed.txt"), Path(u"guarded.ini")));
    HANDLE file = CreateNew(Path(u"Completed.txt.2.new"));
    ASSERT_NE(file, InvalidHandleValue());
    EXPECT_TRUE(Write(file, "Disabled NIC"));
    EXPECT_TRUE(platform.CloseHandle(file));
    EXPECT_TRUE(platform.MoveFileExW(Path(u"Completed.txt.2.new").c_str(),
                                     Path(u"Completed.txt").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(SizeOf(Path(u"Completed.txt")), "<12 bytes>");
    EXPECT_EQ(SizeOf(Path(u"guarded.ini")), "<7 bytes>");
}

TEST_F(FreshNames, APlainOpenThroughASecondNameWritesTheOtherNamesFile) {
    // The write the fresh name avoids.
    ASSERT_TRUE(WriteWholeFile(Path(u"guarded.ini"), "guarded"));
    ASSERT_TRUE(AddSecondName(Path(u"Completed.txt"), Path(u"guarded.ini")));
    ASSERT_TRUE(WriteWholeFile(Path(u"Completed.txt"), "Disabled NIC"));
    EXPECT_EQ(SizeOf(Path(u"guarded.ini")), "<12 bytes>");
}

TEST_F(FreshNames, ARenameRefusesWhatItMayNotReplace) {
    ASSERT_TRUE(WriteWholeFile(Path(u"source.new"), "new"));
    ASSERT_TRUE(WriteWholeFile(Path(u"taken.txt"), "taken"));
    platform.SetLastError(0xdeadbeef);
    EXPECT_FALSE(platform.MoveFileExW(Path(u"source.new").c_str(), Path(u"taken.txt").c_str(), 0));
    EXPECT_EQ(platform.GetLastError(), ERROR_ALREADY_EXISTS);

    // A file open without sharing deletion keeps its name.
    HANDLE held = platform.CreateFileW(Path(u"held.new").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    ASSERT_NE(held, InvalidHandleValue());
    platform.SetLastError(0xdeadbeef);
    EXPECT_FALSE(platform.MoveFileExW(Path(u"held.new").c_str(), Path(u"taken.txt").c_str(),
                                      MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(platform.GetLastError(), ERROR_SHARING_VIOLATION);
    platform.CloseHandle(held);
    EXPECT_EQ(SizeOf(Path(u"taken.txt")), "<5 bytes>");
}

TEST_F(FreshNames, TheRandomSourceGivesOtherBytesEachCall) {
    BYTE first[16] = {};
    BYTE second[16] = {};
    ASSERT_TRUE(platform.CryptGenRandom(sizeof(first), first));
    ASSERT_TRUE(platform.CryptGenRandom(sizeof(second), second));
    EXPECT_NE(std::string(first, first + 16), std::string(second, second + 16));
}

}  // namespace
}  // namespace cvl::contract

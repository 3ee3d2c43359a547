// The driver store: publishing an INF with SetupCopyOEMInf, the size
// protocol of the published name, and the packages it refuses.
#include <string>

#include "common/text.h"
#include "contract_machine.h"

namespace cvl::contract {
namespace {

constexpr DWORD kWrongInfStyle = 0xE0000100;

constexpr char kInfText[] =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=Net\r\n"
    "ClassGuid={4d36e972-e325-11ce-bfc1-08002be10318}\r\n"
    "Provider=%Maker%\r\n"
    "DriverVer=05/07/2016,8.045.0507.2016\r\n"
    "\r\n"
    "[Strings]\r\n"
    "Maker=\"Corvane\"\r\n";

class DriverStoreCalls : public PlatformContract {
protected:
    std::u16string InfFolder() {
        char16_t windows[260] = {};
        platform.GetWindowsDirectoryW(windows, 260);
        return LoweredAZ(std::u16string(windows) + u"\\inf\\");
    }
};

TEST_F(DriverStoreCalls, PublishingNamesTheCopyAndAnIdenticalInfKeepsThatName) {
    // The published INF lies in the INF folder, named oemN.inf; the name
    // follows the size protocol in characters; an identical INF gets its
    // published name again, or ERROR_FILE_EXISTS under SP_COPY_NOOVERWRITE.
    const std::u16string path = Path(u"cvlcontract.inf");
    ASSERT_TRUE(WriteWholeFile(path, kInfText));
    char16_t published[260] = {};
    DWORD required = 0;
    ASSERT_TRUE(
        platform.SetupCopyOEMInfW(path.c_str(), nullptr, SPOST_PATH, 0, published, 260, &required));
    const std::u16string name(published);
    EXPECT_EQ(required, name.size() + 1);
    EXPECT_NE(platform.GetFileAttributesW(published), INVALID_FILE_ATTRIBUTES);
    const std::u16string folder = InfFolder();
    ASSERT_GT(name.size(), folder.size());
    EXPECT_EQ(LoweredAZ(name.substr(0, folder.size())), folder);
    const std::u16string fileName = LoweredAZ(name.substr(folder.size()));
    if (OnWine()) {
        // Wine 8.0 keeps the INF's own name unless it is taken; Windows
        // names every published INF oemN.inf.
        EXPECT_EQ(fileName, u"cvlcontract.inf");
    } else {
        EXPECT_EQ(fileName.substr(0, 3), u"oem");
        EXPECT_EQ(fileName.substr(fileName.size() - 4), u".inf");
    }

    char16_t again[260] = {};
    ASSERT_TRUE(
        platform.SetupCopyOEMInfW(path.c_str(), nullptr, SPOST_PATH, 0, again, 260, nullptr));
    EXPECT_EQ(std::u16string(again), name);
    ASSERT_TRUE(
        platform.SetupCopyOEMInfW(path.c_str(), nullptr, SPOST_PATH, 0, nullptr, 0, &required));
    EXPECT_EQ(required, name.size() + 1);
    EXPECT_FALSE(platform.SetupCopyOEMInfW(path.c_str(), nullptr, SPOST_PATH, 0, again,
                                           static_cast<DWORD>(name.size()), &required));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_FALSE(platform.SetupCopyOEMInfW(path.c_str(), nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE,
                                           again, 260, nullptr));
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_EXISTS);
}

TEST_F(DriverStoreCalls, OnlyCompleteWindows4PackagesArePublished) {
    // A relative or missing path is not found, an INF without a Windows-4
    // signature has the wrong style, and a catalog the INF names must lie
    // beside it.
    ASSERT_TRUE(WriteWholeFile(Path(u"old.inf"), "[Version]\r\n"));
    ASSERT_TRUE(WriteWholeFile(Path(u"nocat.inf"),
                               std::string(kInfText) + "[Version]\r\nCatalogFile=nocat.cat\r\n"));
    struct Case {
        std::u16string path;
        DWORD error;
    };
    for (const Case &c :
         {Case{u"cvlcontract.inf", ERROR_FILE_NOT_FOUND},
          Case{Path(u"none.inf"), ERROR_FILE_NOT_FOUND}, Case{Path(u"old.inf"), kWrongInfStyle},
          Case{Path(u"nocat.inf"), ERROR_FILE_NOT_FOUND}}) {
        SCOPED_TRACE(testing::PrintToString(c.path));
        char16_t destination[260];
        EXPECT_FALSE(platform.SetupCopyOEMInfW(c.path.c_str(), nullptr, SPOST_PATH, 0, destination,
                                               260, nullptr));
        const DWORD error = platform.GetLastError();
        if (OnWine() && machine().AnsiCodePage() && c.path.find(u'\\') == std::u16string::npos &&
            error == ERROR_INSUFFICIENT_BUFFER) {
            // 32-bit Wine 8.0's SetupCopyOEMInfA has answered a relative
            // path with ERROR_INSUFFICIENT_BUFFER; its Unicode form, the
            // 64-bit ANSI form and Windows answer ERROR_FILE_NOT_FOUND.
            continue;
        }
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
}  // namespace cvl::contract

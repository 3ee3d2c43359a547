// The maker's INF files, DLLs and driver files.
#include "uninstall/inf_cleanup.h"

#include "uninstall/service_path.h"
#include "uninstall/uninstall_fixture.h"

namespace cvl {
namespace {

using sim::Op;

constexpr char kB701Model[] = "PCI\\VEN_1F3A&DEV_B701&SUBSYS_00011F3A";

class MakerInfScanTest : public test::UninstallFixture {};

TEST_F(MakerInfScanTest, OnlyTheMakersInfOfTheFamilyGoesWithItsPnf) {
    struct Case {
        const char16_t *name;
        std::string contents;
        DeviceFamily family;
        bool deleted;
    };
    const std::string decorated =
        "[Version]\r\nSignature=\"$WINDOWS NT$\"\r\n[Manufacturer]\r\n%Maker%=Models,NTx86\r\n"
        "[Models.NTx86]\r\n%Desc%=Install, PCI\\VEN_1F3A&DEV_B701\r\n[Strings]\r\n"
        "Maker=\"Corvane\"\r\nDesc=\"Adapter\"\r\n";
    const std::string noStrings =
        "[Version]\r\nSignature=\"$WINDOWS NT$\"\r\n[Manufacturer]\r\n\"Corvane\"=Models\r\n"
        "[Models]\r\n\"Adapter\"=Install, PCI\\VEN_1F3A&DEV_B701\r\n";
    const std::vector<Case> cases = {
        {u"netcvx32.inf", test::MakerInf(kB701Model), FamilyPci, true},
        {u"corb70x.inf", test::MakerInf("pci\\ven_1f3a&dev_b704"), FamilyPci, true},
        {u"oem14.inf", test::MakerInf("PCI\\VEN_1F3A&DEV_B706&SUBSYS_1234"), FamilyPcie, true},
        {u"netcvx32.inf", test::MakerInf(kB701Model, "Microsoft Corporation"), FamilyPci, false},
        {u"netcvx32.inf", noStrings, FamilyPci, false},
        {u"drvnet.inf", test::MakerInf(kB701Model), FamilyPci, false},
        {u"netcvx32.inf", decorated, FamilyPci, false},
        {u"netcvx32.inf", test::MakerInf(kB701Model), FamilyPcie, false},
        {u"netcvx32.inf", test::MakerInf(kB701Model), FamilyVistaB701, false},
        {u"netcvx32.inf", test::MakerInf("PCI\\VEN_8086&DEV_B701"), FamilyPci, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(ToUtf8(c.name) + " family " + std::to_string(static_cast<int>(c.family)));
        sim::SimulatedPlatform fresh;
        const std::u16string inf = test::kInfDir + std::u16string(c.name);
        const std::u16string pnf = inf.substr(0, inf.find(u'.')) + u".PNF";
        fresh.Setup().AddFile(inf, c.contents);
        fresh.Setup().AddFile(pnf, "pnf");
        DeleteMakerInfFiles(fresh, test::kInfDir, c.family);
        EXPECT_EQ(!fresh.Setup().FileExists(inf), c.deleted);
        EXPECT_EQ(!fresh.Setup().FileExists(pnf), c.deleted);
        EXPECT_EQ(fresh.Setup().OpenHandleCount(), 0u);
        EXPECT_EQ(fresh.Setup().OutstandingAllocations(), 0u);
    }
}

TEST_F(MakerInfScanTest, AllThreeInfFoldersAreScanned) {
    for (const char16_t *folder : {u"INF\\", u"INF\\OTHER\\", u"INF\\INTERNET\\"})
        machine.Setup().AddFile(u"C:\\Windows\\" + std::u16string(folder) + u"netcv.inf",
                                test::MakerInf(kB701Model));
    machine.Setup().AddFile(u"C:\\Windows\\INF\\SUB\\netcv.inf", test::MakerInf(kB701Model));
    DeleteMakerInfFilesInAllInfDirs(machine, FamilyPci);
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\Windows\\INF\\netcv.inf"));
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\Windows\\INF\\OTHER\\netcv.inf"));
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\Windows\\INF\\INTERNET\\netcv.inf"));
    EXPECT_TRUE(machine.Setup().FileExists(u"C:\\Windows\\INF\\SUB\\netcv.inf"));
}

TEST_F(MakerInfScanTest, AFailingCallEndsOrSkipsTheScanQuietly) {
    struct Case {
        sim::Op operation;
        std::uint32_t nth;
    };
    for (const Case &c : {Case{Op::SetupGetInfFileListW, 1}, Case{Op::SetupGetInfFileListW, 2},
                          Case{Op::LocalAlloc, 1}, Case{Op::SetupOpenInfFileW, 1},
                          Case{Op::SetupFindFirstLineW, 1}, Case{Op::SetupGetStringFieldW, 2},
                          Case{Op::SetupFindFirstLineW, 3}, Case{Op::GetWindowsDirectoryW, 1}}) {
        SCOPED_TRACE(static_cast<int>(c.operation));
        SCOPED_TRACE(c.nth);
        sim::SimulatedPlatform fresh;
        fresh.Setup().AddFile(u"C:\\Windows\\INF\\netcv.inf", test::MakerInf(kB701Model));
        fresh.Setup().Fail({c.operation, ERROR_NOT_ENOUGH_MEMORY, c.nth, 1});
        DeleteMakerInfFilesInAllInfDirs(fresh, FamilyPci);
        EXPECT_TRUE(fresh.Setup().FileExists(u"C:\\Windows\\INF\\netcv.inf"));
        EXPECT_EQ(fresh.Setup().OpenHandleCount(), 0u);
        EXPECT_EQ(fresh.Setup().OutstandingAllocations(), 0u);
    }
}

class FileCleanupTest : public test::UninstallFixture {};

TEST_F(FileCleanupTest, DeleteInfAndPnfTakesOnlyABareName) {
    machine.Setup().AddFile(Inf(u"oem3.inf"), "x");
    machine.Setup().AddFile(Inf(u"oem3.PNF"), "x", FILE_ATTRIBUTE_READONLY);
    machine.Setup().AddFile(u"C:\\Windows\\win.ini", "x");
    machine.Setup().AddFile(u"C:\\Windows\\win.PNF", "x");
    for (const char16_t *name : {u"..\\win.ini", u"../win.ini", u"C:win.ini", u"", u".."})
        DeleteInfAndPnf(machine, name);
    EXPECT_TRUE(machine.Setup().FileExists(u"C:\\Windows\\win.ini"));
    EXPECT_TRUE(machine.Setup().FileExists(u"C:\\Windows\\win.PNF"));
    DeleteInfAndPnf(machine, u"oem3.inf");
    EXPECT_FALSE(machine.Setup().FileExists(Inf(u"oem3.inf")));
    EXPECT_FALSE(machine.Setup().FileExists(Inf(u"oem3.PNF")));  // read-only, reset first
}

TEST_F(FileCleanupTest, TheDllsGoFromTheSystemDirectory) {
    for (const char16_t *dll :
         {u"CVNUninst32.dll", u"CVNUninst64.dll", u"CvNicProp32.dll", u"CvNicProp64.dll"})
        machine.Setup().AddFile(test::kSystem32 + std::u16string(dll), "dll");
    DeleteUninstallDlls(machine);
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\Windows\\system32\\CVNUninst32.dll"));
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\Windows\\system32\\CVNUninst64.dll"));
    EXPECT_TRUE(machine.Setup().FileExists(u"C:\\Windows\\system32\\CvNicProp32.dll"));
    DeletePropertyPageDlls(machine);
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\Windows\\system32\\CvNicProp32.dll"));
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\Windows\\system32\\CvNicProp64.dll"));
}

TEST_F(FileCleanupTest, TheDriverPackageGoesWhenEachPartIsWhatItShouldBe) {
    const std::u16string driver = u"C:\\Windows\\system32\\DRIVERS\\CVLB760.sys";
    machine.Setup().AddFile(Inf(u"oem12.inf"), "x");
    machine.Setup().AddFile(Inf(u"oem12.pnf"), "x");
    machine.Setup().AddFile(driver, "sys");
    DeleteDriverPackageFiles(machine, OsNt6Later, u"oem12", u"system32\\DRIVERS\\CVLB760.sys");
    EXPECT_FALSE(machine.Setup().FileExists(Inf(u"oem12.inf")));
    EXPECT_FALSE(machine.Setup().FileExists(Inf(u"oem12.pnf")));
    EXPECT_FALSE(machine.Setup().FileExists(driver));

    machine.Setup().AddFile(Inf(u"usbcv.inf"), "x");
    machine.Setup().AddFile(u"C:\\Windows\\system32\\hal.dll", "x");
    DeleteDriverPackageFiles(machine, OsNt6Later, u"usbcv", u"system32\\hal.dll");
    EXPECT_TRUE(machine.Setup().FileExists(Inf(u"usbcv.inf")));
    EXPECT_TRUE(machine.Setup().FileExists(u"C:\\Windows\\system32\\hal.dll"));
}

TEST(DriverFilePathTest, OnlyASysFileOfTheDriversFolderIsADriverFile) {
    const std::u16string windows = u"C:\\Windows";
    const std::u16string drivers = u"C:\\Windows\\system32\\drivers\\";
    struct Case {
        const char16_t *imagePath;
        std::optional<std::u16string> resolved;
    };
    const std::vector<Case> cases = {
        {u"system32\\DRIVERS\\CVLB760.sys", u"C:\\Windows\\system32\\DRIVERS\\CVLB760.sys"},
        {u"\\SystemRoot\\System32\\drivers\\cvl.SYS", u"C:\\Windows\\System32\\drivers\\cvl.SYS"},
        {u"%SystemRoot%\\system32\\drivers\\cvl.sys", drivers + u"cvl.sys"},
        {u"\\??\\C:\\Windows\\system32\\drivers\\cvl.sys", drivers + u"cvl.sys"},
        {u"C:\\WINDOWS\\system32\\drivers\\cvl.sys", u"C:\\WINDOWS\\system32\\drivers\\cvl.sys"},
        {u"system32\\drivers\\..\\config\\SYSTEM.sys", std::nullopt},
        {u"system32\\drivers\\sub\\cvl.sys", std::nullopt},
        {u"system32\\drivers\\cvl.dll", std::nullopt},
        {u"system32\\drivers\\.sys", std::nullopt},
        {u"system32\\kernel32.sys", std::nullopt},
        {u"\\??\\D:\\Windows\\system32\\drivers\\cvl.sys", std::nullopt},
        {u"\\??\\cvl.sys", std::nullopt},
        {u"\\Device\\cvl.sys", std::nullopt},
        {u"D:\\Windows\\system32\\drivers\\cvl.sys", std::nullopt},
        {u"C:\\Windows\\system32\\drivers\\cvl.sys:stream", std::nullopt},
        {u"", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ResolveDriverFilePath(windows, c.imagePath), c.resolved) << ToUtf8(c.imagePath);
    EXPECT_EQ(ResolveDriverFilePath(u"", u"system32\\drivers\\cvl.sys"), std::nullopt);
}

class ServicePathTest : public test::UninstallFixture {};

TEST_F(ServicePathTest, TheImagePathOfAServiceIsReturnedUnderTwoHundredSixtyCharacters) {
    machine.Setup().AddService(u"USB-100", u"system32\\DRIVERS\\CVLB760.sys");
    machine.Setup().AddService(u"USB-PG", u"system32\\" + std::u16string(250, u'x') + u".sys");
    std::u16string path = u"unchanged";
    EXPECT_TRUE(GetServiceImagePath(machine, u"USB-100", path));
    EXPECT_EQ(path, u"system32\\DRIVERS\\CVLB760.sys");
    path = u"unchanged";
    EXPECT_FALSE(GetServiceImagePath(machine, u"USB-PG", path));
    EXPECT_FALSE(GetServiceImagePath(machine, u"USB-100x64", path));
    EXPECT_EQ(path, u"unchanged");
    EXPECT_EQ(OpenHandles(), 0u);
}

TEST_F(ServicePathTest, EachFailingCallGivesFalseAndReleasesWhatWasOpen) {
    for (const sim::Op operation :
         {Op::OpenSCManagerW, Op::OpenServiceW, Op::LocalAlloc, Op::QueryServiceConfigW}) {
        SCOPED_TRACE(static_cast<int>(operation));
        sim::SimulatedPlatform fresh;
        fresh.Setup().AddService(u"USB-100", u"system32\\DRIVERS\\CVLB760.sys");
        fresh.Setup().Fail(operation, ERROR_ACCESS_DENIED);
        std::u16string path;
        EXPECT_FALSE(GetServiceImagePath(fresh, u"USB-100", path));
        EXPECT_EQ(fresh.Setup().OpenHandleCount(), 0u);
        EXPECT_EQ(fresh.Setup().OutstandingAllocations(), 0u);
    }
}

}  // namespace
}  // namespace cvl

// The package paths and the version text of the package.
#include "install/driver_package.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "support/scenario.h"

namespace cvl {
namespace {

using sim::Op;

TEST(NormalizeDriverVersionTest, DropsLeadingZerosOfEveryPartAfterTheFirst) {
    struct Case {
        std::u16string_view in, out;
    };
    for (const Case &c :
         {Case{u"8.045.0507.2016", u"8.45.507.2016"}, Case{u"10.0.0.0", u"10.0.0.0"},
          Case{u"1.00.0010.2016", u"1.0.10.2016"}, Case{u"08.01.000.0", u"08.1.0.0"},
          Case{u"", u""}, Case{u"7", u"7"}, Case{u"1..2", u"1..2"}, Case{u"1.0a0.b", u"1.a0.b"},
          Case{u"1.000", u"1.0"}, Case{u"1.00.", u"1.0."}}) {
        EXPECT_EQ(NormalizeDriverVersion(c.in), c.out) << ToUtf8(c.in);
    }
}

TEST(NormalizeDriverVersionTest, ExaminesAtMost511Characters) {
    const std::u16string longText = u"1." + std::u16string(600, u'5');
    EXPECT_EQ(NormalizeDriverVersion(longText).size(), 511u);
}

TEST(BuildPackagePathsTest, ProgramFolderSourceFolderAndInfPath) {
    struct Case {
        std::u16string_view own, inf, programDir, sourceDir, infPath;
    };
    for (const Case &c : {
             Case{u"C:\\setup\\cvlsetup.exe", u"drv\\win7\\net.inf", u"C:\\setup\\",
                  u"C:\\setup\\drv\\win7", u"C:\\setup\\drv\\win7\\net.inf"},
             Case{u"C:\\setup\\cvlsetup.exe", u"net.inf", u"C:\\setup\\", u"C:\\setup\\",
                  u"C:\\setup\\net.inf"},
             Case{u"C:\\setup\\cvlsetup.exe", u"\\net.inf", u"C:\\setup\\", u"C:\\setup\\",
                  u"C:\\setup\\\\net.inf"},
             Case{u"\\cvlsetup.exe", u"net.inf", u"\\cvlsetup.exe", u"\\cvlsetup.exe",
                  u"\\cvlsetup.exenet.inf"},
         }) {
        const PackagePaths paths = BuildPackagePaths(c.own, c.inf);
        EXPECT_EQ(paths.programDir, c.programDir) << ToUtf8(c.own) << " " << ToUtf8(c.inf);
        EXPECT_EQ(paths.sourceDir, c.sourceDir) << ToUtf8(c.inf);
        EXPECT_EQ(paths.infPath, c.infPath) << ToUtf8(c.inf);
    }
}

TEST(BuildPackagePathsTest, EveryPathIsCutTo511Characters) {
    const std::u16string own = u"C:\\" + std::u16string(400, u'a') + u"\\cvlsetup.exe";
    const std::u16string inf = std::u16string(200, u'b') + u"\\net.inf";
    const PackagePaths paths = BuildPackagePaths(own, inf);
    EXPECT_EQ(paths.programDir.size(), 404u);
    EXPECT_EQ(paths.sourceDir.size(), 511u);
    EXPECT_EQ(paths.infPath.size(), 511u);
}

}  // namespace
}  // namespace cvl

namespace cvl {
namespace {

constexpr char kSignature[] = "[Version]\r\nSignature=\"$Windows NT$\"\r\n";

class PackageInfTest : public ::testing::Test {
protected:
    sim::SimulatedPlatform machine;
    RunState state{machine};

    void SetUp() override { OpenInstallLog(state.log); }
    void AddInf(std::u16string_view path, const std::string &text) {
        machine.Setup().AddFile(path, text);
    }
    std::u16string VersionOf(const std::string &infText) {
        AddInf(u"C:\\setup\\net.inf", infText);
        state.PackageInfPath = u"C:\\setup\\net.inf";
        state.PackageDriverVersion = u"stale";
        LoadPackageDriverVersion(machine, state);
        return state.PackageDriverVersion;
    }
};

TEST_F(PackageInfTest, ReadsTheVersionFieldOfDriverVerWithoutLeadingZeros) {
    EXPECT_EQ(VersionOf(std::string(kSignature) +
                        "Class=Net\r\nDriverVer=05/07/2016,8.045.0507.2016\r\n"),
              u"8.45.507.2016");
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 1u);  // the log only
}

TEST_F(PackageInfTest, OnlyTheSecondToTwentiethLinesOfTheSectionAreLookedAt) {
    std::string twentieth = kSignature;
    std::string twentyFirst = kSignature;
    for (int i = 2; i < 20; ++i) twentieth += "Key" + std::to_string(i) + "=x\r\n";
    for (int i = 2; i < 21; ++i) twentyFirst += "Key" + std::to_string(i) + "=x\r\n";
    twentieth += "DriverVer=01/01/2020,1.02.3.4\r\n";
    twentyFirst += "DriverVer=01/01/2020,1.02.3.4\r\n";
    EXPECT_EQ(VersionOf(twentieth), u"1.2.3.4");
    EXPECT_EQ(VersionOf(twentyFirst), u"");
    EXPECT_EQ(
        VersionOf("[Version]\r\nDriverVer=01/01/2020,1.0.0.1\r\nSignature=\"$Windows NT$\"\r\n"),
        u"");
}

TEST_F(PackageInfTest, TheKeyIsComparedByItsFirstNineCharactersWithTheirCase) {
    EXPECT_EQ(VersionOf(std::string(kSignature) +
                        "DriverVerX=1/1/2019,2.0.0.0\r\nDriverVer=1/1/2020,3.0.0.0\r\n"),
              u"2.0.0.0");
    EXPECT_EQ(VersionOf(std::string(kSignature) + "driverver=1/1/2020,3.0.0.0\r\n"), u"");
}

TEST_F(PackageInfTest, AnUnreadableInfLeavesNoVersionNotTheLastKeyRead) {
    EXPECT_EQ(VersionOf(std::string(kSignature) + "Class=Net\r\nProvider=Corvane\r\n"), u"");
    EXPECT_EQ(VersionOf("not an inf at all"), u"");
    state.PackageInfPath.clear();
    state.PackageDriverVersion = u"kept";
    LoadPackageDriverVersion(machine, state);
    EXPECT_EQ(state.PackageDriverVersion, u"kept");
}

TEST_F(PackageInfTest, LocateChoosesTheInfNameAndReadsItsVersion) {
    AddInf(u"C:\\setup\\drv\\net.inf",
           std::string(kSignature) + "DriverVer=05/07/2016,8.045.0507.2016\r\n");
    AddInf(u"C:\\setup\\Netcvlx.inf", std::string(kSignature) + "DriverVer=05/07/2016,7.0.0.0\r\n");
    PackageSwitches switches;
    switches.legacyFamily = FamilyPci;
    switches.infPath = u"drv\\net.inf";
    DriverPackage package;
    EXPECT_EQ(LocateDriverPackage(machine, state, package, switches), PackageLocation::Found);
    EXPECT_EQ(package.InfPath, u"C:\\setup\\drv\\net.inf");
    EXPECT_EQ(package.SourceDir, u"C:\\setup\\drv");
    EXPECT_EQ(state.PackageDriverVersion, u"8.45.507.2016");
    switches.infPath.reset();
    EXPECT_EQ(LocateDriverPackage(machine, state, package, switches), PackageLocation::Found);
    EXPECT_EQ(package.InfPath, u"C:\\setup\\Netcvlx.inf");
    EXPECT_EQ(state.PackageDriverVersion, u"7.0.0.0");
    CloseInstallLog(state.log);
    EXPECT_EQ(machine.Setup().ReadFileContents(test::kLogPath),
              "The file path...\r\nC:\\setup\\drv\r\nC:\\setup\\drv\\net.inf\r\n"
              "The file path...\r\nC:\\setup\\\r\nC:\\setup\\Netcvlx.inf\r\n");
    FreeDriverPackage(package);
    EXPECT_FALSE(package.InfPath);
}

TEST_F(PackageInfTest, LocateFailuresKeepWhatThePackageHad) {
    DriverPackage package;
    package.InfPath = u"earlier";
    EXPECT_EQ(LocateDriverPackage(machine, state, package, PackageSwitches{}),
              PackageLocation::NoInfName);
    PackageSwitches b702;
    b702.legacyFamily = FamilyPcie;
    EXPECT_EQ(LocateDriverPackage(machine, state, package, b702), PackageLocation::NotFound);
    EXPECT_EQ(state.PackageInfPath, u"C:\\setup\\Netcvle.inf");
    EXPECT_EQ(package.InfPath, u"earlier");
    machine.Setup().Fail(Op::GetModuleFileNameW, ERROR_ACCESS_DENIED);
    EXPECT_EQ(LocateDriverPackage(machine, state, package, b702), PackageLocation::NotFound);
}

}  // namespace
}  // namespace cvl

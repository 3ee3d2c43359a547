// The package paths and the version text of the package.
#include "install/driver_package.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace cvl {
namespace {

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

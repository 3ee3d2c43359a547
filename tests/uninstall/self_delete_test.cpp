// The two-stage self-deletion, run as two simulated processes.
#include "uninstall/self_delete.h"

#include <gtest/gtest.h>

#include "support/scenario.h"

namespace cvl {
namespace {

using sim::Op;

using test::kProgramPath;

constexpr char16_t kTempDir[] = u"C:\\Users\\user\\AppData\\Local\\Temp\\";
constexpr char16_t kGuarded[] = u"C:\\Windows\\system32\\guarded.exe";

std::vector<std::u16string> FilesIn(const sim::SimulatedPlatform &machine,
                                    std::u16string_view dir) {
    std::vector<std::u16string> names;
    for (const auto &[path, contents] : machine.Setup().AllFiles()) {
        if (path.size() > dir.size() &&
            EqualsFoldAZ(std::u16string_view(path).substr(0, dir.size()), dir) &&
            path.find(u'\\', dir.size()) == std::u16string::npos)
            names.push_back(path.substr(dir.size()));
    }
    return names;
}

bool IsTenDigitsDotExe(std::u16string_view name) {
    if (name.size() != 14 || name.substr(10) != u".exe") return false;
    for (std::size_t i = 0; i < 10; ++i)
        if (name[i] < u'0' || name[i] > u'9') return false;
    return true;
}

class SelfDeleteTest : public ::testing::Test {
protected:
    sim::SimulatedPlatform machine;
    InstallOptions firstStage;  // no "/selfdel" values: the first stage

    void SetUp() override { machine.Setup().SetTempPath(kTempDir); }
};

TEST_F(SelfDeleteTest, FirstStageStartsACopyThatDeletesTheProgramAfterItEnds) {
    SelfDelete(machine, firstStage);
    ASSERT_EQ(machine.Setup().Processes().size(), 1u);
    const sim::ProcessRecord &child = machine.Setup().Processes()[0];
    EXPECT_TRUE(IsTenDigitsDotExe(child.imagePath.substr(std::u16string_view(kTempDir).size())))
        << ToUtf8(child.imagePath);
    EXPECT_EQ(child.applicationName, child.imagePath);
    EXPECT_EQ(child.commandLine, child.imagePath + u" /selfdel 1000 C:\\setup\\cvlsetup.exe");
    EXPECT_EQ(machine.Setup().Sleeps(), std::vector<DWORD>{100});
    EXPECT_TRUE(machine.Setup().FileExists(kProgramPath));  // still running

    machine.Setup().FinishRunAndStartChildren(
        0, [](Platform &p, std::u16string tail) { return RunInstaller(p, tail); });
    EXPECT_FALSE(machine.Setup().FileExists(kProgramPath));
    EXPECT_TRUE(FilesIn(machine, kTempDir).empty()) << "the copy removes itself on close";
    EXPECT_EQ(machine.Setup().Processes()[0].exitCode, 0u);
    EXPECT_FALSE(machine.Setup().FileExists(test::kLogPath)) << "the second stage runs unlogged";
}

TEST_F(SelfDeleteTest, CopyNameIsTenDigitsThatTheClockDoesNotGiveAway) {
    // Two copies made in one tick get names of their own: nobody who reads
    // the clock can take the copy's name first.
    machine.Setup().SetTickCount(123456);
    std::u16string copy1, own1;
    ASSERT_TRUE(CopySelfToTemp(machine, copy1, own1));
    EXPECT_EQ(own1, kProgramPath);
    machine.Setup().SetTickCount(123456);
    std::u16string copy2, own2;
    ASSERT_TRUE(CopySelfToTemp(machine, copy2, own2));
    EXPECT_NE(copy1, copy2);
    for (const auto &copy : {copy1, copy2})
        EXPECT_TRUE(IsTenDigitsDotExe(copy.substr(std::u16string_view(kTempDir).size())))
            << ToUtf8(copy);
}

TEST_F(SelfDeleteTest, TwoFirstStagesInOneTickStartTwoChildren) {
    machine.Setup().SetTickCount(5000);
    SelfDelete(machine, firstStage);
    machine.Setup().SetTickCount(5000);
    SelfDelete(machine, firstStage);
    EXPECT_EQ(machine.Setup().Processes().size(), 2u);
}

TEST_F(SelfDeleteTest, ANameAlreadyTakenIsNeverCopiedOverOrWrittenThrough) {
    // Whatever stands under the copy's name, a file or a link to one, the
    // copy fails and nothing is started.
    machine.Setup().AddFile(kGuarded, "guarded");
    std::u16string probe, own;
    ASSERT_TRUE(CopySelfToTemp(machine, probe, own));
    ASSERT_TRUE(machine.Setup().RemoveFile(probe));
    for (const bool asLink : {false, true}) {
        SCOPED_TRACE(asLink ? "link" : "file");
        sim::SimulatedPlatform fresh;
        fresh.Setup().SetTempPath(kTempDir);
        fresh.Setup().AddFile(kGuarded, "guarded");
        // The fresh machine's random source repeats this one's first name.
        if (asLink) {
            ASSERT_TRUE(fresh.Setup().AddSymbolicLink(probe, kGuarded));
        } else {
            ASSERT_TRUE(fresh.Setup().AddFile(probe, "planted"));
        }
        SelfDelete(fresh, firstStage);
        EXPECT_TRUE(fresh.Setup().Processes().empty());
        EXPECT_EQ(fresh.Setup().ReadFileContents(kGuarded), "guarded");
        EXPECT_TRUE(fresh.Setup().FileExists(kProgramPath));
    }
}

TEST_F(SelfDeleteTest, FirstStageFailuresLeaveTheProgramAndNoCopy) {
    for (Op operation : {Op::GetModuleFileNameW, Op::GetTempPathW, Op::CryptGenRandom,
                         Op::CopyFileW, Op::CreateFileW, Op::CreateProcessW}) {
        SCOPED_TRACE(operation);
        sim::SimulatedPlatform fresh;
        fresh.Setup().SetTempPath(kTempDir);
        fresh.Setup().Fail(operation, ERROR_ACCESS_DENIED);
        SelfDelete(fresh, firstStage);
        fresh.Setup().FinishRunAndStartChildren(
            0, [](Platform &p, std::u16string tail) { return RunInstaller(p, tail); });
        EXPECT_TRUE(fresh.Setup().FileExists(kProgramPath));
        EXPECT_TRUE(FilesIn(fresh, kTempDir).empty());
        EXPECT_EQ(fresh.Setup().OpenHandleCount(), 0u);
    }
}

TEST_F(SelfDeleteTest, PathsThatDoNotFitTheirBuffersStopTheFirstStage) {
    // 99 characters of own path fit the 100-character buffer; 100 do not.
    const std::u16string dir = u"C:\\" + std::u16string(80, u'd') + u"\\";
    for (std::size_t nameLength : {15u, 16u}) {
        sim::SimulatedPlatform fresh;
        fresh.Setup().SetTempPath(kTempDir);
        const std::u16string own = dir + std::u16string(nameLength - 4, u'p') + u".exe";
        fresh.Setup().SetProgram(own);
        std::u16string copy, ownRead;
        EXPECT_EQ(CopySelfToTemp(fresh, copy, ownRead), own.size() < 100) << own.size();
    }
    // The temporary directory must leave room for ten digits, ".exe" and the terminator.
    for (std::size_t tempLength : {85u, 86u}) {
        sim::SimulatedPlatform fresh;
        const std::u16string temp = u"C:\\" + std::u16string(tempLength - 4, u't') + u"\\";
        ASSERT_EQ(temp.size(), tempLength);
        fresh.Setup().SetTempPath(temp);
        std::u16string copy, own;
        EXPECT_EQ(CopySelfToTemp(fresh, copy, own), tempLength + 15 <= 100) << tempLength;
    }
}

TEST_F(SelfDeleteTest, CommandLineOfTwoHundredCharactersIsNotStarted) {
    std::u16string copy = std::u16string(kTempDir) + u"0123456789.exe";
    for (std::size_t ownLength : {150u, 160u}) {
        sim::SimulatedPlatform fresh;
        const std::u16string own = u"C:\\" + std::u16string(ownLength - 7, u'o') + u".exe";
        fresh.Setup().AddFile(copy, "copy");
        const bool started = LaunchSelfDeleter(fresh, copy, own);
        const std::size_t commandLength = copy.size() + 14 + own.size();  // " /selfdel 1000 "
        EXPECT_EQ(started, commandLength <= 199) << commandLength;
    }
}

TEST_F(SelfDeleteTest, BlanksInTheProgramPathAreCarriedWholeAndNeverCutShort) {
    machine.Setup().SetProgram(u"C:\\Program Files\\Corvane\\cvl setup.exe");
    machine.Setup().AddFile(u"C:\\Program Files\\Corvane\\cvl", "a file the cut path would name");
    machine.Setup().AddFile(u"C:\\Program.exe", "a program the cut path would start");
    SelfDelete(machine, firstStage);
    ASSERT_EQ(machine.Setup().Processes().size(), 1u);
    EXPECT_NE(machine.Setup().Processes()[0].commandLine.find(
                  u"C:\\Program?Files\\Corvane\\cvl?setup.exe"),
              std::u16string::npos);
    machine.Setup().FinishRunAndStartChildren(
        0, [](Platform &p, std::u16string tail) { return RunInstaller(p, tail); });
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\Program Files\\Corvane\\cvl setup.exe"));
    EXPECT_TRUE(machine.Setup().FileExists(u"C:\\Program Files\\Corvane\\cvl"));
    EXPECT_TRUE(machine.Setup().FileExists(u"C:\\Program.exe"));
}

TEST_F(SelfDeleteTest, ATemporaryDirectoryWithBlanksIsQuotedAndNamedOnItsOwn) {
    machine.Setup().SetTempPath(u"C:\\Documents and Settings\\user\\Local Settings\\Temp\\");
    machine.Setup().AddFile(u"C:\\Documents.exe", "not the copy");
    SelfDelete(machine, firstStage);
    ASSERT_EQ(machine.Setup().Processes().size(), 1u);
    const auto &child = machine.Setup().Processes()[0];
    EXPECT_EQ(child.commandLine.substr(0, 1), u"\"");
    EXPECT_EQ(child.imagePath, child.applicationName);
    machine.Setup().FinishRunAndStartChildren(
        0, [](Platform &p, std::u16string tail) { return RunInstaller(p, tail); });
    EXPECT_FALSE(machine.Setup().FileExists(kProgramPath));
}

class SecondStageTest : public SelfDeleteTest {
protected:
    DWORD RunSecondStage(std::u16string_view tail) { return RunInstaller(machine, tail); }
};

TEST_F(SecondStageTest, EndedProcessIsWaitedForThenTheNamedFileAloneIsDeleted) {
    machine.Setup().AddForeignProcess(4242, false);
    machine.Setup().AddFile(u"C:\\victim\\target.exe", "x");
    machine.Setup().AddFile(u"C:\\victim\\target.exe.bak", "y");
    EXPECT_EQ(RunSecondStage(u"/selfdel 4242 C:\\victim\\target.exe"), 0u);
    EXPECT_EQ(machine.Setup().ExitProcessCode(), 0u);
    EXPECT_EQ(machine.Setup().Sleeps(), std::vector<DWORD>{1000});
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\victim\\target.exe"));
    EXPECT_TRUE(machine.Setup().FileExists(u"C:\\victim\\target.exe.bak"));
    EXPECT_FALSE(test::LogOf(machine));
}

TEST_F(SecondStageTest, ARunningParentIsWaitedForTwoSecondsAndItsFileStays) {
    machine.Setup().AddForeignProcess(4242, true);
    machine.Setup().AddFile(u"C:\\victim\\target.exe", "x");
    const DWORD before = machine.Setup().Now();
    RunSecondStage(u"/selfdel 4242 C:\\victim\\target.exe");
    EXPECT_EQ(machine.Setup().Now() - before, 3000u);
    // A foreign process does not hold this file, so the delete goes through;
    // the program's own running image is what would stop it.
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\victim\\target.exe"));
}

TEST_F(SecondStageTest, AProcessIdThatIsNoNumberDeletesNothing) {
    machine.Setup().AddFile(u"C:\\victim\\target.exe", "x");
    for (const char16_t *tail :
         {u"/selfdel abc C:\\victim\\target.exe", u"/selfdel 0 C:\\victim\\target.exe"}) {
        EXPECT_EQ(RunSecondStage(tail), 0u);
        EXPECT_TRUE(machine.Setup().FileExists(u"C:\\victim\\target.exe"));
    }
    EXPECT_TRUE(machine.Setup().Sleeps().empty());
}

TEST_F(SecondStageTest, AnUnknownProcessStillLeadsToTheDeletion) {
    machine.Setup().AddFile(u"C:\\victim\\target.exe", "x");
    RunSecondStage(u"/selfdel 777 C:\\victim\\target.exe");
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\victim\\target.exe"));
}

TEST_F(SecondStageTest, DebugMessagesBringTheLogBackWithItsLine) {
    machine.Setup().AddFile(u"C:\\victim\\target.exe", "x");
    RunSecondStage(u"/selfdel 777 C:\\victim\\target.exe /dbgmsg");
    EXPECT_EQ(test::LogOf(machine), "Self Deleting...\r\n")
        << "the process ends before the exit code";
}

TEST_F(SecondStageTest, OnlyOneValueIsRejected) {
    EXPECT_EQ(RunSecondStage(u"/selfdel 4242"), 2u);
}

}  // namespace
}  // namespace cvl

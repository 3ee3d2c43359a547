// The install log: line shapes, text mode, suppression and the fallback
// directory.
#include "log/install_log.h"

#include <gtest/gtest.h>

#include "platform/sim/simulated_platform.h"

namespace cvl {
namespace {

using sim::Op;

class InstallLogTest : public ::testing::Test {
protected:
    sim::SimulatedPlatform machine;
    InstallLog log{machine};

    std::string Contents(std::u16string_view path = u"C:\\setup\\InstallLog.txt") {
        return machine.Setup().ReadFileContents(path).value_or("<missing>");
    }
};

TEST_F(InstallLogTest, EveryLineShapeEndsInCarriageReturnLineFeed) {
    OpenInstallLog(log);
    LogLine(log, u"Starting Install...");
    LogNumber(log, u"Exit code:", 0);
    LogNumber(log, u"Para value", -7);
    LogText(log, u"Driver Ver", u"1.2.3.4");
    LogFlag(log, false);
    LogFlag(log, true);
    CloseInstallLog(log);
    EXPECT_EQ(Contents(),
              "Starting Install...\r\n"
              "Exit code: = 0\r\n"
              "Para value = -7\r\n"
              "Driver Ver = '1.2.3.4'\r\n"
              "bNicExist = FALSE\r\n"
              "bNicExist = TRUE\r\n");
}

TEST_F(InstallLogTest, ANewlineInsideATextBecomesCarriageReturnLineFeedToo) {
    OpenInstallLog(log);
    LogLine(log, u"a\nb");
    CloseInstallLog(log);
    EXPECT_EQ(Contents(), "a\r\nb\r\n");
}

TEST_F(InstallLogTest, CharactersAreWrittenOneByteEachAndUnconvertibleOnesAsQuestionMarks) {
    OpenInstallLog(log);
    LogText(log, u"STRING : ", u"caf\u00e9 \u4e2d");
    CloseInstallLog(log);
    EXPECT_EQ(Contents(), "STRING :  = 'caf\xe9 ?'\r\n");
}

TEST_F(InstallLogTest, SuppressedLogIsNeverCreatedAndLeavesAnOldLogAlone) {
    machine.Setup().AddFile(u"C:\\setup\\InstallLog.txt", "earlier run\r\n");
    log.logSuppressed = true;
    OpenInstallLog(log);
    LogLine(log, u"must not appear");
    EXPECT_EQ(log.logFile, nullptr);
    EXPECT_EQ(Contents(), "earlier run\r\n");
}

TEST_F(InstallLogTest, OpeningTruncatesTheLogOfAnEarlierRun) {
    machine.Setup().AddFile(u"C:\\setup\\InstallLog.txt", "earlier run with a long line\r\n");
    OpenInstallLog(log);
    LogLine(log, u"new");
    CloseInstallLog(log);
    EXPECT_EQ(Contents(), "new\r\n");
}

TEST_F(InstallLogTest, WritersWithoutAnOpenLogDoNothing) {
    LogLine(log, u"nowhere");
    LogNumber(log, u"n", 1);
    LogText(log, u"t", u"x");
    LogFlag(log, true);
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\setup\\InstallLog.txt"));
}

TEST_F(InstallLogTest, UnreadableCurrentDirectoryFallsBackToTheRootOfC) {
    machine.Setup().Fail(Op::GetCurrentDirectoryW, ERROR_ACCESS_DENIED);
    OpenInstallLog(log);
    LogLine(log, u"x");
    CloseInstallLog(log);
    EXPECT_EQ(Contents(u"C:\\InstallLog.txt"), "x\r\n");
}

TEST_F(InstallLogTest, RootDirectoryGivesADoubledBackslashThatStillResolves) {
    machine.Setup().SetCurrentDirectory(u"D:\\");
    machine.Setup().AddDirectory(u"D:\\");
    OpenInstallLog(log);
    LogLine(log, u"y");
    CloseInstallLog(log);
    EXPECT_EQ(Contents(u"D:\\InstallLog.txt"), "y\r\n");
}

TEST_F(InstallLogTest, AFailedOpenLeavesTheRunWithoutALog) {
    machine.Setup().Fail(Op::CreateFileW, ERROR_ACCESS_DENIED);
    OpenInstallLog(log);
    EXPECT_EQ(log.logFile, nullptr);
    LogLine(log, u"lost");
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\setup\\InstallLog.txt"));
}

TEST_F(InstallLogTest, WritingTheLogKeepsTheLastErrorTheLogicReads) {
    OpenInstallLog(log);
    machine.SetLastError(ERROR_NO_SUCH_DEVINST);
    LogLine(log, u"after a failed update");
    LogNumber(log, u"n", 1);
    EXPECT_EQ(machine.GetLastError(), ERROR_NO_SUCH_DEVINST);
    CloseInstallLog(log);
}

TEST_F(InstallLogTest, OpeningTwiceKeepsTheFirstHandle) {
    OpenInstallLog(log);
    HANDLE first = log.logFile;
    OpenInstallLog(log);
    EXPECT_EQ(log.logFile, first);
    CloseInstallLog(log);
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace cvl

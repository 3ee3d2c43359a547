// The driver-package tool run, the compatibility value and the rescan.
#include "app/tool_run.h"
#include "device/hardware_rescan.h"

#include <gtest/gtest.h>

#include "support/scenario.h"

namespace cvl {
namespace {

using sim::Op;

using test::LogOf;
using test::RunTail;

constexpr char16_t kPnputil[] = u"C:\\Windows\\system32\\pnputil.exe";
constexpr char16_t kCouldNotExecute[] = u"Could not execute the application....";

class PnputilActionTest : public ::testing::Test {
protected:
    sim::SimulatedPlatform machine;
};

TEST_F(PnputilActionTest, StartsTheToolHiddenWithoutArguments) {
    machine.Setup().AddFile(kPnputil, "tool");
    EXPECT_EQ(RunTail(machine, u"/rp"), 0u);
    ASSERT_EQ(machine.Setup().Processes().size(), 1u);
    const auto &tool = machine.Setup().Processes()[0];
    EXPECT_EQ(tool.applicationName, kPnputil);
    EXPECT_EQ(tool.commandLine, std::u16string(kPnputil) + u" ");
    EXPECT_EQ(tool.startupInfo.dwFlags, STARTF_USESHOWWINDOW);
    EXPECT_EQ(tool.startupInfo.wShowWindow, SW_HIDE);
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

// The log tells what became of the tool; the action ends with 0 every time.
TEST_F(PnputilActionTest, TheLogSaysWhetherTheToolStartedAndHowItEnded) {
    struct Case {
        const char *what;
        bool present;
        DWORD toolExitCode;
        std::string log;
    };
    for (const Case &c :
         {Case{"ended with 0", true, 0, "Exit code: = 0\r\n"},
          Case{"ended with 5", true, 5, "pnputil exit code = 5\r\nExit code: = 0\r\n"},
          Case{"crashed", true, 0xC0000005u,
               "pnputil exit code = -1073741819\r\nExit code: = 0\r\n"},
          Case{"did not start", false, 0, ToUtf8(kCouldNotExecute) + "\r\nExit code: = 0\r\n"}}) {
        sim::SimulatedPlatform fresh;
        if (c.present) {
            fresh.Setup().AddFile(kPnputil, "tool");
            fresh.Setup().SetToolExitCode(kPnputil, c.toolExitCode);
        }
        EXPECT_EQ(RunTail(fresh, u"/rp"), 0u) << c.what;
        EXPECT_EQ(LogOf(fresh), c.log) << c.what;
    }
}

TEST_F(PnputilActionTest, CommandLineMustFitTwoHundredSixtyCharacters) {
    // "\system32\pnputil.exe " adds 22 characters; with the terminator a
    // Windows directory of 237 characters fits, 238 does not.
    for (std::size_t length : {237u, 238u}) {
        sim::SimulatedPlatform fresh;
        const std::u16string windows = u"C:\\" + std::u16string(length - 3, u'w');
        fresh.Setup().SetWindowsDirectory(windows);
        fresh.Setup().AddFile(windows + u"\\system32\\pnputil.exe", "tool");
        fresh.Setup().SetToolExitCode(windows + u"\\system32\\pnputil.exe", 7);
        EXPECT_EQ(RunTail(fresh, u"/rp"), 0u);
        const bool fits = length + 22 < 260;
        EXPECT_EQ(fresh.Setup().Processes().size(), fits ? 1u : 0u) << length;
        EXPECT_EQ(LogOf(fresh)->find("Could not execute") != std::string::npos, !fits);
    }
}

TEST_F(PnputilActionTest, AnUnreadableWindowsDirectoryStartsNothing) {
    machine.Setup().AddFile(kPnputil, "tool");
    machine.Setup().SetToolExitCode(kPnputil, 4);
    machine.Setup().Fail(Op::GetWindowsDirectoryW, ERROR_ACCESS_DENIED);
    EXPECT_EQ(RunTail(machine, u"/rp"), 0u);
    EXPECT_TRUE(machine.Setup().Processes().empty());
    EXPECT_EQ(LogOf(machine), ToUtf8(kCouldNotExecute) + "\r\nExit code: = 0\r\n");
}

TEST_F(PnputilActionTest, ABlankInTheWindowsDirectoryCannotStartAnotherProgram) {
    machine.Setup().SetWindowsDirectory(u"C:\\Win Dir");
    const std::u16string tool = u"C:\\Win Dir\\system32\\pnputil.exe";
    machine.Setup().AddFile(tool, "tool");
    machine.Setup().SetToolExitCode(tool, 3);
    machine.Setup().AddFile(u"C:\\Win.exe", "planted");
    machine.Setup().SetToolExitCode(u"C:\\Win.exe", 9);
    EXPECT_EQ(RunTail(machine, u"/rp"), 0u);
    ASSERT_EQ(machine.Setup().Processes().size(), 1u);
    EXPECT_EQ(machine.Setup().Processes()[0].imagePath, tool);
    EXPECT_EQ(machine.Setup().Processes()[0].commandLine, u"\"" + tool + u"\" ");
}

TEST(RunProcessAndWaitTest, ReturnsTheToolsExitCodeAndNothingWhenItDoesNotStart) {
    sim::SimulatedPlatform machine;
    machine.Setup().AddFile(u"C:\\t\\tool.exe", "tool");
    machine.Setup().SetToolExitCode(u"C:\\t\\tool.exe", 0xC0000005u);
    std::u16string command = u"C:\\t\\tool.exe ";
    EXPECT_EQ(RunProcessAndWait(machine, u"C:\\t\\tool.exe", command), 0xC0000005u);
    std::u16string missing = u"C:\\t\\none.exe ";
    EXPECT_EQ(RunProcessAndWait(machine, u"C:\\t\\none.exe", missing), std::nullopt);
    // An exit code that cannot be read counts as 0; the handles still go.
    machine.Setup().Fail(Op::GetExitCodeProcess, ERROR_ACCESS_DENIED);
    EXPECT_EQ(RunProcessAndWait(machine, u"C:\\t\\tool.exe", command), 0u);
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

constexpr char16_t kPersistedKey[] =
    u"HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility "
    u"Assistant\\Persisted";

TEST(MarkCompatibilityPersistedTest, SetsAndOverwritesTheValueForTheFullPath) {
    sim::SimulatedPlatform machine;
    MarkCompatibilityPersisted(machine);
    machine.Setup().SetRegDword(kPersistedKey, test::kProgramPath, 7);
    MarkCompatibilityPersisted(machine);
    EXPECT_EQ(machine.Setup().GetRegValue(kPersistedKey, test::kProgramPath)->type, REG_DWORD);
    EXPECT_EQ(machine.Setup().GetRegDword(kPersistedKey, test::kProgramPath), 1u);
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST(MarkCompatibilityPersistedTest, FailuresWriteNothing) {
    for (Op operation : {Op::GetModuleFileNameW, Op::RegCreateKeyExW}) {
        sim::SimulatedPlatform machine;
        machine.Setup().Fail(operation, ERROR_ACCESS_DENIED);
        MarkCompatibilityPersisted(machine);
        EXPECT_FALSE(machine.Setup().GetRegValue(kPersistedKey, test::kProgramPath)) << operation;
    }
}

TEST(MarkCompatibilityPersistedTest, AProgramPathTooLongForItsBufferIsNotCutIntoAnotherName) {
    sim::SimulatedPlatform machine;
    const std::u16string longPath = u"C:\\" + std::u16string(520, u'x') + u".exe";
    machine.Setup().SetProgram(longPath);
    MarkCompatibilityPersisted(machine);
    EXPECT_FALSE(machine.Setup().RegKeyExists(kPersistedKey));
}

TEST(RescanTest, ReenumeratesTheRootSynchronouslyAndWaitsThreeSeconds) {
    sim::SimulatedPlatform machine;
    EXPECT_EQ(RunTail(machine, u"/hwscan"), 0u);
    EXPECT_EQ(machine.Setup().DeviceTreeCalls(),
              (std::vector<std::string>{"connect", "locate", "reenumerate:1", "disconnect"}));
    EXPECT_EQ(machine.Setup().Sleeps(), std::vector<DWORD>{3000});
    EXPECT_EQ(LogOf(machine), "Scan Hardware Change...\r\nExit code: = 0\r\n");
}

TEST(RescanTest, FailuresAreIgnoredAndAFailedConnectionIsNotDisconnected) {
    struct Case {
        Op operation;
        std::vector<std::string> calls;
    };
    for (const Case &c :
         {Case{Op::CM_Connect_MachineW, {}},
          Case{Op::CM_Locate_DevNode_ExW, {"connect", "disconnect"}},
          Case{Op::CM_Reenumerate_DevNode_Ex, {"connect", "locate", "disconnect"}}}) {
        sim::SimulatedPlatform machine;
        machine.Setup().Fail(c.operation, CR_FAILURE);
        EXPECT_FALSE(RescanHardware(machine)) << c.operation;
        EXPECT_EQ(machine.Setup().DeviceTreeCalls(), c.calls) << c.operation;
        sim::SimulatedPlatform run;
        run.Setup().Fail(c.operation, CR_FAILURE);
        EXPECT_EQ(RunTail(run, u"/hwscan"), 0u);
        EXPECT_EQ(run.Setup().Sleeps(), std::vector<DWORD>{3000});
    }
    sim::SimulatedPlatform machine;
    EXPECT_TRUE(RescanHardware(machine));
}

}  // namespace
}  // namespace cvl

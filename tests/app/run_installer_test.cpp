// Start-up, shutdown and dispatch of a whole run.
#include "app/run_installer.h"

#include <gtest/gtest.h>

#include "support/devices.h"
#include "support/scenario.h"

namespace cvl {
namespace {

using sim::Op;

using test::LogOf;
using test::RunTail;

constexpr char16_t kPersistedKey[] =
    u"HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility "
    u"Assistant\\Persisted";

class RunInstallerTest : public ::testing::Test {
protected:
    sim::SimulatedPlatform machine;
};

TEST_F(RunInstallerTest, UnsupportedSystemEndsWithOneAndWritesNothing) {
    machine.Setup().SetVersion(VER_PLATFORM_WIN32_NT, 10, 0);
    EXPECT_EQ(RunTail(machine, u"/hwscan"), 1u);
    EXPECT_FALSE(LogOf(machine));
    EXPECT_FALSE(machine.Setup().GetRegDword(kPersistedKey, test::kProgramPath));
}

TEST_F(RunInstallerTest, EmptyOrRejectedCommandLineEndsWithTwoAndWritesNothing) {
    for (const char16_t *tail :
         {u"", u"/bogus", u"/hwscan /bogus", u"/i/u", u"/f c:\\pkg\\x.sys"}) {
        SCOPED_TRACE(test::ToUtf8(tail));
        sim::SimulatedPlatform fresh;
        EXPECT_EQ(RunTail(fresh, tail), 2u);
        EXPECT_FALSE(LogOf(fresh));
        EXPECT_FALSE(fresh.Setup().GetRegDword(kPersistedKey, test::kProgramPath));
        EXPECT_TRUE(fresh.Setup().MessageBoxes().empty());
    }
}

TEST_F(RunInstallerTest, NoActionOptionEndsWithThreeAndLogsOnlyTheExitCode) {
    EXPECT_EQ(RunTail(machine, u"/vistab701"), 3u);
    EXPECT_EQ(LogOf(machine), "Exit code: = 3\r\n");
}

TEST_F(RunInstallerTest, OnlyBlanksAfterTheProgramNameParseToNoAction) {
    EXPECT_EQ(RunTail(machine, u"   "), 3u);
    EXPECT_EQ(LogOf(machine), "Exit code: = 3\r\n");
}

TEST_F(RunInstallerTest, TheLastActionOptionWins) {
    EXPECT_EQ(RunTail(machine, u"/rp /hwscan"), 0u);
    EXPECT_EQ(LogOf(machine), "Scan Hardware Change...\r\nExit code: = 0\r\n");
}

TEST_F(RunInstallerTest, CompatibilityValueIsWrittenOnlyOnWindows7AndLater) {
    struct Case {
        DWORD platformId, major, minor;
        bool written;
    };
    for (const Case &c :
         {Case{VER_PLATFORM_WIN32_NT, 6, 1, true}, Case{VER_PLATFORM_WIN32_NT, 6, 2, true},
          Case{VER_PLATFORM_WIN32_NT, 6, 0, false}, Case{VER_PLATFORM_WIN32_NT, 5, 1, false},
          Case{VER_PLATFORM_WIN32_WINDOWS, 4, 90, false}}) {
        SCOPED_TRACE(testing::Message() << c.platformId << " " << c.major << "." << c.minor);
        sim::SimulatedPlatform fresh;
        fresh.Setup().SetVersion(c.platformId, c.major, c.minor);
        EXPECT_EQ(RunTail(fresh, u"/hwscan"), 0u);
        const auto value = fresh.Setup().GetRegValue(kPersistedKey, test::kProgramPath);
        EXPECT_EQ(value.has_value(), c.written);
        if (value) {
            EXPECT_EQ(fresh.Setup().GetRegDword(kPersistedKey, test::kProgramPath), 1u);
        }
    }
}

TEST_F(RunInstallerTest, UninstallerAsksFirstAndCancelEndsWithZeroAndNoLog) {
    machine.Setup().SetMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(RunTail(machine, u"/uninstaller /dbgmsg"), 0u);
    ASSERT_EQ(machine.Setup().MessageBoxes().size(), 1u);
    const auto &box = machine.Setup().MessageBoxes()[0];
    EXPECT_EQ(box.text, u"Do You Want To Remove Corvane Ethernet Controller Driver?");
    EXPECT_EQ(box.caption, u"");
    EXPECT_EQ(box.type, MB_OKCANCEL | MB_ICONEXCLAMATION);
    EXPECT_FALSE(LogOf(machine));
}

// Only OK is consent: a box that could not be shown ends the run as Cancel
// does, before any log or removal, and the program file stays.
TEST_F(RunInstallerTest, ABoxThatCannotBeShownEndsTheRunAsCancelDoes) {
    struct Case {
        const char *what;
        int answer;
        DWORD boxError;  // 0: the box is shown
    };
    for (const Case &c :
         {Case{"cancel", IDCANCEL, 0}, Case{"no window station", IDOK, ERROR_INVALID_WINDOW_HANDLE},
          Case{"out of memory", IDOK, ERROR_NOT_ENOUGH_MEMORY}}) {
        sim::SimulatedPlatform fresh;
        const sim::DeviceSpec adapter = test::PciAdapter(u"B702");
        fresh.Setup().AddDevice(adapter);
        fresh.Setup().SetMessageBoxAnswer(c.answer);
        if (c.boxError != 0) fresh.Setup().Fail(Op::MessageBoxW, c.boxError);
        EXPECT_EQ(RunTail(fresh, u"/uninstaller /dbgmsg /vistab701"), 0u) << c.what;
        EXPECT_FALSE(LogOf(fresh)) << c.what;
        EXPECT_TRUE(fresh.Setup().FileExists(test::kProgramPath)) << c.what;
        EXPECT_TRUE(fresh.Setup().DeviceState(adapter.instanceId).has_value()) << c.what;
    }
}

TEST_F(RunInstallerTest, SilentUninstallerShowsNoBox) {
    machine.Setup().SetMessageBoxAnswer(IDCANCEL);
    RunTail(machine, u"/uninstaller /s");
    EXPECT_TRUE(machine.Setup().MessageBoxes().empty());
}

TEST_F(RunInstallerTest, UninstallerIsUnloggedUnlessDebugMessagesAreAsked) {
    RunTail(machine, u"/uninstaller /s");
    EXPECT_FALSE(LogOf(machine));
    sim::SimulatedPlatform withLog;
    RunTail(withLog, u"/uninstaller /s /dbgmsg");
    ASSERT_TRUE(LogOf(withLog));
    EXPECT_NE(LogOf(withLog)->find("Exit code: = "), std::string::npos);
}

TEST_F(RunInstallerTest, Windows98WritesItsLogAtTheRootOfTheCurrentDrive) {
    machine.Setup().SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222);
    EXPECT_EQ(RunTail(machine, u"/vistab701"), 3u);
    EXPECT_EQ(LogOf(machine, u"C:\\INST.TXT"), "Exit code: = 3\r\n");
    EXPECT_FALSE(LogOf(machine));
}

TEST_F(RunInstallerTest, OtherSystemsWriteInstallLogInTheCurrentDirectory) {
    for (DWORD minor : {0u, 90u}) {
        sim::SimulatedPlatform fresh;
        fresh.Setup().SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, minor);
        RunTail(fresh, u"/vistab701");
        EXPECT_EQ(LogOf(fresh), "Exit code: = 3\r\n");
        EXPECT_FALSE(LogOf(fresh, u"C:\\INST.TXT"));
    }
}

TEST_F(RunInstallerTest, ASecondRunLeavesOnlyItsOwnLines) {
    RunTail(machine, u"/hwscan");
    RunTail(machine, u"/vistab701");
    EXPECT_EQ(LogOf(machine), "Exit code: = 3\r\n");
}

TEST_F(RunInstallerTest, RunReleasesEveryHandleItOpened) {
    RunTail(machine, u"/hwscan");
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace cvl

// A run cut short after a number of calls: a stopped machine refuses every
// later call, a killed process has its handles closed with their effects
// and its started copies run, a power loss forgets everything in flight.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl::sim {
namespace {

constexpr char16_t kCopy[] = u"C:\\Users\\user\\AppData\\Local\\Temp\\copy.exe";

// The program's first stage, as the self-deletion does it: copy itself,
// hold the copy open to be deleted on close, start the copy, then write a
// key; `stopAfter` cuts it short.
class InterruptedRun : public ::testing::Test {
protected:
    DWORD FirstStage(Platform &platform) {
        platform.CopyFileW(u"C:\\setup\\cvlsetup.exe", kCopy, TRUE);
        const HANDLE hold =
            platform.CreateFileW(kCopy, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                 OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE);
        std::u16string commandLine = std::u16string(kCopy) + u" /second";
        StartupInfo startup{};
        ProcessInformation info{};
        if (platform.CreateProcessW(kCopy, commandLine.data(), FALSE, 0, &startup, &info)) {
            platform.CloseHandle(info.hThread);
            platform.CloseHandle(info.hProcess);
        }
        HKEY key = nullptr;
        if (platform.RegCreateKeyExW(HKeyLocalMachine(), u"SOFTWARE\\Written", 0, KEY_ALL_ACCESS,
                                     &key, nullptr) == ERROR_SUCCESS)
            platform.RegCloseKey(key);
        platform.CloseHandle(hold);
        return 0;
    }

    void Run(std::optional<std::uint64_t> stopAfter, Interruption how) {
        if (stopAfter) machine.Setup().StopAfter(*stopAfter, how);
        const DWORD code = FirstStage(machine);
        machine.Setup().FinishInterruptedRun(code, [this](Platform &, std::u16string tail) {
            secondStages.push_back(tail);
            return DWORD{0};
        });
    }

    SimulatedPlatform machine;
    std::vector<std::u16string> secondStages;
};

TEST_F(InterruptedRun, AStoppedMachineRefusesEveryLaterCallAndChangesNothing) {
    machine.Setup().StopAfter(1, Interruption::kKill);
    HKEY key = nullptr;
    EXPECT_EQ(machine.RegCreateKeyExW(HKeyLocalMachine(), u"SOFTWARE\\First", 0, KEY_ALL_ACCESS,
                                      &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_FALSE(machine.Setup().Stopped());
    EXPECT_EQ(machine.RegSetValueExW(key, u"v", REG_SZ, nullptr, 0), ERROR_NOT_READY);
    EXPECT_TRUE(machine.Setup().Stopped());

    EXPECT_FALSE(machine.CopyFileW(u"C:\\setup\\cvlsetup.exe", kCopy, TRUE));
    EXPECT_EQ(machine.GetLastError(), ERROR_NOT_READY);
    HMACHINE connection = nullptr;
    EXPECT_EQ(machine.CM_Connect_MachineW(nullptr, &connection), CR_FAILURE);
    EXPECT_FALSE(machine.Setup().FileExists(kCopy));
    EXPECT_TRUE(machine.Setup().RegValues(u"HKLM\\SOFTWARE\\First").empty());
    EXPECT_EQ(machine.Setup().PlatformCallCount(), 4u);
}

TEST_F(InterruptedRun, AKilledProcessLosesItsDeleteOnCloseFileAndItsCopyRuns) {
    // Cut after the start of the copy (copy, open, start): the key is never
    // written, the held copy is closed and so deleted, the copy still runs.
    Run(3, Interruption::kKill);
    EXPECT_FALSE(machine.Setup().FileExists(kCopy));
    EXPECT_EQ(secondStages, (std::vector<std::u16string>{u"/second"}));
    EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\SOFTWARE\\Written"));
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST_F(InterruptedRun, APowerLossKeepsTheFileAndRunsNothingMore) {
    Run(3, Interruption::kPowerLoss);
    EXPECT_TRUE(machine.Setup().FileExists(kCopy));
    EXPECT_TRUE(secondStages.empty());
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);

    // The delete-on-close went with the power: the next start closes a
    // handle to the copy without deleting it, and runs normally.
    machine.Setup().StartProgramAgain();
    const HANDLE again = machine.CreateFileW(kCopy, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL);
    ASSERT_NE(again, InvalidHandleValue());
    machine.CloseHandle(again);
    EXPECT_TRUE(machine.Setup().FileExists(kCopy));
    Run(std::nullopt, Interruption::kKill);
    EXPECT_TRUE(machine.Setup().RegKeyExists(u"HKLM\\SOFTWARE\\Written"));
}

TEST_F(InterruptedRun, AStopAfterTheLastCallChangesNothingInTheRun) {
    Run(100, Interruption::kPowerLoss);
    EXPECT_FALSE(machine.Setup().FileExists(kCopy));
    EXPECT_EQ(secondStages, (std::vector<std::u16string>{u"/second"}));
    EXPECT_TRUE(machine.Setup().RegKeyExists(u"HKLM\\SOFTWARE\\Written"));
}

}  // namespace
}  // namespace cvl::sim

// The version report, the clock, the message box, fault injection and the
// count of open handles.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/simulated_platform.h"

namespace cvl::sim {
namespace {

class SystemContract : public ::testing::Test {
protected:
    SimulatedPlatform sim;
    Platform &platform = sim;
};

OsVersionInfoEx RecordOfSize(DWORD size) {
    OsVersionInfoEx info{};
    info.dwOSVersionInfoSize = size;
    info.wServicePackMajor = 0xBEEF;  // shows whether the extended part was written
    return info;
}

TEST_F(SystemContract, TheDefaultMachineIsWindows7WithServicePack1) {
    // How each record size is served is a contract case; here, what an
    // unseeded machine reports.
    OsVersionInfoEx info = RecordOfSize(kOsVersionInfoExSize);
    ASSERT_TRUE(platform.GetVersionExW(info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(info.dwMajorVersion, 6u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.dwBuildNumber, 7601u);
    EXPECT_EQ(std::u16string(info.szCSDVersion), u"Service Pack 1");
    EXPECT_EQ(info.wServicePackMajor, 1);
}

TEST_F(SystemContract, OlderSystemsKnowOnlyThePlainRecord) {
    // The extended record exists from NT 4.0 SP6 on; Windows 9x and older NT
    // refuse its size, and 9x keeps major and minor in the build's high word.
    struct Case {
        const char *system;
        DWORD platformId, major, minor, build;
        const char16_t *servicePack;
        bool extended;
        DWORD reportedBuild;
    };
    const Case cases[] = {
        {"Windows 98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222, u" A ", false, 0x040A08AE},
        {"Windows Me", VER_PLATFORM_WIN32_WINDOWS, 4, 90, 3000, u"", false, 0x045A0BB8},
        {"NT 4.0 SP5", VER_PLATFORM_WIN32_NT, 4, 0, 1381, u"Service Pack 5", false, 1381},
        {"NT 4.0 SP6a", VER_PLATFORM_WIN32_NT, 4, 0, 1381, u"Service Pack 6a", true, 1381},
        {"XP", VER_PLATFORM_WIN32_NT, 5, 1, 2600, u"Service Pack 3", true, 2600},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.system);
        sim.Setup().SetVersion(c.platformId, c.major, c.minor, c.build, c.servicePack);
        OsVersionInfoEx info = RecordOfSize(kOsVersionInfoExSize);
        EXPECT_EQ(platform.GetVersionExW(info) != FALSE, c.extended);
        info = RecordOfSize(kOsVersionInfoSize);
        ASSERT_TRUE(platform.GetVersionExW(info));
        EXPECT_EQ(info.dwPlatformId, c.platformId);
        EXPECT_EQ(info.dwMinorVersion, c.minor);
        EXPECT_EQ(info.dwBuildNumber, c.reportedBuild);
    }
}

TEST_F(SystemContract, FaultsFireOnTheChosenCallOnly) {
    // A rule with nth fails only that call of the operation, counted from
    // when the rule was added; nth 0 fails every call until cleared; a rule
    // with a limited count stops after it.
    OsVersionInfoEx info = RecordOfSize(kOsVersionInfoExSize);
    ASSERT_TRUE(platform.GetVersionExW(info));
    sim.Setup().Fail(Op::GetVersionExW, ERROR_GEN_FAILURE, 1);
    EXPECT_FALSE(platform.GetVersionExW(info));
    EXPECT_EQ(platform.GetLastError(), ERROR_GEN_FAILURE);
    info = RecordOfSize(kOsVersionInfoSize);
    EXPECT_TRUE(platform.GetVersionExW(info));

    sim.Setup().Fail(Op::MessageBoxW, ERROR_INVALID_WINDOW_HANDLE, 2);
    EXPECT_EQ(platform.MessageBoxW(u"a", u"", MB_OKCANCEL), IDOK);
    EXPECT_EQ(platform.MessageBoxW(u"b", u"", MB_OKCANCEL), 0);
    EXPECT_EQ(platform.MessageBoxW(u"c", u"", MB_OKCANCEL), IDOK);

    sim.Setup().Fail(Op::GetTempPathW, ERROR_GEN_FAILURE);
    char16_t buffer[64];
    for (int i = 0; i < 3; ++i) EXPECT_EQ(platform.GetTempPathW(64, buffer), 0u);
    sim.Setup().ClearFaults();
    EXPECT_NE(platform.GetTempPathW(64, buffer), 0u);

    FaultRule twice;
    twice.operation = Op::DeleteFileW;
    twice.error = ERROR_ACCESS_DENIED;
    twice.remaining = 2;
    sim.Setup().Fail(twice);
    sim.Setup().AddFile(u"C:\\x.txt", "");
    EXPECT_FALSE(platform.DeleteFileW(u"C:\\x.txt"));
    EXPECT_FALSE(platform.DeleteFileW(u"C:\\x.txt"));
    EXPECT_TRUE(platform.DeleteFileW(u"C:\\x.txt"));
    EXPECT_EQ(sim.Setup().CallCount(Op::DeleteFileW), 3u);
    EXPECT_EQ(sim.Setup().CallCount(Op::GetVersionExW), 3u);
}

TEST(PlatformOperationNames, AReportedNameLeadsBackToItsOperationAndNoOtherNameDoes) {
    // The host runner takes operations by their Win32 names.
    EXPECT_EQ(PlatformOperationNamed("RegOpenKeyExW"), Op::RegOpenKeyExW);
    EXPECT_EQ(PlatformOperationNamed("CloseServiceHandle"), Op::CloseServiceHandle);
    EXPECT_EQ(PlatformOperationName(Op::SetupCopyOEMInfW), "SetupCopyOEMInfW");
    for (const char *misspelt : {"RegOpenKeyW", "regopenkeyexw", "", "RegOpenKeyExW "}) {
        EXPECT_EQ(PlatformOperationNamed(misspelt), std::nullopt) << misspelt;
    }
}

TEST_F(SystemContract, TheMessageBoxAnswersAsSetAndRemembersWhatItShowed) {
    sim.Setup().SetMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(
        platform.MessageBoxW(u"Do You Want To Remove?", u"", MB_OKCANCEL | MB_ICONEXCLAMATION),
        IDCANCEL);
    ASSERT_EQ(sim.Setup().MessageBoxes().size(), 1u);
    EXPECT_EQ(sim.Setup().MessageBoxes()[0].text, u"Do You Want To Remove?");
    EXPECT_EQ(sim.Setup().MessageBoxes()[0].caption, u"");
    EXPECT_EQ(sim.Setup().MessageBoxes()[0].type, MB_OKCANCEL | MB_ICONEXCLAMATION);
}

TEST_F(SystemContract, SleepingMovesOnlyTheVirtualClock) {
    // Sleep advances GetTickCount by exactly its time; the count wraps as a
    // DWORD does.
    sim.Setup().SetTickCount(0xFFFFFF00u);
    platform.Sleep(1000);
    platform.Sleep(3000);
    EXPECT_EQ(platform.GetTickCount(), 0xFFFFFF00u + 4000u);
    EXPECT_EQ(sim.Setup().Sleeps(), (std::vector<DWORD>{1000, 3000}));
}

TEST_F(SystemContract, EveryKindOfHandleCountsUntilItIsReleased) {
    // Keys, files, searches, processes, device lists, machine connections
    // and service handles are counted; closing each with its own call
    // brings the count back, and the wrong close call does not.
    HKEY key = nullptr;
    platform.RegCreateKeyExW(HKeyCurrentUser(), u"Software\\H", 0, KEY_ALL_ACCESS, &key, nullptr);
    HANDLE file = platform.CreateFileW(u"C:\\h.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
    FindData found{};
    HANDLE find = platform.FindFirstFileW(u"C:\\*", &found);
    HDEVINFO list = platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_ALLCLASSES);
    HMACHINE machine = nullptr;
    platform.CM_Connect_MachineW(nullptr, &machine);
    SC_HANDLE manager = platform.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 6u);

    EXPECT_FALSE(platform.CloseHandle(find));  // a search closes with FindClose
    EXPECT_EQ(platform.RegCloseKey(static_cast<HKEY>(file)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 6u);

    EXPECT_EQ(platform.RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_TRUE(platform.CloseHandle(file));
    EXPECT_TRUE(platform.FindClose(find));
    EXPECT_TRUE(platform.SetupDiDestroyDeviceInfoList(list));
    EXPECT_EQ(platform.CM_Disconnect_Machine(machine), CR_SUCCESS);
    EXPECT_TRUE(platform.CloseServiceHandle(manager));
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 0u);
}

TEST_F(SystemContract, OpenHandlesAreCountedByKind) {
    // Two keys, a file, a device list and a service manager: each kind
    // counts its own, and closing the file changes only the file count.
    HKEY first = nullptr;
    HKEY second = nullptr;
    platform.RegCreateKeyExW(HKeyCurrentUser(), u"Software\\A", 0, KEY_ALL_ACCESS, &first, nullptr);
    platform.RegOpenKeyExW(HKeyCurrentUser(), u"Software", 0, KEY_READ, &second);
    HANDLE file = platform.CreateFileW(u"C:\\k.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
    HDEVINFO list = platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_ALLCLASSES);
    SC_HANDLE manager = platform.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    const struct {
        HandleKind kind;
        std::size_t open;
    } expected[] = {{HandleKind::Key, 2},
                    {HandleKind::File, 1},
                    {HandleKind::Find, 0},
                    {HandleKind::Process, 0},
                    {HandleKind::DeviceList, 1},
                    {HandleKind::Inf, 0},
                    {HandleKind::ServiceManager, 1},
                    {HandleKind::Service, 0},
                    {HandleKind::MachineConnection, 0}};
    for (const auto &row : expected)
        EXPECT_EQ(sim.Setup().OpenHandleCount(row.kind), row.open) << static_cast<int>(row.kind);

    ASSERT_TRUE(platform.CloseHandle(file));
    EXPECT_EQ(sim.Setup().OpenHandleCount(HandleKind::File), 0u);
    EXPECT_EQ(sim.Setup().OpenHandleCount(HandleKind::Key), 2u);
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 4u);
    platform.RegCloseKey(first);
    platform.RegCloseKey(second);
    platform.SetupDiDestroyDeviceInfoList(list);
    platform.CloseServiceHandle(manager);
}

}  // namespace
}  // namespace cvl::sim

#include "machine_image/machine_image_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/text.h"
#include "machine_image/machine_image.h"
#include "tools/machine_image_testing.h"

namespace cvl::image {
namespace {

MachineSettings ParseOrFail(std::string_view text) {
    MachineSettings settings;
    TextError error;
    EXPECT_TRUE(ParseMachineSettings(text, settings, error)) << error.line << ": " << error.message;
    return settings;
}

TEST(MachineSettings, ReadsEverySetting) {
    const auto settings = ParseOrFail(
        "# a comment\n"
        "\n"
        "  version = NT 6.1.7601 Service Pack 1  \r\n"
        "windows_dir=C:\\Windows\n"
        "temp_dir = C:\\Users\\user\\AppData\\Local\\Temp\\\n"
        "current_dir = D:\\\n"
        "program = D:\\drivers\\cvlsetup.exe\n"
        "process_id = 0x10\n"
        "message_box_answer = cancel\n"
        "tool_exit_code = C:\\Windows\\system32\\pnputil.exe 3\n"
        "tool_exit_code = C:\\Program Files\\tool.exe   0xFFFFFFFF\n");
    EXPECT_EQ(settings.platformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(settings.majorVersion, 6u);
    EXPECT_EQ(settings.minorVersion, 1u);
    EXPECT_EQ(settings.buildNumber, 7601u);
    EXPECT_EQ(settings.servicePack, u"Service Pack 1");
    EXPECT_EQ(settings.windowsDir, u"C:\\Windows");
    EXPECT_EQ(settings.tempDir, u"C:\\Users\\user\\AppData\\Local\\Temp\\");
    EXPECT_EQ(settings.currentDir, u"D:\\");
    EXPECT_EQ(settings.program, u"D:\\drivers\\cvlsetup.exe");
    EXPECT_EQ(settings.processId, 16u);
    EXPECT_EQ(settings.messageBoxAnswer, IDCANCEL);
    ASSERT_EQ(settings.toolExitCodes.size(), 2u);
    EXPECT_EQ(settings.toolExitCodes[0], (ToolExitCode{u"C:\\Windows\\system32\\pnputil.exe", 3}));
    EXPECT_EQ(settings.toolExitCodes[1],
              (ToolExitCode{u"C:\\Program Files\\tool.exe", 0xFFFFFFFFu}));
}

TEST(MachineSettings, ReadsBothVersionFamiliesAndLeavesOptionalKeysAtTheirDefaults) {
    struct Case {
        std::string_view version;
        DWORD platformId, major, minor, build;
    };
    const Case cases[] = {
        {"9x 4.10.2222", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222},
        {"9x 4.90", VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0},
        {"NT 5.1.2600", VER_PLATFORM_WIN32_NT, 5, 1, 2600},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.version));
        std::string text(test::kSmallSettings);
        text.replace(text.find("NT 6.1.7601"), 11, c.version);
        const auto settings = ParseOrFail(text);
        EXPECT_EQ(settings.platformId, c.platformId);
        EXPECT_EQ(settings.majorVersion, c.major);
        EXPECT_EQ(settings.minorVersion, c.minor);
        EXPECT_EQ(settings.buildNumber, c.build);
        EXPECT_EQ(settings.processId, 1000u);
        EXPECT_EQ(settings.messageBoxAnswer, IDOK);
        EXPECT_TRUE(settings.toolExitCodes.empty());
    }
}

struct ErrorCase {
    std::string added;  // appended to the small settings, which have 5 lines
    std::size_t line;
    std::string_view says;
};

TEST(MachineSettings, NamesTheLineOfEveryMistake) {
    const ErrorCase cases[] = {
        {"colour = blue\n", 6, "unknown key \"colour\""},
        {"# fine\nno equals sign\n", 7, "expected key = value"},
        {"version = NT 6.1\n", 6, "\"version\" is already given on line 1"},
        {"process_id = 5\nprocess_id = 6\n", 7, "already given on line 6"},
        {"process_id = 0\n", 6, "bad process_id"},
        {"process_id = 12ab\n", 6, "bad process_id"},
        {"process_id = 4294967296\n", 6, "bad process_id"},
        {"message_box_answer = yes\n", 6, "expected ok or cancel"},
        {"tool_exit_code = C:\\x.exe\n", 6, "bad tool_exit_code"},
        {"tool_exit_code = x.exe 0\n", 6, "bad tool_exit_code"},
        {"tool_exit_code = C:\\x.exe -1\n", 6, "bad tool_exit_code"},
        {"tool_exit_code = C:\\X.EXE 1\ntool_exit_code = c:\\x.exe 2\n", 7, "already given"},
        {"fault = UpdateDriverForPlugAndPlayDevices 2\n", 6, "bad fault"},
        {"fault = updatedriverforplugandplaydevicesw 2\n", 6, "bad fault"},
        {"fault = UpdateDriverForPlugAndPlayDevicesW\n", 6, "bad fault"},
        {"fault = RegOpenKeyExW 2\nfault = RegOpenKeyExW 5\n", 7, "already fails"},
    };
    for (const ErrorCase &c : cases) {
        SCOPED_TRACE(c.added);
        MachineSettings settings;
        TextError error;
        EXPECT_FALSE(
            ParseMachineSettings(std::string(test::kSmallSettings) + c.added, settings, error));
        EXPECT_EQ(error.line, c.line);
        EXPECT_NE(error.message.find(c.says), std::string::npos) << error.message;
    }
}

TEST(MachineSettings, RefusesBadValuesOfTheRequiredKeys) {
    const std::pair<std::string_view, std::string_view> replacements[] = {
        {"NT 6.1.7601", "XP"},
        {"NT 6.1.7601", "NT 6"},
        {"NT 6.1.7601", "NT 6.1.2.3"},
        {"NT 6.1.7601", "NT 6.x.1"},
        {"NT 6.1.7601", "NT 0x6.1"},
        {"C:\\Windows\n", "Windows\n"},
        {"C:\\Windows\n", "C:\\Windows\\\n"},
        {"C:\\Windows\n", "C:\\Win|dows\n"},
        {"C:\\Windows\n", "C:\\Windows\\..\\x\n"},
        {"C:\\Windows\\Temp\\", "C:\\Windows\\Temp"},
        {"C:\\setup\n", "C:setup\n"},
        {"C:\\setup\\cvlsetup.exe", "C:\\setup\\"},
    };
    for (const auto &[from, to] : replacements) {
        std::string text(test::kSmallSettings);
        const std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        SCOPED_TRACE(text);
        MachineSettings settings;
        TextError error;
        EXPECT_FALSE(ParseMachineSettings(text, settings, error));
        // The replaced line, counted from 1.
        const auto line =
            static_cast<std::size_t>(std::count(text.begin(), text.begin() + at, '\n')) + 1;
        EXPECT_EQ(error.line, line);
        EXPECT_EQ(error.message.rfind("bad ", 0), 0u) << error.message;
    }
}

TEST(MachineSettings, NamesAMissingKey) {
    for (const std::string_view key :
         {"version", "windows_dir", "temp_dir", "current_dir", "program"}) {
        std::string text(test::kSmallSettings);
        const std::size_t at = text.find(std::string(key) + " =");
        text.erase(at, text.find('\n', at) + 1 - at);
        MachineSettings settings;
        TextError error;
        EXPECT_FALSE(ParseMachineSettings(text, settings, error));
        EXPECT_EQ(error.line, 0u);
        EXPECT_EQ(error.message, "the key \"" + std::string(key) + "\" is missing");
    }
}

TEST(MachineSettings, WritesWhatReadsBackTheSame) {
    MachineSettings settings;
    settings.platformId = VER_PLATFORM_WIN32_WINDOWS;
    settings.majorVersion = 4;
    settings.minorVersion = 10;
    settings.buildNumber = 2222;
    settings.servicePack = u"A";
    settings.windowsDir = u"C:\\WINDOWS";
    settings.tempDir = u"C:\\WINDOWS\\TEMP\\";
    settings.currentDir = u"C:\\";
    settings.program = u"C:\\Drivers Disk\\SETUP.EXE";
    settings.processId = 4242;
    settings.messageBoxAnswer = IDCANCEL;
    settings.toolExitCodes = {{u"C:\\WINDOWS\\a tool.exe", 7}, {u"C:\\b.exe", 0xFFFFFFFFu}};
    settings.faults = {{sim::Op::UpdateDriverForPlugAndPlayDevicesW, 0xE000020Bu},
                       {sim::Op::RegOpenKeyExW, 0}};
    EXPECT_EQ(ParseOrFail(FormatMachineSettings(settings)), settings);
}

TEST(MachineSettings, SeedTheMachineThroughWhatItReports) {
    auto settings = ParseOrFail(
        "version = NT 5.1.2600 Service Pack 3\n"
        "windows_dir = C:\\WINNT\n"
        "temp_dir = C:\\Temp\\\n"
        "current_dir = C:\\Disk\n"
        "program = C:\\Disk\\cvlsetup.exe\n"
        "process_id = 2024\n"
        "message_box_answer = cancel\n"
        "tool_exit_code = C:\\WINNT\\system32\\pnputil.exe 5\n");
    sim::SimulatedPlatform machine;
    machine.Setup().AddFile(u"C:\\Disk\\cvlsetup.exe", "program");
    ApplyMachineSettings(settings, machine);

    const OsVersionInfoEx version = test::ReportedVersion(machine);
    EXPECT_EQ(version.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(version.dwMajorVersion, 5u);
    EXPECT_EQ(version.dwMinorVersion, 1u);
    EXPECT_EQ(version.dwBuildNumber, 2600u);
    EXPECT_EQ(TextOf(version.szCSDVersion, 128), u"Service Pack 3");

    char16_t buffer[260];
    EXPECT_EQ(TextOf(buffer, machine.GetWindowsDirectoryW(buffer, 260)), u"C:\\WINNT");
    EXPECT_EQ(TextOf(buffer, machine.GetTempPathW(260, buffer)), u"C:\\Temp\\");
    EXPECT_EQ(TextOf(buffer, machine.GetCurrentDirectoryW(260, buffer)), u"C:\\Disk");
    EXPECT_EQ(TextOf(buffer, machine.GetModuleFileNameW(buffer, 260)), u"C:\\Disk\\cvlsetup.exe");
    EXPECT_EQ(machine.GetCurrentProcessId(), 2024u);
    EXPECT_TRUE(machine.Setup().DirectoryExists(u"C:\\Temp"));
    EXPECT_TRUE(machine.Setup().DirectoryExists(u"C:\\WINNT\\system32"));
    EXPECT_EQ(machine.MessageBoxW(u"?", u"", MB_OKCANCEL), IDCANCEL);

    machine.Setup().AddFile(u"C:\\WINNT\\system32\\pnputil.exe", "tool");
    char16_t commandLine[] = u"C:\\WINNT\\system32\\pnputil.exe";
    StartupInfo startup{};
    ProcessInformation process{};
    ASSERT_TRUE(machine.CreateProcessW(nullptr, commandLine, FALSE, 0, &startup, &process));
    machine.WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    ASSERT_TRUE(machine.GetExitCodeProcess(process.hProcess, &exitCode));
    EXPECT_EQ(exitCode, 5u);
    machine.CloseHandle(process.hProcess);
    machine.CloseHandle(process.hThread);
}

// A driver update the image cannot otherwise describe (an error that no
// device or INF leads to) fails on every call.
TEST(MachineSettings, AFaultFailsEveryCallOfItsOperation) {
    auto settings = ParseOrFail(std::string(test::kSmallSettings) +
                                "fault = UpdateDriverForPlugAndPlayDevicesW 0\n");
    sim::SimulatedPlatform machine;
    machine.Setup().AddFile(u"C:\\setup\\cvlsetup.exe", "program");
    machine.Setup().AddFile(u"C:\\setup\\x.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n");
    ApplyMachineSettings(settings, machine);
    for (int call = 0; call < 2; ++call) {
        machine.SetLastError(0xDEAD);
        EXPECT_FALSE(machine.UpdateDriverForPlugAndPlayDevicesW(
            u"PCI\\VEN_1F3A", u"C:\\setup\\x.inf", INSTALLFLAG_FORCE, nullptr));
        EXPECT_EQ(machine.GetLastError(), 0u);
    }
}

}  // namespace
}  // namespace cvl::image

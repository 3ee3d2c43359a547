#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/run_installer.h"
#include "machine_image/json_text.h"
#include "machine_image/machine_image.h"
#include "machine_image/machine_image_run.h"
#include "machine_image/machine_image_runner.h"
#include "tools/host_runner_testing.h"
#include "tools/json_reader.h"
#include "tools/machine_image_testing.h"

namespace cvl::image {
namespace {

namespace fs = std::filesystem;
using test::JsonReader;
using test::JsonValue;
using test::ScratchFolder;

using test::CommandResult;
using test::RunCommand;

JsonValue ParsedOrFail(const std::string &document) {
    std::string error;
    const std::optional<JsonValue> value = JsonReader::Parse(document, error);
    EXPECT_TRUE(value.has_value()) << error << "\n" << document;
    return value.value_or(JsonValue{});
}

TEST(JsonString, EscapesWhatJsonRequiresAndKeepsOtherTextAsUtf8) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"plain", "\"plain\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"C:\\Windows", "\"C:\\\\Windows\""},
        {"a\tb\r\nc\b\f", "\"a\\tb\\r\\nc\\b\\f\""},
        {std::string_view("\x00\x01\x1f\x7f", 4), "\"\\u0000\\u0001\\u001f\\u007f\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
         "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
        // Text in a legacy code page: each stray byte becomes U+FFFD.
        {"caf\xe9", "\"caf\xef\xbf\xbd\""},
        {"\xc3", "\"\xef\xbf\xbd\""},
        {"/", "\"/\""},
    };
    for (const auto &[text, json] : cases) {
        SCOPED_TRACE(std::string(text));
        EXPECT_EQ(JsonString(text), json);
    }
    // A lone surrogate in UTF-16 (a registry name can hold one) cannot be UTF-8.
    EXPECT_EQ(JsonString(std::u16string_view(u"a\xD800z")), "\"a\xef\xbf\xbdz\"");
    EXPECT_EQ(JsonString(std::u16string_view(u"\U0001F600")), "\"\xf0\x9f\x98\x80\"");
}

TEST(JsonString, EveryCharacterReadsBackAsItWas) {
    std::string all;
    for (int c = 0; c < 0x80; ++c) all.push_back(static_cast<char>(c));
    all += "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";
    const JsonValue value = ParsedOrFail(JsonString(all));
    EXPECT_EQ(value.kind, JsonValue::Kind::kString);
    EXPECT_EQ(value.text, all);
}

// A program whose run touches every section of the report, with texts that
// need escaping.
DWORD ProgramWithAwkwardTexts(Platform &platform, std::u16string) {
    const HANDLE log = platform.CreateFileW(u"C:\\setup\\InstallLog.txt", GENERIC_WRITE, 0,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    const std::string_view lines = "Path C:\\setup \"quoted\"\r\ntab\there\x01\r\ncaf\xe9\r\n";
    DWORD written = 0;
    platform.WriteFile(log, lines.data(), static_cast<DWORD>(lines.size()), &written);
    platform.CloseHandle(log);
    platform.Sleep(1000);
    platform.MessageBoxW(u"Remove \"it\"?\n\u00e9", u"Setup", MB_OKCANCEL);
    return 3;
}

TEST(HostRunnerJson, SmallRunGivesExactlyThisDocument) {
    ScratchFolder scratch;
    const std::string image = scratch.WriteSmallImage("image").string();
    const CommandResult result =
        RunCommand({"--machine", image, "--report", "json", "/x"}, ProgramWithAwkwardTexts);
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(
        result.out,
        "{\n"
        "  \"exitCode\": 3,\n"
        "  \"installLog\": {\"path\": \"C:\\\\setup\\\\InstallLog.txt\", \"lines\": [\n"
        "    \"Path C:\\\\setup \\\"quoted\\\"\",\n"
        "    \"tab\\there\\u0001\",\n"
        "    \"caf\xef\xbf\xbd\"\n"
        "  ]},\n"
        "  \"virtualMilliseconds\": 1000,\n"
        "  \"platformCalls\": 5,\n"
        "  \"sleeps\": [\n    1000\n  ],\n"
        "  \"messageBoxes\": [\n"
        "    {\"text\": \"Remove \\\"it\\\"?\\n\xc3\xa9\", \"caption\": \"Setup\", \"type\": 1}\n"
        "  ],\n"
        "  \"processes\": [],\n"
        "  \"timeline\": [\n    \"sleep 1000\"\n  ],\n"
        "  \"changes\": [\n"
        "    \"+ file C:\\\\setup\\\\InstallLog.txt (41 bytes)\"\n"
        "  ],\n"
        "  \"savedTo\": null\n"
        "}\n");
    ParsedOrFail(result.out);
}

// The demo machine's restart action, told in JSON, says what the same run
// tells the text report, section by section.
TEST(HostRunnerJson, ReadsBackAsTheSameReportOnTheDemoMachine) {
    ScratchFolder scratch;
    const fs::path input = scratch.path() / "demo";
    fs::copy(test::kDemoImage, input, fs::copy_options::recursive);
    const fs::path saved = scratch.path() / "after";
    const sim::ProgramEntry program = [](Platform &platform, std::u16string tail) {
        return RunInstaller(platform, tail);
    };

    const CommandResult result = RunCommand(
        {"--machine", input.string(), "--save", saved.string(), "--report", "json", "--", "/rp"},
        program);
    const JsonValue document = ParsedOrFail(result.out);

    sim::SimulatedPlatform direct;
    std::string error;
    ASSERT_TRUE(LoadMachineImage(input, direct, error)) << error;
    MachineRunReport expected;
    ASSERT_TRUE(RunOnMachine(direct, u"/rp", program, expected, error)) << error;
    ASSERT_TRUE(expected.installLog.has_value());
    ASSERT_FALSE(expected.changes.empty());

    EXPECT_EQ(result.status, static_cast<int>(expected.exitCode)) << result.err;
    EXPECT_EQ(document["exitCode"].number, expected.exitCode);
    EXPECT_EQ(document["installLog"]["path"].text, ToUtf8(expected.logPath));
    EXPECT_EQ(document["installLog"]["lines"].Texts(), InstallLogLines(*expected.installLog));
    EXPECT_EQ(document["virtualMilliseconds"].number, expected.virtualMilliseconds);
    EXPECT_EQ(document["sleeps"].items.size(), expected.sleeps.size());
    EXPECT_EQ(document["timeline"].Texts(), expected.timeline);
    EXPECT_EQ(document["changes"].Texts(), expected.changes);
    EXPECT_EQ(document["savedTo"].text, saved.string());
    EXPECT_TRUE(fs::exists(saved / "registry.reg"));
    EXPECT_EQ(document["platformCalls"].number, expected.platformCalls);
    EXPECT_GT(expected.platformCalls, 0u);
    const std::vector<std::string> sections = {"exitCode",      "installLog", "virtualMilliseconds",
                                               "platformCalls", "sleeps",     "messageBoxes",
                                               "processes",     "timeline",   "changes",
                                               "savedTo"};
    std::vector<std::string> names;
    for (const auto &member : document.members) names.push_back(member.first);
    EXPECT_EQ(names, sections);
}

TEST(HostRunnerJson, StartedProcessesCarryTheirExitCodeAndAFailedSavePrintsNoDocument) {
    ScratchFolder scratch;
    const fs::path image = scratch.WriteSmallImage("image");
    const sim::ProgramEntry startsItself = [](Platform &platform, std::u16string tail) -> DWORD {
        if (tail == u"child") return 7;
        std::u16string commandLine = u"C:\\setup\\cvlsetup.exe child";
        ProcessInformation info{};
        StartupInfo startup{};
        platform.CreateProcessW(nullptr, commandLine.data(), FALSE, 0, &startup, &info);
        return 0;
    };
    const JsonValue document = ParsedOrFail(
        RunCommand({"--machine", image.string(), "--report", "json"}, startsItself).out);
    ASSERT_EQ(document["processes"].items.size(), 1u);
    const JsonValue &child = document["processes"].items[0];
    EXPECT_EQ(child["commandLine"].text, "C:\\setup\\cvlsetup.exe child");
    EXPECT_FALSE(child["running"].boolean);
    EXPECT_EQ(child["exitCode"].number, 7);

    test::WriteHostFile(scratch.path() / "notes/keep.txt", "keep");
    const CommandResult unsaved =
        RunCommand({"--machine", image.string(), "--save", (scratch.path() / "notes").string(),
                    "--report", "json"},
                   startsItself);
    EXPECT_EQ(unsaved.status, kRunnerSaveError);
    EXPECT_EQ(unsaved.out, "");
}

}  // namespace
}  // namespace cvl::image

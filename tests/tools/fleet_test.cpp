#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "host_runner/runner_command_line.h"
#include "machine_image/fleet_machine.h"
#include "machine_image/fleet_run.h"
#include "machine_image/html_text.h"
#include "tools/host_runner_testing.h"
#include "tools/json_reader.h"
#include "tools/machine_image_testing.h"

namespace cvl::image {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;
using test::Contains;
using test::JsonReader;
using test::JsonValue;
using test::RunCommand;
using test::ScratchFolder;

// A capture whose stand-in program ends with the code its registry names
// ("Exit" under HKLM\SOFTWARE\Small) and writes `logLine` to its log.
fs::path WriteCapture(const ScratchFolder &scratch, const fs::path &name, std::string_view exitCode,
                      std::string_view logLine = "done") {
    scratch.Write(name / "registry.reg",
                  "Windows Registry Editor Version 5.00\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Small]\r\n\"Exit\"=\"" +
                      std::string(exitCode) + "\"\r\n\"Log\"=\"" + std::string(logLine) +
                      "\"\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n");
    scratch.Write(name / "machine.txt", test::kSmallSettings);
    scratch.Write(name / "drive_c" / "setup" / "cvlsetup.exe", test::kSmallProgram);
    return scratch.path() / name;
}

std::u16string RegText(Platform &platform, HKEY key, const char16_t *name) {
    char16_t text[128] = {};
    DWORD size = sizeof text - sizeof(char16_t);
    DWORD type = 0;
    if (platform.RegQueryValueExW(key, name, &type, reinterpret_cast<BYTE *>(text), &size) !=
        ERROR_SUCCESS)
        return {};
    return std::u16string(TextOf(text, std::size(text)));
}

// Writes its log, leaves a mark in the registry and ends with the code the
// capture names.
DWORD StandInProgram(Platform &platform, std::u16string) {
    HKEY key = nullptr;
    platform.RegOpenKeyExW(HKeyLocalMachine(), u"SOFTWARE\\Small", 0, KEY_READ | KEY_WRITE, &key);
    const std::string exitText = ToUtf8(RegText(platform, key, u"Exit"));
    const std::string line = ToUtf8(RegText(platform, key, u"Log")) + "\r\n";
    const DWORD ran = 1;
    platform.RegSetValueExW(key, u"Ran", REG_DWORD, reinterpret_cast<const BYTE *>(&ran),
                            sizeof ran);
    platform.RegCloseKey(key);
    const HANDLE log = platform.CreateFileW(u"C:\\setup\\InstallLog.txt", GENERIC_WRITE, 0,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    DWORD written = 0;
    platform.WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written);
    platform.CloseHandle(log);
    return static_cast<DWORD>(std::stoul(exitText.empty() ? "0" : exitText));
}

struct FleetResult {
    int status;
    std::string out;
    std::string err;
    std::string html;
};

FleetResult RunFleetWith(const fs::path &folder, std::size_t workers, bool json,
                         const std::optional<fs::path> &html = std::nullopt) {
    FleetOptions options;
    options.folder = folder;
    options.command.commandTail = u"/i /b701";
    options.commandLine = "/i /b701";
    options.json = json;
    options.htmlReport = html;
    options.workers = workers;
    std::ostringstream out, err;
    const int status = RunFleet(options, StandInProgram, out, err);
    return {status, out.str(), err.str(), html ? test::ReadHostFile(*html) : std::string()};
}

JsonValue Parsed(const std::string &document) {
    std::string error;
    const std::optional<JsonValue> value = JsonReader::Parse(document, error);
    EXPECT_TRUE(value.has_value()) << error << "\n" << document;
    return value.value_or(JsonValue{});
}

bool SameJson(const JsonValue &a, const JsonValue &b) {
    if (a.kind != b.kind || a.boolean != b.boolean || a.number != b.number || a.text != b.text ||
        a.items.size() != b.items.size() || a.members.size() != b.members.size())
        return false;
    for (std::size_t i = 0; i < a.items.size(); ++i)
        if (!SameJson(a.items[i], b.items[i])) return false;
    for (std::size_t i = 0; i < a.members.size(); ++i)
        if (a.members[i].first != b.members[i].first ||
            !SameJson(a.members[i].second, b.members[i].second))
            return false;
    return true;
}

TEST(FleetCounts, EachDeviceCountsOnceAndChangesCountByKind) {
    MachineRunReport report;
    report.timeline = {"reenumerate",
                       "update PCI\\VEN_1&DEV_2\\3 C:\\setup\\drivers\\x.inf",
                       "disable PCI\\VEN_1&DEV_2\\3",
                       "sleep 3000",
                       "update PCI\\VEN_1&DEV_2\\3 C:\\setup\\drivers\\x.inf",
                       "update USB\\VID_1&PID_2\\4 C:\\setup\\drivers\\x.inf",
                       "enable PCI\\VEN_1&DEV_2\\3",
                       "stop USB\\VID_1&PID_2\\4",
                       "start ACPI\\X\\5",
                       "remove USB\\VID_1&PID_2\\4",
                       "remove USB\\VID_1&PID_2\\4",
                       "removed nothing",
                       "update"};
    report.changes = {"~ device PCI\\VEN_1&DEV_2\\3: started -> disabled",
                      "+ key HKLM\\SOFTWARE\\A",
                      "+ value HKLM\\SOFTWARE\\A\\B: REG_SZ \"+ file\"",
                      "~ value HKLM\\SOFTWARE\\A\\C: REG_SZ \"1\" -> \"2\"",
                      "- value HKLM\\SOFTWARE\\A\\D: REG_SZ \"\"",
                      "- key HKLM\\SOFTWARE\\E",
                      "+ file C:\\setup\\InstallLog.txt (10 bytes)",
                      "~ file C:\\Windows\\INF\\oem3.inf: contents changed (1 -> 2 bytes)",
                      "- file C:\\Windows\\INF\\oem3.PNF"};
    const FleetRunCounts counts = CountRunChanges(report);
    EXPECT_EQ(counts.adaptersUpdated, 2u);
    EXPECT_EQ(counts.adaptersSwitched, 3u);
    EXPECT_EQ(counts.adaptersRemoved, 1u);
    EXPECT_EQ(counts.registryChanges, 5u);
    EXPECT_EQ(counts.fileChanges, 3u);
}

TEST(HtmlText, EscapesMarkupAndKeepsTextValid) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"plain caf\xc3\xa9", "plain caf\xc3\xa9"},
        {"<script>alert('x')</script>", "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
        {"a & b \"c\"", "a &amp; b &quot;c&quot;"},
        {"&amp;", "&amp;amp;"},
        {"tab\there\nline", "tab\there\nline"},
        {std::string_view("nul\0bell\a\r", 10),
         "nul\xef\xbf\xbd"
         "bell\xef\xbf\xbd\xef\xbf\xbd"},
        {"caf\xe9 \xc3", "caf\xef\xbf\xbd \xef\xbf\xbd"},
        {"\xc2\x85next", "\xef\xbf\xbdnext"},
    };
    for (const auto &[text, html] : cases) {
        SCOPED_TRACE(std::string(text));
        EXPECT_EQ(HtmlText(text), html);
    }
}

TEST(Fleet, RowsComeInNameOrderAndAreTheSameWhateverTheWorkers) {
    ScratchFolder scratch;
    const fs::path fleet = scratch.path() / "fleet";
    // Made out of order, with exit codes that differ, so a row in the wrong
    // place shows.
    for (const auto &[name, code] : std::vector<std::pair<std::string, std::string>>{
             {"pc-09", "0"}, {"pc-01", "12"}, {"pc-10", "13"}, {"pc-05", "0"}, {"pc-02", "8"}})
        WriteCapture(scratch, fs::path("fleet") / name, code);
    scratch.Write("fleet/not-a-folder.txt", "left alone");

    const FleetResult one = RunFleetWith(fleet, 1, false, scratch.path() / "one.html");
    ASSERT_EQ(one.status, kFleetSomeRunFailed) << one.err;
    std::vector<std::string> names;
    std::istringstream lines(one.out);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("pc-")) names.push_back(line.substr(0, 5));
    EXPECT_EQ(names, (std::vector<std::string>{"pc-01", "pc-02", "pc-05", "pc-09", "pc-10"}));
    EXPECT_TRUE(Contains(one.out, "pc-10  exit 13 (driver update failed): updated 0")) << one.out;

    for (const std::size_t workers : {2u, 3u, 8u}) {
        SCOPED_TRACE(workers);
        const FleetResult many = RunFleetWith(fleet, workers, false, scratch.path() / "many.html");
        EXPECT_EQ(many.status, one.status);
        EXPECT_EQ(many.out, one.out);
        EXPECT_EQ(many.html, one.html);
        EXPECT_EQ(RunFleetWith(fleet, workers, true).out, RunFleetWith(fleet, 1, true).out);
    }
    EXPECT_FALSE(fs::exists(scratch.path() / "one.html.partial"));
    EXPECT_FALSE(fs::exists(scratch.path() / "one.html.partial-rows"));
}

TEST(Fleet, NamesLineUpWhateverCharactersTheyHold) {
    ScratchFolder scratch;
    for (const std::string name : {"zz", "caf\xc3\xa9", "a\tb"})
        WriteCapture(scratch, fs::path("fleet") / name, "0");
    const FleetResult result = RunFleetWith(scratch.path() / "fleet", 2, false);
    for (const std::string_view line :
         {"\n\na\\x09b  exit 0 (", "\ncaf\xc3\xa9    exit 0 (", "\nzz      exit 0 ("})
        EXPECT_TRUE(Contains(result.out, line)) << line << "\n" << result.out;
}

TEST(Fleet, ACaptureThatCannotBeLoadedIsARowAndTheRunGoesOn) {
    ScratchFolder scratch;
    WriteCapture(scratch, "fleet/a-good", "0");
    fs::create_directories(scratch.path() / "fleet" / "b-empty");
    WriteCapture(scratch, "fleet/c-bad-settings", "0");
    scratch.Write("fleet/c-bad-settings/machine.txt", "version = NT 6.1\nwindows_dir = ");
    WriteCapture(scratch, "fleet/d-good", "12");

    const FleetResult text = RunFleetWith(scratch.path() / "fleet", 2, false);
    EXPECT_EQ(text.status, kFleetSomeCaptureUnread);
    EXPECT_TRUE(Contains(text.out, "b-empty         capture not loaded: ")) << text.out;
    EXPECT_TRUE(Contains(text.out, "registry.reg: is missing or cannot be read")) << text.out;
    EXPECT_TRUE(Contains(text.out, "c-bad-settings  capture not loaded: ")) << text.out;
    EXPECT_TRUE(Contains(text.out, "d-good          exit 12 (driver already current)")) << text.out;
    EXPECT_TRUE(
        text.out.ends_with("\nTotals:\n"
                           "  0 the action finished: 1\n"
                           "  12 driver already current: 1\n"
                           "  capture not loaded: 2\n"))
        << text.out;
}

TEST(Fleet, ExitStatusSaysWhetherTheRolloutWouldSucceedEverywhere) {
    const struct {
        std::vector<std::string> codes;  // "" for a folder that is no capture
        int status;
    } cases[] = {
        {{"0", "12", "0"}, kFleetAllSucceeded}, {{"0", "8"}, kFleetSomeRunFailed},
        {{"13", "0"}, kFleetSomeRunFailed},     {{"13", "", "0"}, kFleetSomeCaptureUnread},
        {{""}, kFleetSomeCaptureUnread},
    };
    for (const auto &c : cases) {
        ScratchFolder scratch;
        for (std::size_t i = 0; i < c.codes.size(); ++i) {
            const fs::path name = fs::path("fleet") / ("m" + std::to_string(i));
            if (c.codes[i].empty())
                fs::create_directories(scratch.path() / name);
            else
                WriteCapture(scratch, name, c.codes[i]);
        }
        EXPECT_EQ(RunFleetWith(scratch.path() / "fleet", 2, false).status, c.status);
    }
    ScratchFolder scratch;
    fs::create_directories(scratch.path() / "empty");
    const FleetResult empty = RunFleetWith(scratch.path() / "empty", 2, false);
    EXPECT_EQ(empty.status, kFleetNoCaptures);
    EXPECT_TRUE(Contains(empty.err, "holds no capture folder")) << empty.err;
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(RunFleetWith(scratch.path() / "missing", 2, false).status, kFleetNoCaptures);

    WriteCapture(scratch, "fleet/m0", "0");
    const FleetResult unwritten =
        RunFleetWith(scratch.path() / "fleet", 1, false, scratch.path() / "no" / "page.html");
    EXPECT_EQ(unwritten.status, kFleetReportNotWritten);

    // Rows that do not reach the disk (here a full one) leave no page.
    fs::create_symlink("/dev/full", scratch.path() / "full.html.partial-rows");
    const FleetResult full =
        RunFleetWith(scratch.path() / "fleet", 1, false, scratch.path() / "full.html");
    EXPECT_EQ(full.status, kFleetReportNotWritten);
    EXPECT_TRUE(Contains(full.err, "cannot write")) << full.err;
    EXPECT_FALSE(fs::exists(scratch.path() / "full.html"));
}

TEST(Fleet, TextFromCapturesIsEscapedInThePage) {
    ScratchFolder scratch;
    const std::string hostile = "<img src=x onerror=alert(1)>&\\\"'";
    WriteCapture(scratch, fs::path("fleet") / "<b>pc&1<i>", "0", "</pre><script>x()</script>");
    WriteCapture(scratch, fs::path("fleet") / "pc-2", "0", hostile);
    const FleetResult result =
        RunFleetWith(scratch.path() / "fleet", 2, false, scratch.path() / "page.html");
    ASSERT_EQ(result.status, kFleetAllSucceeded) << result.err;
    const std::string &page = result.html;
    EXPECT_FALSE(Contains(page, "<script")) << page;
    EXPECT_FALSE(Contains(page, "<img")) << page;
    EXPECT_FALSE(Contains(page, "<b>pc")) << page;
    EXPECT_TRUE(Contains(page, "&lt;b&gt;pc&amp;1&lt;i&gt;")) << page;
    EXPECT_TRUE(Contains(page, "&lt;/pre&gt;&lt;script&gt;x()&lt;/script&gt;")) << page;
    // Only the page's own markup is left: one <pre> a machine, none opened
    // by a capture.
    std::size_t opened = 0;
    for (std::size_t at = page.find("<pre"); at != std::string::npos;
         at = page.find("<pre", at + 1))
        ++opened;
    EXPECT_EQ(opened, 2u);
    EXPECT_TRUE(page.find("id=\"totals\"") < page.find("<details class=\"machine"))
        << "totals first";
}

TEST(Fleet, JsonHoldsEachMachinesOwnReportAndTheTotals) {
    ScratchFolder scratch;
    const fs::path fleet = scratch.path() / "fleet";
    fs::create_directories(fleet);
    fs::copy(test::kDemoImage, fleet / "demo", fs::copy_options::recursive);
    fs::create_directories(fleet / "empty");
    const std::vector<std::string> switches = {"/i", "/vistab701", "/f",
                                               "drivers\\win7-2017\\netcvl.inf"};

    std::vector<std::string> fleetCommand = {"--fleet", fleet.string(), "--report", "json", "--"};
    fleetCommand.insert(fleetCommand.end(), switches.begin(), switches.end());
    const CommandResult fleetRun = RunCommand(fleetCommand);
    EXPECT_EQ(fleetRun.status, kFleetSomeCaptureUnread) << fleetRun.err;
    const JsonValue document = Parsed(fleetRun.out);

    std::vector<std::string> single = {"--machine", (fleet / "demo").string(), "--report", "json",
                                       "--"};
    single.insert(single.end(), switches.begin(), switches.end());
    const CommandResult singleRun = RunCommand(single);
    const JsonValue alone = Parsed(singleRun.out);

    EXPECT_EQ(document["fleet"].text, fleet.string());
    EXPECT_EQ(document["commandLine"].text, "/i /vistab701 /f drivers\\win7-2017\\netcvl.inf");
    EXPECT_EQ(document["machineCount"].number, 2);
    const JsonValue &machines = document["machines"];
    ASSERT_EQ(machines.items.size(), 2u);
    const JsonValue &demo = machines.items[0];
    EXPECT_EQ(demo["name"].text, "demo");
    EXPECT_EQ(demo["exitCode"].number, singleRun.status);
    EXPECT_EQ(demo["outcome"].text, "0 the action finished");
    EXPECT_EQ(demo["meaning"].text, "the action finished");
    EXPECT_EQ(demo["error"].kind, JsonValue::Kind::kNull);
    EXPECT_EQ(demo["adaptersUpdated"].number, 1);
    EXPECT_EQ(demo["adaptersSwitched"].number, 1);
    EXPECT_EQ(demo["adaptersRemoved"].number, 0);
    EXPECT_GT(demo["registryChanges"].number, 0);
    EXPECT_TRUE(SameJson(demo["report"], alone)) << fleetRun.out << "\n" << singleRun.out;

    const JsonValue &empty = machines.items[1];
    EXPECT_EQ(empty["name"].text, "empty");
    EXPECT_EQ(empty["exitCode"].kind, JsonValue::Kind::kNull);
    EXPECT_EQ(empty["report"].kind, JsonValue::Kind::kNull);
    EXPECT_TRUE(Contains(empty["error"].text, "registry.reg")) << empty["error"].text;

    const JsonValue &totals = document["totals"];
    ASSERT_EQ(totals.items.size(), 2u);
    EXPECT_EQ(totals.items[0]["outcome"].text, "0 the action finished");
    EXPECT_EQ(totals.items[0]["exitCode"].number, 0);
    EXPECT_EQ(totals.items[0]["machines"].number, 1);
    EXPECT_EQ(totals.items[1]["outcome"].text, "capture not loaded");
    EXPECT_EQ(totals.items[1]["exitCode"].kind, JsonValue::Kind::kNull);
    EXPECT_EQ(totals.items[1]["machines"].number, 1);
}

TEST(Fleet, RunnerRefusesOptionsThatDoNotFitAFleet) {
    const std::pair<std::vector<std::string>, std::string_view> cases[] = {
        {{"--fleet"}, "--fleet needs a folder"},
        {{"--fleet", "f", "--machine", "m", "/i"}, "cannot be given together"},
        {{"--fleet", "f", "--save", "s", "/i"}, "cannot be given with --fleet"},
        {{"--machine", "m", "--report", "html", "p.html"}, "needs --fleet"},
        {{"--fleet", "f", "--report", "html"}, "--report html needs a file"},
        {{"--fleet", "f", "--report", "html", "a", "--report", "html", "b"}, "given twice"},
    };
    for (const auto &[arguments, says] : cases) {
        SCOPED_TRACE(std::string(says));
        const CommandResult result = RunCommand(arguments);
        EXPECT_EQ(result.status, runner::kRunnerUsageError);
        EXPECT_TRUE(Contains(result.err, says)) << result.err;
    }
    RunnerArguments parsed;
    std::string error;
    ASSERT_TRUE(runner::ParseRunnerArguments(
        {"--fleet", "f", "--report", "json", "--report", "html", "p.html", "/i"}, parsed, error))
        << error;
    EXPECT_EQ(parsed.fleet.value_or(""), "f");
    EXPECT_EQ(parsed.htmlReport.value_or(""), "p.html");
    EXPECT_EQ(parsed.report, ReportFormat::kJson);
}

}  // namespace
}  // namespace cvl::image

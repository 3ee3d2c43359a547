#include "capture/machine_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "app/run_installer.h"
#include "capture/capture_folder.h"
#include "capture/capture_testing.h"
#include "common/text.h"
#include "machine_image/machine_image.h"
#include "machine_image/machine_image_run.h"
#include "platform/sim/setup/device_key_paths.h"
#include "tools/machine_image_testing.h"

namespace cvl::capture {
namespace {

namespace fs = std::filesystem;
using sim::SimulatedPlatform;
using test::LoadDemo;
using test::ScratchFolder;
using test::SimulatedFiles;

// Captures `machine` into `folder` as the capture program does.
CapturedMachine CaptureInto(SimulatedPlatform &machine, const fs::path &folder,
                            CaptureOptions options = {}) {
    SimulatedFiles files(machine);
    CapturedMachine captured;
    std::string error;
    EXPECT_TRUE(CaptureMachine(machine, files, options, captured, error)) << error;
    EXPECT_TRUE(WriteCapturedImage(captured, folder, error)) << error;
    return captured;
}

const sim::ProgramEntry kProgram = [](Platform &platform, std::u16string tail) {
    return RunInstaller(platform, tail);
};

image::MachineRunReport Replay(SimulatedPlatform &machine, std::u16string_view commandLine) {
    image::MachineRunReport report;
    std::string error;
    EXPECT_TRUE(image::RunOnMachine(machine, commandLine, kProgram, report, error)) << error;
    return report;
}

TEST(MachineCapture, ReadsTheMachineAndChangesNothing) {
    SimulatedPlatform machine;
    LoadDemo(machine);
    const image::MachineSnapshot before = test::SnapshotOf(machine);
    ScratchFolder scratch;
    CaptureInto(machine, scratch.path() / "image");
    EXPECT_TRUE(image::SameSnapshot(before, test::SnapshotOf(machine)))
        << testing::PrintToString(image::DiffSnapshots(before, test::SnapshotOf(machine)));
}

// The capture holds everything a run reads: the same command line on the
// machine and on its capture ends alike, logs alike and changes alike.
TEST(MachineCapture, ACommandLineRunsOnTheCaptureAsOnTheMachine) {
    const std::u16string commandLines[] = {u"/rp",
                                           u"/dnicdrv /vistab701",
                                           u"/i /vistab701 /f drivers\\win7\\netcvl.inf",
                                           u"/denicdrv /vistab762",
                                           u"/chknicexist /vistab701",
                                           u"/q /vistab701 /f drivers\\win7\\netcvl.inf",
                                           u"/u /vistab701",
                                           u"/u /vistab762"};
    for (const std::u16string &commandLine : commandLines) {
        SCOPED_TRACE(ToUtf8(commandLine));
        SimulatedPlatform original;
        LoadDemo(original);
        // The maker's DLLs, which the uninstall deletes.
        for (const char16_t *dll : {u"CVNUninst64.dll", u"CvNicProp64.dll"})
            original.Setup().AddFile(u"C:\\Windows\\system32\\" + std::u16string(dll), "dll");
        ScratchFolder scratch;
        const fs::path image = scratch.path() / "image";
        CaptureInto(original, image, {.withProgramFolder = true});

        SimulatedPlatform replayed;
        std::string error;
        ASSERT_TRUE(image::LoadMachineImage(image, replayed, error)) << error;
        const image::MachineRunReport expected = Replay(original, commandLine);
        const image::MachineRunReport actual = Replay(replayed, commandLine);
        EXPECT_FALSE(expected.changes.empty());
        EXPECT_EQ(actual.exitCode, expected.exitCode);
        if (commandLine == u"/rp") {
            // The capture holds no system programs: the replay cannot start
            // pnputil.exe, which ended with 0 on the machine, and its log
            // says so. The rest of the run is alike.
            EXPECT_EQ(expected.installLog, "Exit code: = 0\r\n");
            EXPECT_EQ(actual.installLog,
                      "Could not execute the application....\r\nExit code: = 0\r\n");
            EXPECT_EQ(actual.timeline, expected.timeline);
            continue;
        }
        EXPECT_EQ(actual.installLog, expected.installLog);
        EXPECT_EQ(actual.timeline, expected.timeline);
        EXPECT_EQ(actual.changes, expected.changes);
    }
}

TEST(MachineCapture, KeepsDeviceStatesServicesAndPublishedInfs) {
    SimulatedPlatform machine;
    LoadDemo(machine);
    ScratchFolder scratch;
    const fs::path image = scratch.path() / "image";
    const CapturedMachine captured = CaptureInto(machine, image);
    EXPECT_TRUE(captured.problems.empty());

    SimulatedPlatform loaded;
    std::string error;
    ASSERT_TRUE(image::LoadMachineImage(image, loaded, error)) << error;
    const image::MachineSnapshot original = test::SnapshotOf(machine);
    const image::MachineSnapshot copy = test::SnapshotOf(loaded);
    ASSERT_FALSE(original.devices.empty());
    for (const auto &[id, device] : original.devices) {
        SCOPED_TRACE(ToUtf8(device.instanceId));
        ASSERT_TRUE(copy.devices.contains(id));
        EXPECT_EQ(copy.devices.at(id).state.present, device.state.present);
        EXPECT_EQ(copy.devices.at(id).state.started, device.state.started);
        EXPECT_EQ(copy.devices.at(id).state.disabled, device.state.disabled);
    }
    std::size_t infs = 0;
    for (const auto &[folded, file] : original.files) {
        if (!folded.starts_with(u"c:\\windows\\inf\\oem")) continue;
        ++infs;
        SCOPED_TRACE(ToUtf8(file.path));
        ASSERT_TRUE(copy.files.contains(folded));
        EXPECT_EQ(copy.files.at(folded).contents, file.contents);
    }
    EXPECT_GT(infs, 0u);
    for (const std::u16string service : {u"cvle62x64", u"cvlu62x64"}) {
        const std::u16string key = u"hklm\\system\\currentcontrolset\\services\\" + service;
        ASSERT_TRUE(copy.keys.contains(key)) << ToUtf8(key);
        EXPECT_EQ(copy.keys.at(key).values.size(), original.keys.at(key).values.size());
    }
}

// The lines of `lines` that `other` lacks.
std::vector<std::string> Missing(const std::vector<std::string> &lines,
                                 const std::vector<std::string> &other) {
    std::vector<std::string> missing;
    for (const std::string &line : lines)
        if (std::find(other.begin(), other.end(), line) == other.end()) missing.push_back(line);
    return missing;
}

// A first install: the adapters are found but have no driver yet, so their
// keys hold no Class value, and perhaps no ClassGUID. The capture keeps
// them present, and a replayed install finds and updates them as the
// install on the machine does.
TEST(MachineCapture, AdaptersWithoutADriverYetAreCapturedAndUpdatedByAReplayedInstall) {
    struct Bare {
        const char16_t *instanceId;
        std::optional<std::u16string> classGuid;
        std::optional<std::u16string> className;
    };
    const Bare adapters[] = {
        {u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00011043&REV_06\\4&2A1F3A70&0&00E8",
         sim::kNetClassGuidText, std::nullopt},
        {u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00011043&REV_06\\4&2A1F3A70&0&00EC", std::nullopt,
         std::nullopt},
        // A Class value no row can spell is left to the registry file.
        {u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00011043&REV_06\\4&2A1F3A70&0&00F0",
         sim::kNetClassGuidText, u"Two words"},
    };
    const std::u16string commandLine = u"/i /vistab701 /f drivers\\win7\\netcvl.inf";
    SimulatedPlatform original;
    LoadDemo(original);
    for (const Bare &bare : adapters) {
        sim::DeviceSpec spec;
        spec.instanceId = bare.instanceId;
        spec.hardwareIds = {u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00011043&REV_06",
                            u"PCI\\VEN_1F3A&DEV_B702&CC_0200"};
        spec.classGuid = bare.classGuid;
        spec.className = bare.className;
        spec.started = false;
        spec.withDriverKey = false;
        original.Setup().AddDevice(spec);
    }
    ScratchFolder scratch;
    const fs::path image = scratch.path() / "image";
    const CapturedMachine captured = CaptureInto(original, image, {.withProgramFolder = true});
    for (const CaptureProblem &problem : captured.problems)
        ADD_FAILURE() << problem.item << ": " << problem.problem;

    SimulatedPlatform replayed;
    std::string error;
    ASSERT_TRUE(image::LoadMachineImage(image, replayed, error)) << error;
    for (const Bare &bare : adapters) {
        SCOPED_TRACE(ToUtf8(bare.instanceId));
        const auto state = replayed.Setup().DeviceState(bare.instanceId);
        ASSERT_TRUE(state && state->present);
        const std::u16string key = sim::EnumKeyPath(bare.instanceId);
        EXPECT_EQ(replayed.Setup().GetRegString(key, u"Class"), bare.className);
        EXPECT_EQ(replayed.Setup().GetRegString(key, u"ClassGUID"), bare.classGuid);
    }
    const image::MachineRunReport expected = Replay(original, commandLine);
    const image::MachineRunReport actual = Replay(replayed, commandLine);
    EXPECT_EQ(actual.exitCode, expected.exitCode);
    EXPECT_EQ(actual.installLog, expected.installLog);
    EXPECT_EQ(actual.timeline, expected.timeline);
    // The capture does not take the drivers folder: the replay copies in the
    // driver file that the machine already had.
    std::vector<std::string> replayedChanges;
    for (const std::string &line : actual.changes)
        if (!line.starts_with("+ file C:\\Windows\\system32\\drivers\\"))
            replayedChanges.push_back(line);
    EXPECT_EQ(replayedChanges, expected.changes)
        << testing::PrintToString(Missing(expected.changes, replayedChanges))
        << testing::PrintToString(Missing(replayedChanges, expected.changes));
    for (const Bare &bare : adapters) {
        SCOPED_TRACE(ToUtf8(bare.instanceId));
        const std::string update = "update " + ToUtf8(bare.instanceId);
        EXPECT_TRUE(std::any_of(actual.timeline.begin(), actual.timeline.end(),
                                [&](const std::string &line) { return line.starts_with(update); }));
        const std::u16string key = sim::EnumKeyPath(bare.instanceId);
        EXPECT_EQ(replayed.Setup().GetRegString(key, u"Class"), u"Net");
        EXPECT_TRUE(replayed.Setup().GetRegString(key, u"Driver"));
    }
}

TEST(MachineCapture, AKeyThatCannotBeReadIsNamedAndTheRestIsCaptured) {
    SimulatedPlatform machine;
    LoadDemo(machine);
    machine.Setup().Fail(sim::Op::RegEnumValueW, ERROR_ACCESS_DENIED, 3);
    ScratchFolder scratch;
    const CapturedMachine captured = CaptureInto(machine, scratch.path() / "image");
    ASSERT_EQ(captured.problems.size(), 1u);
    EXPECT_NE(captured.problems[0].problem.find("error 5"), std::string::npos);
    EXPECT_TRUE(fs::exists(scratch.path() / "image/machine.txt"));
}

// The settings a capture reads are those the machine was made with, on both
// Windows lines (Windows 9x reports its build in the low word only).
TEST(MachineCapture, ReadsTheVersionAndFoldersAsTheMachineReportsThem) {
    const std::string_view versions[] = {"NT 6.1.7601 Service Pack 1", "NT 5.1.2600",
                                         "9x 4.10.2222 A", "9x 4.90.3000"};
    for (const std::string_view version : versions) {
        SCOPED_TRACE(std::string(version));
        ScratchFolder scratch;
        const fs::path image = scratch.WriteSmallImage("image");
        test::WriteHostFile(image / "machine.txt",
                            "version = " + std::string(version) +
                                "\nwindows_dir = C:\\WIN\ntemp_dir = C:\\WIN\\TEMP\\\n"
                                "current_dir = C:\\setup\nprogram = C:\\setup\\cvlsetup.exe\n");
        SimulatedPlatform machine;
        image::MachineSettings settings;
        std::string error;
        ASSERT_TRUE(image::LoadMachineImage(image, machine, settings, error)) << error;

        const CapturedMachine captured = CaptureInto(machine, scratch.path() / "capture");
        EXPECT_EQ(captured.settings.platformId, settings.platformId);
        EXPECT_EQ(captured.settings.majorVersion, settings.majorVersion);
        EXPECT_EQ(captured.settings.minorVersion, settings.minorVersion);
        EXPECT_EQ(captured.settings.buildNumber, settings.buildNumber);
        EXPECT_EQ(captured.settings.servicePack, settings.servicePack);
        EXPECT_EQ(captured.settings.windowsDir, u"C:\\WIN");
        EXPECT_EQ(captured.settings.tempDir, u"C:\\WIN\\TEMP\\");
        EXPECT_EQ(captured.settings.currentDir, u"C:\\setup");
        EXPECT_EQ(captured.settings.program, u"C:\\setup\\cvlsetup.exe");

        image::MachineSettings reloaded;
        SimulatedPlatform copy;
        ASSERT_TRUE(image::LoadMachineImage(scratch.path() / "capture", copy, reloaded, error))
            << error;
        EXPECT_EQ(reloaded.buildNumber, settings.buildNumber);
    }
}

TEST(CaptureFolder, RefusesAFolderThatHoldsSomethingOrIsAFile) {
    ScratchFolder scratch;
    test::WriteHostFile(scratch.path() / "used/notes.txt", "keep");
    test::WriteHostFile(scratch.path() / "file", "x");
    fs::create_directories(scratch.path() / "empty");
    struct Case {
        fs::path folder;
        bool accepted;
        std::string_view says;
    };
    const Case cases[] = {
        {scratch.path() / "new", true, ""},
        {scratch.path() / "empty", true, ""},
        {scratch.path() / "used", false, "is not empty"},
        {scratch.path() / "file", false, "is not a folder"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.folder.string());
        std::string error;
        EXPECT_EQ(CheckCaptureFolder(c.folder, error), c.accepted);
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
    EXPECT_EQ(test::ReadHostFile(scratch.path() / "used/notes.txt"), "keep");
}

// A write that fails half-way leaves no machine.txt, so the loader refuses
// the folder instead of taking it for a whole machine.
TEST(CaptureFolder, AnImageCutShortIsNeverLoaded) {
    SimulatedPlatform machine;
    LoadDemo(machine);
    SimulatedFiles files(machine);
    CapturedMachine captured;
    std::string error;
    ASSERT_TRUE(CaptureMachine(machine, files, {}, captured, error)) << error;
    captured.files.push_back({u"C:\\Windows\\..\\escape.txt", "x", false});

    ScratchFolder scratch;
    const fs::path image = scratch.path() / "image";
    EXPECT_FALSE(WriteCapturedImage(captured, image, error));
    EXPECT_NE(error.find("escape.txt"), std::string::npos) << error;
    EXPECT_TRUE(fs::exists(image / "registry.reg"));
    EXPECT_FALSE(fs::exists(image / "machine.txt"));
    SimulatedPlatform loaded;
    EXPECT_FALSE(image::LoadMachineImage(image, loaded, error));
}

}  // namespace
}  // namespace cvl::capture

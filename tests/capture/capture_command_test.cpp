// The capture program as a whole: its command line, its exit codes, and the
// items it leaves out without giving up the rest.
#include "capture/capture_command.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "capture/capture_testing.h"
#include "common/text.h"

namespace cvl::capture {
namespace {

namespace fs = std::filesystem;
using sim::SimulatedPlatform;
using test::LoadDemo;
using test::ScratchFolder;
using test::SimulatedFiles;

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string errors;
};

// A folder as the command line names it: relative to the current folder,
// since a host path starting with '/' reads as a switch.
std::u16string Named(const fs::path &folder) {
    return fs::relative(folder).u16string();
}

Outcome RunCaptureOn(SimulatedPlatform &machine, const std::vector<std::u16string> &arguments) {
    SimulatedFiles files(machine);
    std::ostringstream out, errors;
    Outcome outcome;
    outcome.exitCode = RunCapture(machine, files, arguments, out, errors);
    outcome.out = out.str();
    outcome.errors = errors.str();
    return outcome;
}

std::vector<std::string> LinesStartingWith(const std::string &text, std::string_view start) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(start)) lines.push_back(line);
    return lines;
}

TEST(CaptureCommand, TheCommandLineDecidesTheExitCodeAndWhatIsWritten) {
    ScratchFolder scratch;
    const fs::path image = scratch.path() / "image";
    const fs::path used = scratch.path() / "used";
    const fs::path file = scratch.path() / "file";
    test::WriteHostFile(used / "notes.txt", "keep");
    test::WriteHostFile(file, "x");
    struct Case {
        std::vector<std::u16string> arguments;
        int exitCode;
        std::string_view says;
        bool usage;  // the usage text follows
    };
    const Case cases[] = {
        {{}, kUsageError, "cvlcapture: name the folder", true},
        {{u"/package"}, kUsageError, "cvlcapture: name the folder", true},
        {{u"/frob", Named(image)}, kUsageError, "cvlcapture: unexpected /frob", true},
        {{Named(image), u"-h"}, kUsageError, "cvlcapture: unexpected -h", true},
        {{Named(image), Named(image) + u"2"}, kUsageError, "unexpected", true},
        {{Named(used)}, kUsageError, "is not empty", false},
        {{Named(file)}, kUsageError, "is not a folder", false},
        {{Named(image)}, kCaptured, "", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : ToUtf8(c.arguments[0]));
        SimulatedPlatform machine;
        LoadDemo(machine);
        const Outcome outcome = RunCaptureOn(machine, c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_NE(outcome.errors.find(c.says), std::string::npos) << outcome.errors;
        EXPECT_EQ(
            outcome.errors.find("usage: cvlcapture.exe FOLDER [/package]") != std::string::npos,
            c.usage);
        if (c.exitCode == kUsageError) {
            EXPECT_TRUE(outcome.out.empty());
            EXPECT_FALSE(fs::exists(image));
        } else {
            EXPECT_TRUE(outcome.out.starts_with("Captured ")) << outcome.out;
            EXPECT_TRUE(fs::exists(image / "machine.txt"));
        }
    }
    EXPECT_EQ(test::ReadHostFile(used / "notes.txt"), "keep");
    EXPECT_EQ(test::FolderContents(used).size(), 1u);
}

TEST(CaptureCommand, PackageTakesTheProgramsFolderAlong) {
    for (const bool package : {false, true}) {
        SCOPED_TRACE(package);
        SimulatedPlatform machine;
        LoadDemo(machine);
        ScratchFolder scratch;
        const fs::path image = scratch.path() / "image";
        std::vector<std::u16string> arguments{Named(image)};
        if (package) arguments.insert(arguments.begin(), u"/PACKAGE");
        EXPECT_EQ(RunCaptureOn(machine, arguments).exitCode, kCaptured);
        EXPECT_TRUE(fs::exists(image / "drive_c/setup/cvlsetup.exe"));
        EXPECT_EQ(fs::exists(image / "drive_c/setup/drivers/win7/netcvl.inf"), package);
    }
}

// A capture that cannot describe the machine, or cannot write it, ends with
// 3 and leaves no machine.txt, so that nothing takes the folder for an image.
TEST(CaptureCommand, NothingUsableEndsWithThreeAndNoImage) {
    struct Case {
        std::string_view name;
        std::function<void(SimulatedPlatform &)> spoil;
        std::string_view folder;
        std::string_view says;
    };
    const Case cases[] = {
        {"no version report",
         [](SimulatedPlatform &machine) {
             machine.Setup().Fail(sim::Op::GetVersionExW, ERROR_ACCESS_DENIED);
         },
         "image", "the version report cannot be read (error 5)"},
        {"no Windows folder",
         [](SimulatedPlatform &machine) {
             machine.Setup().Fail(sim::Op::GetWindowsDirectoryW, ERROR_NOT_ENOUGH_MEMORY);
         },
         "image", "cannot be read"},
        {"a folder that cannot be made", [](SimulatedPlatform &) {}, "file/image", "cannot make"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name));
        SimulatedPlatform machine;
        LoadDemo(machine);
        c.spoil(machine);
        ScratchFolder scratch;
        test::WriteHostFile(scratch.path() / "file", "x");
        const fs::path image = scratch.path() / c.folder;
        const Outcome outcome = RunCaptureOn(machine, {Named(image)});
        EXPECT_EQ(outcome.exitCode, kNotCaptured);
        EXPECT_NE(outcome.errors.find(c.says), std::string::npos) << outcome.errors;
        EXPECT_FALSE(fs::exists(image / "machine.txt"));
        EXPECT_TRUE(outcome.out.empty());
    }
}

// What the image cannot hold costs that item only: a key or value name with
// a line break (a .reg file cannot hold it), a device whose ids or a service
// whose image path a row of machine.txt cannot hold. The item is named among
// those left out (on one line, a line break in it shown as \n), the capture
// ends with 1, and the rest of the machine is in an image that loads.
TEST(CaptureCommand, AnItemTheImageCannotHoldIsLeftOutAlone) {
    const std::u16string setupKey = u"HKLM\\Software\\CVLSetup\\VISTA_B701";
    const std::u16string makerKey = u"HKLM\\Software\\Corvane";
    struct Case {
        std::string_view name;
        std::function<void(SimulatedPlatform &)> add;
        std::string_view leftOut;
    };
    const Case cases[] = {
        {"value name with a line break",
         [&](SimulatedPlatform &machine) {
             machine.Setup().SetRegString(setupKey, u"Line\nBreak", u"x");
         },
         "cvlcapture: left out value Line\\nBreak of HKLM\\Software\\CVLSetup\\VISTA_B701: "},
        {"key name with a line break",
         [&](SimulatedPlatform &machine) {
             machine.Setup().SetRegString(makerKey + u"\\Bad\r\nKey\\Below", u"Value", u"x");
         },
         "cvlcapture: left out key HKLM\\Software\\Corvane\\Bad\\r\\nKey: "},
        {"a hardware id with a blank",
         [](SimulatedPlatform &machine) {
             sim::DeviceSpec device;
             device.instanceId = u"PCI\\VEN_1F3A&DEV_B701\\3&11583659&0&C8";
             device.hardwareIds = {u"PCI\\VEN_1F3A&DEV_B701 REV_01"};
             machine.Setup().AddDevice(device);
         },
         "cvlcapture: left out device PCI\\VEN_1F3A&DEV_B701\\3&11583659&0&C8: "},
        {"a service image path with a line break",
         [](SimulatedPlatform &machine) {
             machine.Setup().AddService(u"cvlbroken", u"system32\\DRIVERS\\cvl\nbroken.sys");
         },
         "cvlcapture: left out service cvlbroken: "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name));
        SimulatedPlatform machine;
        LoadDemo(machine);
        machine.Setup().SetRegString(setupKey, u"InfName", u"C:\\Windows\\INF\\oem3.inf");
        machine.Setup().SetRegString(makerKey + u"\\Network", u"version", u"8.45.507.2016");
        c.add(machine);
        ScratchFolder scratch;
        const fs::path image = scratch.path() / "image";
        const Outcome outcome = RunCaptureOn(machine, {Named(image)});
        EXPECT_EQ(outcome.exitCode, kCapturedWithGaps) << outcome.errors;
        const auto leftOut = LinesStartingWith(outcome.errors, "cvlcapture: left out");
        ASSERT_EQ(leftOut.size(), 1u) << outcome.errors;
        EXPECT_TRUE(leftOut[0].starts_with(c.leftOut)) << leftOut[0];

        SimulatedPlatform loaded;
        image::MachineSettings settings;
        std::string error;
        ASSERT_TRUE(image::LoadMachineImage(image, loaded, settings, error)) << error;
        EXPECT_EQ(loaded.Setup().GetRegString(setupKey, u"InfName"), u"C:\\Windows\\INF\\oem3.inf");
        EXPECT_EQ(loaded.Setup().GetRegString(makerKey + u"\\Network", u"version"),
                  u"8.45.507.2016");
        EXPECT_EQ(loaded.Setup().RegValues(setupKey).size(), 1u);
        EXPECT_EQ(loaded.Setup().RegSubkeyNames(makerKey), std::vector<std::u16string>{u"Network"});
        EXPECT_EQ(settings.devices.size(), 3u);
        EXPECT_EQ(settings.services.size(), 2u);
    }
}

// A 32-bit capture on 64-bit Windows would see SysWOW64 in place of the
// system folder; it reads the machine's own system folder through the
// "Sysnative" alias, and the image holds that folder's DLLs under their
// real path, as a 64-bit capture does.
TEST(CaptureCommand, TheMakersDllsComeFromTheNativeSystemFolder) {
    for (const bool wow64 : {false, true}) {
        SCOPED_TRACE(wow64 ? "32-bit capture on 64-bit Windows" : "64-bit capture");
        SimulatedPlatform machine;
        LoadDemo(machine);
        machine.Setup().AddFile(u"C:\\Windows\\system32\\CvNicProp64.dll", "64-bit property pages");
        machine.Setup().AddFile(u"C:\\Windows\\system32\\CVNUninst64.dll", "64-bit uninstaller");
        machine.Setup().AddFile(u"C:\\Windows\\SysWOW64\\CvNicProp32.dll", "32-bit property pages");
        machine.Setup().SetWow64(wow64);
        ScratchFolder scratch;
        const fs::path image = scratch.path() / "image";
        const Outcome outcome = RunCaptureOn(machine, {Named(image)});
        EXPECT_EQ(outcome.exitCode, kCaptured) << outcome.errors;
        EXPECT_EQ(test::ReadHostFile(image / "drive_c/Windows/system32/CvNicProp64.dll"),
                  "64-bit property pages");
        EXPECT_EQ(test::ReadHostFile(image / "drive_c/Windows/system32/CVNUninst64.dll"),
                  "64-bit uninstaller");
        EXPECT_FALSE(fs::exists(image / "drive_c/Windows/system32/CvNicProp32.dll"));
        EXPECT_FALSE(fs::exists(image / "drive_c/Windows/Sysnative"));
    }
}

}  // namespace
}  // namespace cvl::capture

#include "machine_image/machine_image.h"

#include <gtest/gtest.h>

#include <string>

#include "common/text.h"
#include "machine_image/machine_image_snapshot.h"
#include "tools/machine_image_testing.h"

namespace cvl::image {
namespace {

namespace fs = std::filesystem;
using test::ScratchFolder;
using test::SnapshotOf;

TEST(MachineImage, LoadsTheDemoMachine) {
    sim::SimulatedPlatform machine;
    MachineSettings settings;
    std::string error;
    ASSERT_TRUE(LoadMachineImage(test::kDemoImage, machine, settings, error)) << error;

    const OsVersionInfoEx version = test::ReportedVersion(machine);
    EXPECT_EQ(version.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(version.dwMajorVersion, 6u);
    EXPECT_EQ(version.dwMinorVersion, 1u);
    EXPECT_EQ(machine.Setup().GetRegString(u"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                           u"ProductName"),
              u"Windows 7 Professional");
    EXPECT_EQ(machine.Setup().GetRegString(u"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                           u"CurrentVersion"),
              u"6.1");
    EXPECT_TRUE(machine.Setup().RegKeyExists(u"HKCU\\Software"));
    char16_t module[260];
    EXPECT_EQ(TextOf(module, machine.GetModuleFileNameW(module, 260)), u"C:\\setup\\cvlsetup.exe");
    EXPECT_TRUE(machine.Setup().FileExists(u"C:\\Windows\\system32\\pnputil.exe"));
    ASSERT_EQ(settings.toolExitCodes.size(), 1u);
    EXPECT_EQ(settings.toolExitCodes[0].exitCode, 0u);
}

TEST(MachineImage, SavedMachineLoadsBackTheSame) {
    ScratchFolder scratch;
    sim::SimulatedPlatform machine;
    MachineSettings settings;
    std::string error;
    ASSERT_TRUE(LoadMachineImage(test::kDemoImage, machine, settings, error)) << error;
    // What a run may leave behind, in every form the image has to carry.
    machine.Setup().SetRegValue(u"HKLM\\SOFTWARE\\Maker\\Odd", u"line\u00e9", REG_SZ,
                                {0x61, 0, 0x0d, 0, 0x0a, 0, 0, 0});
    machine.Setup().SetRegValue(u"HKLM\\SOFTWARE\\Maker\\Odd", u"", REG_BINARY,
                                std::vector<BYTE>(100, 9));
    machine.Setup().SetRegValue(u"HKLM", u"AtTheRoot", REG_DWORD, {1, 2, 3});
    machine.Setup().CreateRegKey(u"HKCU\\Software\\Empty Key");
    machine.Setup().AddFile(u"C:\\Windows\\INF\\oem0.inf", std::string("[Version]\r\n\0\xff", 13),
                            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    machine.Setup().AddDirectory(u"C:\\Program Files\\Empty Folder");
    machine.Setup().AddFile(u"D:\\other drive.txt", "d");

    const fs::path saved = scratch.path() / "saved";
    ASSERT_TRUE(SaveMachineImage(machine, settings, saved, error)) << error;
    sim::SimulatedPlatform reloaded;
    MachineSettings reloadedSettings;
    ASSERT_TRUE(LoadMachineImage(saved, reloaded, reloadedSettings, error)) << error;

    const MachineSnapshot original = SnapshotOf(machine);
    const MachineSnapshot copy = SnapshotOf(reloaded);
    EXPECT_TRUE(SameSnapshot(original, copy));
    for (const std::string &change : DiffSnapshots(original, copy)) ADD_FAILURE() << change;
    EXPECT_EQ(reloadedSettings, settings);
    EXPECT_TRUE(reloaded.Setup().DirectoryExists(u"C:\\Program Files\\Empty Folder"));
    EXPECT_TRUE(test::ReadHostFile(saved / "registry.reg").starts_with("\xFF\xFE"));
    // Nothing but the image is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), fs::directory_iterator()), 1);
}

TEST(MachineImage, SavingAgainReplacesTheWholeImage) {
    ScratchFolder scratch;
    const fs::path input = scratch.WriteSmallImage("input");
    const fs::path output = scratch.path() / "output";
    sim::SimulatedPlatform machine;
    MachineSettings settings;
    std::string error;
    ASSERT_TRUE(LoadMachineImage(input, machine, settings, error)) << error;
    machine.Setup().AddFile(u"C:\\temporary.txt", "t");
    ASSERT_TRUE(SaveMachineImage(machine, settings, output, error)) << error;
    ASSERT_TRUE(fs::exists(output / "drive_c" / "temporary.txt"));

    ASSERT_TRUE(machine.Setup().RemoveFile(u"C:\\temporary.txt"));
    settings.processId = 77;
    ASSERT_TRUE(SaveMachineImage(machine, settings, output, error)) << error;
    EXPECT_FALSE(fs::exists(output / "drive_c" / "temporary.txt"));
    EXPECT_NE(test::ReadHostFile(output / "machine.txt").find("process_id = 77"),
              std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), fs::directory_iterator()), 2);
}

TEST(MachineImage, ReadOnlyFollowsTheWritePermission) {
    ScratchFolder scratch;
    const fs::path input = scratch.WriteSmallImage("input");
    const fs::path locked = scratch.Write("input/drive_c/locked.txt", "l");
    fs::permissions(locked,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    sim::SimulatedPlatform machine;
    MachineSettings settings;
    std::string error;
    ASSERT_TRUE(LoadMachineImage(input, machine, settings, error)) << error;
    EXPECT_EQ(machine.Setup().FileAttributes(u"C:\\locked.txt"),
              FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(machine.Setup().FileAttributes(u"C:\\setup\\cvlsetup.exe"), FILE_ATTRIBUTE_ARCHIVE);

    ASSERT_TRUE(SaveMachineImage(machine, settings, scratch.path() / "output", error)) << error;
    const auto written = [&](const char *name) {
        return (fs::status(scratch.path() / "output/drive_c" / name).permissions() &
                fs::perms::owner_write) != fs::perms::none;
    };
    EXPECT_FALSE(written("locked.txt"));
    EXPECT_TRUE(written("setup/cvlsetup.exe"));
}

// A machine image made from another system (a Wine prefix spells them
// "windows\inf") keeps its folder names: a fresh simulated machine already
// has C:\Windows\INF, and Windows keeps one spelling of a folder, the one
// on the disk.
TEST(MachineImage, TheImageSpellsTheFoldersTheFreshMachineHas) {
    ScratchFolder scratch;
    const fs::path input = scratch.WriteSmallImage("input");
    scratch.Write("input/drive_c/windows/inf/oem1.inf", "i");
    scratch.Write("input/drive_c/windows/SYSTEM32/drivers/cvl.sys", "s");
    sim::SimulatedPlatform machine;
    MachineSettings settings;
    std::string error;
    ASSERT_TRUE(LoadMachineImage(input, machine, settings, error)) << error;
    ASSERT_TRUE(SaveMachineImage(machine, settings, scratch.path() / "output", error)) << error;
    const fs::path drive = scratch.path() / "output/drive_c";
    EXPECT_TRUE(fs::exists(drive / "windows/inf/oem1.inf"));
    EXPECT_TRUE(fs::exists(drive / "windows/SYSTEM32/drivers/cvl.sys"));
    EXPECT_FALSE(fs::exists(drive / "Windows"));
    // The machine still finds them whatever the case of the names asked for.
    EXPECT_TRUE(machine.Setup().FileExists(u"C:\\WINDOWS\\INF\\OEM1.INF"));
}

struct BrokenImage {
    void (*spoil)(const fs::path &image);
    std::string_view says;  // the start of the error, after the image folder
};

TEST(MachineImage, AnImageWithAMistakeChangesNothing) {
    using test::WriteHostFile;
    const BrokenImage cases[] = {
        {[](const fs::path &image) {
             WriteHostFile(image / "registry.reg",
                           "Windows Registry Editor Version 5.00\n\n"
                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n\"x\"=dword:zz\n");
         },
         "/registry.reg:4: dword: needs"},
        {[](const fs::path &image) {
             WriteHostFile(image / "machine.txt",
                           std::string(test::kSmallSettings) + "speed = 1\n");
         },
         "/machine.txt:6: unknown key"},
        {[](const fs::path &image) { WriteHostFile(image / "machine.txt", "version = NT 6.1\n"); },
         "/machine.txt: the key \"windows_dir\" is missing"},
        {[](const fs::path &image) { fs::remove(image / "drive_c/setup/cvlsetup.exe"); },
         "/machine.txt: the program C:\\setup\\cvlsetup.exe is not among"},
        {[](const fs::path &image) {
             WriteHostFile(image / "drive_c/Data/a.txt", "x");
             WriteHostFile(image / "drive_c/DATA/a.txt", "y");
         },
         "/drive_c/Data: names the same file on Windows as \"DATA\""},
        {[](const fs::path &image) { WriteHostFile(image / "drive_c/bad:name.txt", "x"); },
         "/drive_c/bad:name.txt: the name holds a character"},
        {[](const fs::path &image) { WriteHostFile(image / "drive_C/x.txt", "x"); },
         "/drive_C: a drive is a folder named drive_"},
        {[](const fs::path &image) { WriteHostFile(image / "drive_c/trailing.", "x"); },
         "/drive_c/trailing.: Windows drops a trailing dot"},
    };
    for (const BrokenImage &c : cases) {
        SCOPED_TRACE(std::string(c.says));
        ScratchFolder scratch;
        const fs::path image = scratch.WriteSmallImage("image");
        c.spoil(image);

        sim::SimulatedPlatform machine;
        machine.Setup().SetRegString(u"HKLM\\SOFTWARE\\Before", u"x", u"y");
        machine.Setup().SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222);
        const MachineSnapshot before = SnapshotOf(machine);
        std::string error;
        EXPECT_FALSE(LoadMachineImage(image, machine, error));
        EXPECT_EQ(error.rfind(image.string() + std::string(c.says), 0), 0u) << error;
        EXPECT_TRUE(SameSnapshot(before, SnapshotOf(machine)));
        EXPECT_EQ(test::ReportedVersion(machine).dwPlatformId, VER_PLATFORM_WIN32_WINDOWS)
            << "the settings were applied";
    }
}

TEST(MachineImage, RefusesLinksAndMissingParts) {
    ScratchFolder scratch;
    const fs::path image = scratch.WriteSmallImage("image");
    fs::create_symlink("/etc/hostname", image / "drive_c" / "link.txt");
    sim::SimulatedPlatform machine;
    std::string error;
    EXPECT_FALSE(LoadMachineImage(image, machine, error));
    EXPECT_NE(error.find("link.txt: is neither a plain file nor a folder"), std::string::npos)
        << error;

    fs::remove(image / "drive_c" / "link.txt");
    fs::remove(image / "registry.reg");
    EXPECT_FALSE(LoadMachineImage(image, machine, error));
    EXPECT_EQ(error, (image / "registry.reg").string() + ": is missing or cannot be read");
    EXPECT_FALSE(LoadMachineImage(scratch.path() / "nowhere", machine, error));
    EXPECT_NE(error.find("is not a folder"), std::string::npos) << error;
}

TEST(MachineImage, SaveNeverWritesIntoAFolderThatIsNotAnImage) {
    ScratchFolder scratch;
    const fs::path input = scratch.WriteSmallImage("input");
    sim::SimulatedPlatform machine;
    MachineSettings settings;
    std::string error;
    ASSERT_TRUE(LoadMachineImage(input, machine, settings, error)) << error;

    // A folder of notes, an image with something extra in it, and a file.
    scratch.Write("notes/todo.txt", "keep me");
    scratch.WriteSmallImage("extended");
    scratch.Write("extended/README.txt", "keep me too");
    scratch.Write("plain.txt", "a file");
    for (const char *name : {"notes", "extended", "plain.txt"}) {
        SCOPED_TRACE(name);
        const fs::path target = scratch.path() / name;
        const auto before = fs::is_directory(target) ? test::FolderContents(target)
                                                     : std::map<std::string, std::string>{};
        EXPECT_FALSE(SaveMachineImage(machine, settings, target, error));
        EXPECT_NE(error.find("nothing was saved"), std::string::npos) << error;
        if (fs::is_directory(target)) {
            EXPECT_EQ(test::FolderContents(target), before);
        } else {
            EXPECT_EQ(test::ReadHostFile(target), "a file");
        }
    }
    // An empty folder is fine, and so is one that does not exist yet.
    fs::create_directory(scratch.path() / "empty");
    EXPECT_TRUE(SaveMachineImage(machine, settings, scratch.path() / "empty", error)) << error;
    EXPECT_TRUE(SaveMachineImage(machine, settings, scratch.path() / "new/deeper/", error))
        << error;
    EXPECT_TRUE(fs::exists(scratch.path() / "new/deeper/machine.txt"));
}

}  // namespace
}  // namespace cvl::image

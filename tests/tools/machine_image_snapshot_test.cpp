#include "machine_image/machine_image_snapshot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/machine_image_testing.h"

namespace cvl::image {
namespace {

using test::SnapshotOf;

TEST(MachineSnapshot, ReadsKeysValuesFilesAndEmptyFolders) {
    sim::SimulatedPlatform machine;
    machine.Setup().SetRegString(u"HKLM\\SOFTWARE\\Maker", u"Name", u"value");
    machine.Setup().SetRegDword(u"HKCU\\Software\\Maker\\Deeper", u"", 7);
    machine.Setup().AddFile(u"C:\\data\\file.bin", std::string("a\0b", 3), FILE_ATTRIBUTE_READONLY);
    machine.Setup().AddDirectory(u"D:\\Empty\\Inner");
    const MachineSnapshot snapshot = SnapshotOf(machine);

    ASSERT_TRUE(snapshot.keys.contains(u"hklm\\software\\maker"));
    const SnapshotKey &maker = snapshot.keys.at(u"hklm\\software\\maker");
    EXPECT_EQ(maker.path, u"HKLM\\SOFTWARE\\Maker");
    ASSERT_TRUE(maker.values.contains(u"name"));
    EXPECT_EQ(maker.values.at(u"name").name, u"Name");
    EXPECT_EQ(maker.values.at(u"name").value.type, REG_SZ);
    EXPECT_TRUE(snapshot.keys.contains(u"hkcu\\software\\maker\\deeper"));
    EXPECT_TRUE(snapshot.keys.at(u"hkcu\\software\\maker\\deeper").values.contains(u""));

    ASSERT_TRUE(snapshot.files.contains(u"c:\\data\\file.bin"));
    EXPECT_EQ(snapshot.files.at(u"c:\\data\\file.bin").contents, std::string("a\0b", 3));
    EXPECT_TRUE(snapshot.files.at(u"c:\\data\\file.bin").attributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(snapshot.directories.contains(u"c:\\data"));
    // Folders of other drives show only when a file lives there.
    machine.Setup().AddFile(u"D:\\note.txt", "n");
    EXPECT_TRUE(SnapshotOf(machine).directories.contains(u"d:\\empty\\inner"));
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST(MachineSnapshot, ReportsAFailingRegistryRead) {
    sim::SimulatedPlatform machine;
    machine.Setup().SetRegString(u"HKLM\\SOFTWARE\\A", u"x", u"y");
    machine.Setup().Fail(sim::Op::RegEnumValueW, ERROR_ACCESS_DENIED);
    MachineSnapshot snapshot;
    std::string error;
    EXPECT_FALSE(TakeSnapshot(machine, snapshot, error));
    EXPECT_NE(error.find("RegEnumValueW"), std::string::npos) << error;
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST(MachineSnapshotDiff, ListsEveryKindOfChangeInPathOrder) {
    sim::SimulatedPlatform machine;
    machine.Setup().SetRegString(u"HKLM\\SOFTWARE\\Kept", u"Changed", u"old");
    machine.Setup().SetRegString(u"HKLM\\SOFTWARE\\Kept", u"Retyped", u"1");
    machine.Setup().SetRegDword(u"HKLM\\SOFTWARE\\Kept", u"Same", 1);
    machine.Setup().SetRegString(u"HKLM\\SOFTWARE\\Kept", u"Gone", u"bye");
    machine.Setup().SetRegString(u"HKLM\\SOFTWARE\\Removed", u"", u"default");
    machine.Setup().AddFile(u"C:\\keep.txt", "same");
    machine.Setup().AddFile(u"C:\\edit.txt", "short");
    machine.Setup().AddFile(u"C:\\lock.txt", "x");
    machine.Setup().AddFile(u"C:\\gone.txt", "x");
    const MachineSnapshot before = SnapshotOf(machine);

    machine.Setup().SetRegString(u"HKLM\\SOFTWARE\\Kept", u"Changed", u"new");
    machine.Setup().SetRegDword(u"HKLM\\SOFTWARE\\Kept", u"Retyped", 1);
    machine.Setup().SetRegDword(u"HKLM\\SOFTWARE\\Kept", u"Same", 1);
    machine.Setup().SetRegMultiString(u"HKLM\\SOFTWARE\\Kept", u"Added", {u"a", u"b"});
    HKEY key = nullptr;
    ASSERT_EQ(machine.RegOpenKeyExW(HKeyLocalMachine(), u"SOFTWARE\\Kept", 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    ASSERT_EQ(machine.RegDeleteValueW(key, u"Gone"), ERROR_SUCCESS);
    machine.RegCloseKey(key);
    ASSERT_TRUE(machine.Setup().DeleteRegTree(u"HKLM\\SOFTWARE\\Removed"));
    machine.Setup().SetRegValue(u"HKCU\\Software\\New", u"Blob", REG_BINARY, {0xde, 0xad});
    machine.Setup().AddFile(u"C:\\edit.txt", "much longer");
    ASSERT_TRUE(machine.SetFileAttributesW(u"C:\\lock.txt", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(machine.Setup().RemoveFile(u"C:\\gone.txt"));
    machine.Setup().AddFile(u"C:\\new\\made.txt", "12345");

    const std::vector<std::string> expected = {
        "+ key HKCU\\Software\\New",
        "+ value HKCU\\Software\\New\\Blob: REG_BINARY de ad",
        "+ value HKLM\\SOFTWARE\\Kept\\Added: REG_MULTI_SZ [\"a\", \"b\"]",
        "~ value HKLM\\SOFTWARE\\Kept\\Changed: REG_SZ \"old\" -> \"new\"",
        "- value HKLM\\SOFTWARE\\Kept\\Gone: REG_SZ \"bye\"",
        "~ value HKLM\\SOFTWARE\\Kept\\Retyped: REG_SZ \"1\" -> REG_DWORD 0x00000001 (1)",
        "- key HKLM\\SOFTWARE\\Removed",
        "- value HKLM\\SOFTWARE\\Removed\\(Default): REG_SZ \"default\"",
        "~ file C:\\edit.txt: contents changed (5 -> 11 bytes)",
        "- file C:\\gone.txt",
        "~ file C:\\lock.txt: attributes ARCHIVE -> READONLY",
        "+ file C:\\new\\made.txt (5 bytes)",
    };
    EXPECT_EQ(DiffSnapshots(before, SnapshotOf(machine)), expected);
}

TEST(MachineSnapshotDiff, SameMachineHasNoChanges) {
    sim::SimulatedPlatform machine;
    machine.Setup().SetRegString(u"HKLM\\SOFTWARE\\A", u"x", u"y");
    machine.Setup().AddFile(u"C:\\a.txt", "a");
    const MachineSnapshot first = SnapshotOf(machine);
    const MachineSnapshot second = SnapshotOf(machine);
    EXPECT_TRUE(DiffSnapshots(first, second).empty());
    EXPECT_TRUE(SameSnapshot(first, second));
    // A folder is no change to list, but it is part of the machine.
    machine.Setup().AddDirectory(u"C:\\empty");
    const MachineSnapshot withFolder = SnapshotOf(machine);
    EXPECT_TRUE(DiffSnapshots(first, withFolder).empty());
    EXPECT_FALSE(SameSnapshot(first, withFolder));
}

TEST(MachineSnapshotDiff, ShowsValuesReadably) {
    const std::vector<BYTE> longBinary(40, 0xab);
    std::string thirtyTwoBytes = "ab";
    for (int i = 1; i < 32; ++i) thirtyTwoBytes += " ab";
    const std::pair<sim::RegValue, std::string> cases[] = {
        {{REG_SZ, {0x41, 0, 0x0a, 0, 0, 0}}, "REG_SZ \"A\\x0a\""},
        {{REG_SZ, {0x41, 0, 0, 0, 0x42, 0}}, "REG_SZ \"A\""},
        {{REG_SZ, {0x41, 0, 0x42}}, "REG_SZ 41 00 42"},
        {{REG_EXPAND_SZ, {0x25, 0, 0x41, 0, 0x25, 0, 0, 0}}, "REG_EXPAND_SZ \"%A%\""},
        {{REG_MULTI_SZ, {0, 0}}, "REG_MULTI_SZ []"},
        {{REG_DWORD, {0xff, 0xff, 0xff, 0xff}}, "REG_DWORD 0xffffffff (4294967295)"},
        {{REG_DWORD, {1, 2}}, "REG_DWORD 01 02"},
        {{REG_BINARY, {}}, "REG_BINARY (empty)"},
        {{11, {1, 0, 0, 0, 0, 0, 0, 0}}, "REG_QWORD 01 00 00 00 00 00 00 00"},
        {{0x99, {7}}, "REG_TYPE_0x99 07"},
        {{REG_BINARY, longBinary}, "REG_BINARY " + thirtyTwoBytes + " ... (40 bytes)"},
    };
    for (const auto &[value, shown] : cases) EXPECT_EQ(DescribeRegValue(value), shown);
}

}  // namespace
}  // namespace cvl::image

// Files made fresh under a fixed name: whatever stood under the name is
// replaced as a name, never opened or written through; the same links make
// a plain open write elsewhere.
#include "log/fresh_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "platform/sim/simulated_platform.h"

namespace cvl {
namespace {

using sim::Op;

constexpr char16_t kName[] = u"C:\\drop\\Completed.txt";
constexpr char16_t kGuarded[] = u"C:\\Windows\\guarded\\settings.ini";
constexpr char16_t kAbsent[] = u"C:\\Windows\\guarded\\new.dll";

enum class Standing { kNothing, kOldFile, kLinkToFile, kLinkToNothing, kSecondName };

struct Case {
    const char *what;
    Standing standing;
    // What a plain CREATE_ALWAYS open and write does to the guarded folder.
    bool plainOpenWritesElsewhere;
};

const Case kCases[] = {
    {"nothing", Standing::kNothing, false},
    {"an older file", Standing::kOldFile, false},
    {"a link to a guarded file", Standing::kLinkToFile, true},
    {"a link to a file not there yet", Standing::kLinkToNothing, true},
    {"a second name of a guarded file", Standing::kSecondName, true},
};

void Plant(sim::SimulatedPlatform &machine, Standing standing) {
    machine.Setup().AddFile(kGuarded, "guarded");
    machine.Setup().AddDirectory(u"C:\\drop");
    switch (standing) {
        case Standing::kNothing:
            break;
        case Standing::kOldFile:
            machine.Setup().AddFile(kName, "an older and longer text");
            break;
        case Standing::kLinkToFile:
            ASSERT_TRUE(machine.Setup().AddSymbolicLink(kName, kGuarded));
            break;
        case Standing::kLinkToNothing:
            ASSERT_TRUE(machine.Setup().AddSymbolicLink(kName, kAbsent));
            break;
        case Standing::kSecondName:
            ASSERT_TRUE(machine.Setup().AddSecondName(kName, kGuarded));
            break;
    }
}

void WriteAndClose(Platform &platform, HANDLE file, std::string_view text) {
    DWORD written = 0;
    EXPECT_TRUE(platform.WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written));
    EXPECT_TRUE(platform.CloseHandle(file));
}

bool GuardedFolderUntouched(const sim::SimulatedPlatform &machine) {
    return machine.Setup().ReadFileContents(kGuarded) == "guarded" &&
           !machine.Setup().FileExists(kAbsent);
}

std::vector<std::u16string> DropFolder(const sim::SimulatedPlatform &machine) {
    std::vector<std::u16string> names;
    for (const auto &[path, contents] : machine.Setup().AllFiles())
        if (path.starts_with(u"C:\\drop\\")) names.push_back(path);
    return names;
}

TEST(FreshFile, ReplacesWhateverStandsUnderTheNameAndWritesNothingElsewhere) {
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.what);
        sim::SimulatedPlatform machine;
        Plant(machine, c.standing);
        HANDLE file = CreateFreshFile(machine, kName);
        ASSERT_NE(file, InvalidHandleValue());
        WriteAndClose(machine, file, "Disabled NIC");
        EXPECT_EQ(machine.Setup().ReadFileContents(kName), "Disabled NIC");
        EXPECT_EQ(machine.Setup().FileAttributes(kName), FILE_ATTRIBUTE_ARCHIVE)
            << "a plain file, no link";
        EXPECT_TRUE(GuardedFolderUntouched(machine));
        EXPECT_EQ(DropFolder(machine), std::vector<std::u16string>{kName})
            << "no fresh name left beside it";
        EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
    }
}

TEST(FreshFile, APlainOpenOfTheSameNamesWritesThroughEveryLink) {
    // What the machine must show for the test above to mean anything: an
    // open that truncates the name reaches the file a link leads to.
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.what);
        sim::SimulatedPlatform machine;
        Plant(machine, c.standing);
        HANDLE file = machine.CreateFileW(kName, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL);
        ASSERT_NE(file, InvalidHandleValue());
        WriteAndClose(machine, file, "Disabled NIC");
        EXPECT_EQ(!GuardedFolderUntouched(machine), c.plainOpenWritesElsewhere);
    }
}

TEST(FreshFile, TheFileStaysOpenUnderItsNameForLaterWrites) {
    sim::SimulatedPlatform machine;
    Plant(machine, Standing::kLinkToFile);
    HANDLE file = CreateFreshFile(machine, kName);
    ASSERT_NE(file, InvalidHandleValue());
    // Others may read it while it is written, as before.
    HANDLE reader = machine.CreateFileW(kName, GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        OPEN_EXISTING, 0);
    EXPECT_NE(reader, InvalidHandleValue());
    machine.CloseHandle(reader);
    WriteAndClose(machine, file, "first\r\n");
    EXPECT_EQ(machine.Setup().ReadFileContents(kName), "first\r\n");
}

TEST(FreshFile, AStepThatFailsLeavesNoFileAndTheNameAsItWas) {
    struct Failure {
        const char *what;
        std::function<void(sim::SimulatedPlatform &)> arrange;
        DWORD lastError;
    };
    const Failure failures[] = {
        {"no random source",
         [](sim::SimulatedPlatform &m) { m.Setup().Fail(Op::CryptGenRandom, ERROR_ACCESS_DENIED); },
         ERROR_ACCESS_DENIED},
        {"the fresh file cannot be made",
         [](sim::SimulatedPlatform &m) { m.Setup().Fail(Op::CreateFileW, ERROR_ACCESS_DENIED); },
         ERROR_ACCESS_DENIED},
        {"the name is a read-only file",
         [](sim::SimulatedPlatform &m) {
             m.Setup().AddFile(kName, "kept", FILE_ATTRIBUTE_READONLY);
         },
         ERROR_ACCESS_DENIED},
        {"the name is a folder", [](sim::SimulatedPlatform &m) { m.Setup().AddDirectory(kName); },
         ERROR_ACCESS_DENIED},
        {"the rename is refused",
         [](sim::SimulatedPlatform &m) {
             m.Setup().AddFile(kName, "kept");
             m.Setup().Fail(Op::MoveFileExW, ERROR_SHARING_VIOLATION);
         },
         ERROR_SHARING_VIOLATION},
    };
    for (const Failure &f : failures) {
        SCOPED_TRACE(f.what);
        sim::SimulatedPlatform machine;
        machine.Setup().AddDirectory(u"C:\\drop");
        f.arrange(machine);
        const auto before = DropFolder(machine);
        const auto contents = machine.Setup().ReadFileContents(kName);
        EXPECT_EQ(CreateFreshFile(machine, kName), InvalidHandleValue());
        EXPECT_EQ(machine.GetLastError(), f.lastError);
        EXPECT_EQ(DropFolder(machine), before);
        EXPECT_EQ(machine.Setup().ReadFileContents(kName), contents);
        EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
    }
}

}  // namespace
}  // namespace cvl

// Whole runs in a folder where someone left a link under the name of a file
// the program writes: the log, the Windows 98 root log, the log at the root
// of drive C and "Completed.txt". The file the link leads to stays as it
// was, and the program's own file holds exactly the run's text.
#include <gtest/gtest.h>

#include <functional>

#include "support/scenario.h"

namespace cvl {
namespace {

using sim::Op;

using test::RunTail;

constexpr char16_t kGuarded[] = u"C:\\Windows\\guarded\\settings.ini";
constexpr char kRescanLog[] = "Scan Hardware Change...\r\nExit code: = 0\r\n";

struct PlantedRun {
    const char *what;
    std::function<void(sim::SimulatedPlatform &)> arrange;
    const char16_t *tail;
    const char16_t *written;  // the file the run makes
    const char *contents;
};

const PlantedRun kRuns[] = {
    {"the install log", [](sim::SimulatedPlatform &) {}, u"/hwscan", test::kLogPath, kRescanLog},
    {"the Windows 98 log at the root of the current drive",
     [](sim::SimulatedPlatform &m) { m.Setup().SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10); },
     u"/hwscan", u"C:\\INST.TXT", kRescanLog},
    {"the log at the root of drive C when the current directory cannot be read",
     [](sim::SimulatedPlatform &m) {
         m.Setup().Fail(Op::GetCurrentDirectoryW, ERROR_ACCESS_DENIED);
     },
     u"/hwscan", u"C:\\InstallLog.txt", kRescanLog},
    {"the marker of an adapter switched by its id", [](sim::SimulatedPlatform &) {},
     u"/denicdrv /nicid {x}", u"C:\\setup\\Completed.txt", "Disabled and enabled NIC"},
};

enum class Planted { kLink, kSecondName };

TEST(PlantedLinks, NoRunWritesThroughALinkUnderTheNameOfItsFiles) {
    for (const PlantedRun &run : kRuns) {
        for (const Planted planted : {Planted::kLink, Planted::kSecondName}) {
            SCOPED_TRACE(std::string(run.what) +
                         (planted == Planted::kLink ? ", a link" : ", a second name"));
            sim::SimulatedPlatform machine;
            machine.Setup().AddFile(kGuarded, "[guarded]\r\n");
            const bool made = planted == Planted::kLink
                                  ? machine.Setup().AddSymbolicLink(run.written, kGuarded)
                                  : machine.Setup().AddSecondName(run.written, kGuarded);
            ASSERT_TRUE(made);
            run.arrange(machine);
            EXPECT_EQ(RunTail(machine, run.tail), 0u);
            EXPECT_EQ(machine.Setup().ReadFileContents(kGuarded), "[guarded]\r\n");
            EXPECT_EQ(machine.Setup().ReadFileContents(run.written), run.contents);
            EXPECT_EQ(machine.Setup().FileAttributes(run.written), FILE_ATTRIBUTE_ARCHIVE);
        }
    }
}

TEST(PlantedLinks, ALogThatCannotBeMadeFreshLeavesTheRunWithoutOneAndChangesNothing) {
    // A folder under the log's name cannot be replaced: the run goes on
    // without a log, as with any log that cannot be opened.
    sim::SimulatedPlatform machine;
    machine.Setup().AddDirectory(test::kLogPath);
    EXPECT_EQ(RunTail(machine, u"/denicdrv /nicid {x}"), 0u);
    EXPECT_TRUE(machine.Setup().DirectoryExists(test::kLogPath));
    EXPECT_EQ(machine.Setup().ReadFileContents(u"C:\\setup\\Completed.txt"),
              "Disabled and enabled NIC");
    for (const auto &[path, contents] : machine.Setup().AllFiles())
        EXPECT_FALSE(path.ends_with(u".new")) << test::ToUtf8(path);
}

}  // namespace
}  // namespace cvl

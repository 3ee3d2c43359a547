// An install followed by an uninstall: the machine goes back to what it
// was, but for the adapters and the deliberate leftovers.
#include "support/install_package.h"
#include "uninstall/uninstall_fixture.h"

namespace cvl {
namespace {

using test::PciAdapter;
using test::RunTail;

constexpr char16_t kSources[] = u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";

std::map<std::u16string, std::string> FilesIn(const sim::SimulatedPlatform &machine,
                                              std::u16string_view folder) {
    std::map<std::u16string, std::string> files;
    for (const auto &[path, contents] : machine.Setup().AllFiles())
        if (path.starts_with(folder)) files.emplace(path, contents);
    return files;
}

TEST(InstallRoundTripTest, AnUninstallTakesBackWhatTheInstallLeft) {
    sim::SimulatedPlatform machine;
    test::AddPackage(machine);
    // The virtual-device INF models the management functions only.
    machine.Setup().AddFile(test::kVdevInf,
                            test::PackageInfText({u"PCI\\VEN_1F3A&DEV_B70A&CC_0700",
                                                  u"PCI\\VEN_1F3A&DEV_B70B&CC_0700"}));
    const auto adapter = PciAdapter(u"B702");
    machine.Setup().AddDevice(adapter);
    const auto infFolder = FilesIn(machine, u"C:\\Windows\\INF\\");

    ASSERT_EQ(RunTail(machine, test::Tail(u"/i /vistab701 /vdevq2dp")), 0u);
    ASSERT_TRUE(machine.Setup().RegKeyExists(test::kSetupKey));
    ASSERT_TRUE(machine.Setup().RegKeyExists(u"HKLM\\Software\\Corvane\\Network"));
    const auto published = FilesIn(machine, u"C:\\Windows\\INF\\");
    ASSERT_GT(published.size(), infFolder.size());

    EXPECT_EQ(RunTail(machine, u"/u /vistab701 /vdevq2dp"), 0u);
    EXPECT_FALSE(machine.Setup().DeviceState(adapter.instanceId));
    EXPECT_FALSE(machine.Setup().RegKeyExists(test::kSetupKey));
    EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\Software\\Corvane\\Network"));
    EXPECT_TRUE(machine.Setup().RegKeyExists(u"HKLM\\Software\\Corvane"));
    // The adapter's INF is gone; the virtual-device INF, which no present
    // device runs, stays in the store.
    const auto left = FilesIn(machine, u"C:\\Windows\\INF\\");
    EXPECT_EQ(left.size(), infFolder.size() + 2);
    const std::string vdevInf = *machine.Setup().ReadFileContents(test::kVdevInf);
    int publishedInfsLeft = 0;
    for (const auto &[path, contents] : left) {
        if (infFolder.contains(path) || !path.ends_with(u".inf")) continue;
        ++publishedInfsLeft;
        EXPECT_EQ(contents, vdevInf) << ToUtf8(path);
    }
    EXPECT_EQ(publishedInfsLeft, 1);
    // The package folder stays a source; its record went with CVLSetup.
    const auto sources = machine.Setup().GetRegValue(kSources, u"Installation Sources");
    ASSERT_TRUE(sources);
    std::u16string listed;
    for (std::size_t i = 0; i + 1 < sources->data.size(); i += 2)
        listed.push_back(static_cast<char16_t>(sources->data[i] | (sources->data[i + 1] << 8)));
    EXPECT_NE(listed.find(u"C:\\setup\\pkg"), std::u16string::npos);
}

}  // namespace
}  // namespace cvl

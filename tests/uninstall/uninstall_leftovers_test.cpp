// A machine seeded as an install of the B701 family leaves it: the
// uninstall takes everything but the deliberate leftovers, and a second
// uninstall changes nothing but the log.
#include "state/setup_state.h"
#include "uninstall/description_tables.h"
#include "uninstall/uninstall_fixture.h"

namespace cvl {
namespace {

using test::PciAdapter;
using test::RunTail;
using test::RunWithChildren;

const std::u16string kUninstallEntry =
    u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CVNUninstVista01";
const std::u16string kConnection = std::u16string(test::kNetworkClass) + u"\\{0A1B}";
const std::u16string kDescriptions = std::u16string(test::kNetworkClass) + u"\\Descriptions";
constexpr char16_t kSources[] = u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr char16_t kPersisted[] =
    u"HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility "
    u"Assistant\\Persisted";

sim::DeviceSpec WithInf(sim::DeviceSpec spec, std::u16string_view infPath) {
    for (auto &[name, value] : spec.driverStrings)
        if (name == u"InfPath") value = infPath;
    return spec;
}

class UninstallLeftoversTest : public ::testing::Test {
protected:
    // What an install of "/vistab701 /vdevq2dp" from C:\setup leaves on
    // Windows 7, with one unplugged adapter and an unplugged management
    // function.
    void SeedInstalledMachine() {
        machine.Setup().AddDevice(WithInf(PciAdapter(u"B701", u"1"), u"oem7.inf"));
        auto unplugged = WithInf(PciAdapter(u"B702", u"2"), u"oem7.inf");
        unplugged.present = false;
        machine.Setup().AddDevice(unplugged);
        auto management = WithInf(PciAdapter(u"B70A", u"3"), u"oem8.inf");
        management.hardwareIds = {u"PCI\\VEN_1F3A&DEV_B70A&CC_0700"};
        management.present = false;
        machine.Setup().AddDevice(management);
        machine.Setup().AddDevice(WithInf(PciAdapter(u"C0DE", u"4"), u"net1c.inf"));  // another NIC

        for (const char16_t *file : {u"oem7.inf", u"oem7.PNF", u"oem8.inf", u"oem8.PNF"})
            machine.Setup().AddFile(test::kInfDir + std::u16string(file), "published");
        for (const char16_t *dll :
             {u"CVNUninst32.dll", u"CVNUninst64.dll", u"CvNicProp32.dll", u"CvNicProp64.dll"})
            machine.Setup().AddFile(test::kSystem32 + std::u16string(dll), "dll");
        WriteSetupValue(machine, u"SourcePath", u"C:\\setup", FamilyVistaB701);
        WriteSetupValue(machine, u"InfName", u"C:\\Windows\\INF\\oem7.inf", FamilyVistaB701);
        WriteSetupValue(machine, u"InfName", u"C:\\Windows\\INF\\oem8.inf", FamilyVdevQ2dp);
        machine.SetupAddToSourceListW(SRCLIST_SYSIFADMIN, u"C:\\setup");
        SetFamilyStatus(machine, FamilyVistaB701, StatusWrite, OsNt6Later, u"8.45.507.2016");
        machine.Setup().SetRegString(kUninstallEntry, u"DisplayName", u"Corvane Ethernet Driver");
        machine.Setup().SetRegString(kConnection + u"\\Connection", u"PnpInstanceID",
                                     u"PCI\\VEN_1F3A&DEV_B701&SUBSYS_00011043&REV_06\\4&1F3A&0&1");
        machine.Setup().SetRegString(kConnection + u"\\Connection", u"Name",
                                     u"Local Area Connection");
        const DescriptionLists lists = DescriptionListsFor(FamilyVistaB701);
        machine.Setup().SetRegDword(kDescriptions, lists.exact[0], 1);
        machine.Setup().SetRegDword(kDescriptions, std::u16string(lists.prefixes[0]) + u" #2", 2);
    }

    sim::SimulatedPlatform machine;
};

TEST_F(UninstallLeftoversTest, TheUninstallerTakesAllButTheDeliberateLeftovers) {
    SeedInstalledMachine();
    EXPECT_EQ(RunWithChildren(machine, u"/uninstaller /s /vistab701 /vdevq2dp"), 0u);

    EXPECT_FALSE(machine.Setup().DeviceState(PciAdapter(u"B701", u"1").instanceId));
    EXPECT_FALSE(machine.Setup().DeviceState(PciAdapter(u"B702", u"2").instanceId));
    EXPECT_FALSE(machine.Setup().DeviceState(PciAdapter(u"B70A", u"3").instanceId));
    EXPECT_TRUE(machine.Setup().DeviceState(PciAdapter(u"C0DE", u"4").instanceId));
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\Windows\\INF\\oem7.inf"));
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\Windows\\INF\\oem7.PNF"));
    for (const char16_t *dll :
         {u"CVNUninst32.dll", u"CVNUninst64.dll", u"CvNicProp32.dll", u"CvNicProp64.dll"})
        EXPECT_FALSE(machine.Setup().FileExists(test::kSystem32 + std::u16string(dll)))
            << ToUtf8(dll);
    EXPECT_FALSE(machine.Setup().RegKeyExists(test::kSetupKey));
    EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\Software\\Corvane\\Network"));
    EXPECT_FALSE(machine.Setup().RegKeyExists(kUninstallEntry));
    EXPECT_FALSE(machine.Setup().RegKeyExists(kConnection));
    EXPECT_TRUE(machine.Setup().RegValues(kDescriptions).empty());
    EXPECT_FALSE(machine.Setup().FileExists(test::kProgramPath));

    // Left on purpose: the source list entry, the maker's key, the
    // virtual-device INF of the unplugged management function and the
    // compatibility value.
    EXPECT_EQ(machine.Setup().GetRegValue(kSources, u"Installation Sources")->data.size(),
              (std::u16string(u"C:\\setup").size() + 2) * 2);
    EXPECT_TRUE(machine.Setup().RegKeyExists(u"HKLM\\Software\\Corvane"));
    EXPECT_TRUE(machine.Setup().FileExists(u"C:\\Windows\\INF\\oem8.inf"));
    EXPECT_TRUE(machine.Setup().GetRegValue(kPersisted, test::kProgramPath).has_value());
}

TEST_F(UninstallLeftoversTest, ASecondUninstallChangesNothingButTheLog) {
    SeedInstalledMachine();
    for (const char16_t *tail : {u"/u /vistab701 /vdevq2dp", u"/u /b702 /b701"}) {
        SCOPED_TRACE(ToUtf8(tail));
        EXPECT_EQ(RunTail(machine, tail), 0u);
        machine.Setup().RemoveFile(test::kLogPath);
        const auto registry = test::RegistryDump(machine);
        const auto currentUser = test::RegistryDump(machine, u"HKCU");
        const auto files = machine.Setup().AllFiles();
        EXPECT_EQ(RunTail(machine, tail), 0u);
        EXPECT_EQ(test::RegistryDump(machine), registry);
        EXPECT_EQ(test::RegistryDump(machine, u"HKCU"), currentUser);
        auto after = machine.Setup().AllFiles();
        EXPECT_TRUE(after.erase(test::kLogPath));
        EXPECT_EQ(after, files);
    }
}

}  // namespace
}  // namespace cvl

// Whole uninstall command lines on machines seeded as an install leaves
// them.
#include "uninstall/uninstall_flows.h"

#include "options/family_selection.h"
#include "state/setup_state.h"
#include "uninstall/device_removal.h"
#include "uninstall/uninstall_fixture.h"

namespace cvl {
namespace {

using sim::Op;
using test::LogOf;
using test::PciAdapter;
using test::RunTail;
using test::RunWithChildren;
using test::UsbAdapter;

const std::u16string kUninstall =
    u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::u16string kSetup = test::kSetupKey;
const std::u16string kStatus = u"HKLM\\Software\\Corvane\\";
constexpr char16_t kSources[] = u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr char16_t kDriverFile[] = u"C:\\Windows\\system32\\DRIVERS\\CVLB760.sys";

sim::DeviceSpec Adapter(sim::DeviceSpec spec, std::u16string_view infPath, bool present = true) {
    for (auto &[name, value] : spec.driverStrings)
        if (name == u"InfPath") value = infPath;
    spec.present = present;
    return spec;
}

sim::DeviceSpec ManagementFunction(bool present) {
    auto spec = Adapter(PciAdapter(u"B70A", u"7"), u"oem8.inf", present);
    spec.hardwareIds = {u"PCI\\VEN_1F3A&DEV_B70A&CC_0700"};
    spec.className = u"System";
    spec.classGuid = u"{4d36e97d-e325-11ce-bfc1-08002be10318}";
    return spec;
}

class UninstallFlowTest : public ::testing::Test {
protected:
    void Os(OsKind kind) { test::SetOsKind(machine, kind); }
    void AddInf(std::u16string_view name, const std::string &contents) {
        machine.Setup().AddFile(test::kInfDir + std::u16string(name), contents);
        machine.Setup().AddFile(
            test::kInfDir + std::u16string(name.substr(0, name.find(u'.'))) + u".PNF", "pnf");
    }
    bool HasInf(std::u16string_view name) {
        return machine.Setup().FileExists(test::kInfDir + std::u16string(name));
    }
    bool HasDevice(const sim::DeviceSpec &spec) {
        return machine.Setup().DeviceState(spec.instanceId).has_value();
    }
    void AddDlls() {
        for (const char16_t *dll :
             {u"CVNUninst32.dll", u"CVNUninst64.dll", u"CvNicProp32.dll", u"CvNicProp64.dll"})
            machine.Setup().AddFile(test::kSystem32 + std::u16string(dll), "dll");
    }
    bool HasDll(std::u16string_view name) {
        return machine.Setup().FileExists(test::kSystem32 + std::u16string(name));
    }
    void AddStatus(std::u16string_view name) {
        machine.Setup().SetRegString(kStatus + std::u16string(name), u"install", u"success");
    }
    void AddSource(std::u16string_view folder) {
        machine.SetupAddToSourceListW(SRCLIST_SYSIFADMIN, std::u16string(folder).c_str());
    }
    bool SourceListed(std::u16string_view folder) {
        const auto value = machine.Setup().GetRegValue(kSources, u"Installation Sources");
        if (!value) return false;
        const std::u16string wanted = std::u16string(folder) + u'\0';
        std::u16string all(value->data.size() / 2, u'\0');
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = static_cast<char16_t>(value->data[2 * i] | (value->data[2 * i + 1] << 8));
        return all.find(wanted) != std::u16string::npos;
    }
    void AddConnection(std::u16string_view guid, std::u16string_view pnpInstanceId) {
        machine.Setup().SetRegString(
            std::u16string(test::kNetworkClass) + u"\\" + std::u16string(guid) + u"\\Connection",
            u"PnpInstanceID", pnpInstanceId);
    }
    bool HasConnection(std::u16string_view guid) {
        return machine.Setup().RegKeyExists(std::u16string(test::kNetworkClass) + u"\\" +
                                            std::u16string(guid));
    }

    sim::SimulatedPlatform machine;
};

// --- The legacy flow --------------------------------------------------------

TEST_F(UninstallFlowTest, WithoutAFamilyThereIsNothingToRemove) {
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    EXPECT_EQ(RunTail(machine, u"/u"), 8u);
    EXPECT_EQ(LogOf(machine), "Starting Uninstall...\r\nExit code: = 8\r\n");
    EXPECT_TRUE(HasDevice(PciAdapter(u"B702")));
}

// "/u /b702" on each kind: the NT 5 and NT 6 generations delete the
// adapters' own INF, the others scan the INF folders for the maker's.
TEST_F(UninstallFlowTest, TheLegacyFlowCleansTheInfFilesTheWayEachKindNeeds) {
    for (const OsKind kind : test::kKnownOsKinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        sim::SimulatedPlatform fresh;
        test::SetOsKind(fresh, kind);
        const auto adapter = Adapter(PciAdapter(u"B702"), u"oem3.inf");
        const auto unplugged = Adapter(PciAdapter(u"B706", u"2"), u"oem3.inf", false);
        fresh.Setup().AddDevice(adapter);
        fresh.Setup().AddDevice(unplugged);
        const std::string maker = test::MakerInf("PCI\\VEN_1F3A&DEV_B702&SUBSYS_00011043");
        fresh.Setup().AddFile(u"C:\\Windows\\INF\\oem3.inf", maker);
        fresh.Setup().AddFile(u"C:\\Windows\\INF\\netcvx.inf", maker);
        WriteSetupValue(fresh, u"SourcePath", u"C:\\setup", FamilyPcie);
        fresh.SetupAddToSourceListW(SRCLIST_SYSIFADMIN, u"C:\\setup");
        fresh.Setup().SetRegString(kStatus + u"Network", u"install", u"success");

        EXPECT_EQ(RunTail(fresh, u"/u /b702"), 0u);
        EXPECT_FALSE(fresh.Setup().DeviceState(adapter.instanceId));
        EXPECT_FALSE(fresh.Setup().DeviceState(unplugged.instanceId));
        EXPECT_FALSE(fresh.Setup().FileExists(u"C:\\Windows\\INF\\oem3.inf"));
        EXPECT_EQ(fresh.Setup().FileExists(u"C:\\Windows\\INF\\netcvx.inf"), IsNtFrom2000On(kind));
        EXPECT_FALSE(fresh.Setup().RegKeyExists(kSetup + u"\\PCIE"));
        EXPECT_FALSE(fresh.Setup().RegKeyExists(kStatus + u"Network"));
        EXPECT_TRUE(fresh.Setup().RegKeyExists(u"HKLM\\Software\\Corvane"));
        EXPECT_EQ(fresh.Setup().GetRegValue(kSources, u"Installation Sources")->data.size(), 2u);
    }
}

TEST_F(UninstallFlowTest, TheUninstallerLeavesTheLegacyRecordsAndDeletesItsEntries) {
    Os(OsNt4);
    machine.Setup().AddDevice(PciAdapter(u"B701"));
    AddInf(u"netcvx.inf", test::MakerInf("PCI\\VEN_1F3A&DEV_B701"));
    WriteSetupValue(machine, u"SourcePath", u"C:\\setup", FamilyPci);
    AddSource(u"C:\\setup");
    for (const char16_t *entry : {u"CVNUninstXPPCI", u"CVNUninstXPPCIE", u"CVNUninstVista01"})
        machine.Setup().SetRegString(kUninstall + entry, u"DisplayName", u"Corvane");
    EXPECT_EQ(RunTail(machine, u"/uninstaller /s /b701"), 0u);
    EXPECT_FALSE(machine.Setup().RegKeyExists(kUninstall + u"CVNUninstXPPCI"));
    EXPECT_TRUE(machine.Setup().RegKeyExists(kUninstall + u"CVNUninstXPPCIE"));
    EXPECT_TRUE(machine.Setup().RegKeyExists(kUninstall + u"CVNUninstVista01"));
    EXPECT_TRUE(machine.Setup().RegKeyExists(kSetup + u"\\PCI"));
    EXPECT_TRUE(SourceListed(u"C:\\setup"));
    EXPECT_TRUE(HasInf(u"netcvx.inf"));  // no scan of the INF folders
    EXPECT_FALSE(HasDevice(PciAdapter(u"B701")));
    EXPECT_FALSE(LogOf(machine));  // "/uninstaller" logs nothing
}

TEST_F(UninstallFlowTest, OemIdsReplaceTheFamilyIdsAndTheManagementFunctionsGoToo) {
    const auto familyAdapter = PciAdapter(u"B702");
    auto oemAdapter = PciAdapter(u"C001", u"2");
    const auto management = ManagementFunction(true);
    for (const auto &spec : {familyAdapter, oemAdapter, management})
        machine.Setup().AddDevice(spec);
    EXPECT_EQ(RunTail(machine, u"/u /b702 /oemvid 1F3A /oempid C001"), 0u);
    EXPECT_TRUE(HasDevice(familyAdapter));
    EXPECT_FALSE(HasDevice(oemAdapter));
    EXPECT_TRUE(HasDevice(management));
    EXPECT_EQ(RunTail(machine, u"/u /b702 /vdevq2dp /oemvid 1F3A /oempid C001"), 0u);
    EXPECT_TRUE(HasDevice(familyAdapter));
    EXPECT_FALSE(HasDevice(management));
}

// The per-family PCI uninstall of Windows 7 takes the management functions
// only when both switches ask for them.
TEST_F(UninstallFlowTest, PerFamilyUninstallRemovesManagementFunctionsOnlyWhenAsked) {
    struct Case {
        const char16_t *tail;
        bool removed;
    };
    for (const Case &c :
         {Case{u"/u /vistab701", false}, Case{u"/u /vistab703 /vdevq2dp", false},
          Case{u"/u /vistab701 /vistab703", false}, Case{u"/u /vistab701 /vdevq2dp", true}}) {
        sim::SimulatedPlatform fresh;
        const auto management = ManagementFunction(true);
        fresh.Setup().AddDevice(management);
        EXPECT_EQ(RunTail(fresh, c.tail), 0u) << ToUtf8(c.tail);
        EXPECT_EQ(fresh.Setup().DeviceState(management.instanceId).has_value(), !c.removed)
            << ToUtf8(c.tail);
    }
}

TEST_F(UninstallFlowTest, TheVirtualFunctionsAreNotRemovedOnTheOlderKinds) {
    Os(OsNt4);
    const auto management = ManagementFunction(true);
    machine.Setup().AddDevice(management);
    EXPECT_EQ(RunTail(machine, u"/u /b702 /vdevq2dp"), 0u);
    EXPECT_TRUE(HasDevice(management));
}

TEST_F(UninstallFlowTest, CancellingTheConfirmationChangesNothing) {
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    AddDlls();
    machine.Setup().SetMessageBoxAnswer(IDCANCEL);
    const auto files = machine.Setup().AllFiles();
    EXPECT_EQ(RunWithChildren(machine, u"/uninstaller /b702"), 0u);
    EXPECT_EQ(machine.Setup().MessageBoxes().size(), 1u);
    EXPECT_TRUE(HasDevice(PciAdapter(u"B702")));
    EXPECT_EQ(machine.Setup().AllFiles(), files);
}

TEST_F(UninstallFlowTest, AnyPerFamilySwitchChoosesThePerFamilyFlow) {
    const auto b702 = PciAdapter(u"B702");
    const auto b762 = UsbAdapter(u"0C7E", u"B762", u"3000");
    machine.Setup().AddDevice(b702);
    machine.Setup().AddDevice(b762);
    EXPECT_EQ(RunTail(machine, u"/u /b702 /vistab762"), 0u);
    EXPECT_TRUE(HasDevice(b702));
    EXPECT_FALSE(HasDevice(b762));
    EXPECT_EQ(LogOf(machine)->rfind("Starting Uninstall...\r\n", 0), 0u);
}

// --- The remaining-adapter test and the self-deletion ----------------------

TEST_F(UninstallFlowTest, WhenNoAdapterIsLeftTheUninstallerDeletesTheDllsAndItself) {
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    AddDlls();
    EXPECT_EQ(RunWithChildren(machine, u"/uninstaller /s /b702"), 0u);
    for (const char16_t *dll :
         {u"CVNUninst32.dll", u"CVNUninst64.dll", u"CvNicProp32.dll", u"CvNicProp64.dll"})
        EXPECT_FALSE(HasDll(dll)) << ToUtf8(dll);
    ASSERT_EQ(machine.Setup().Processes().size(), 1u);
    EXPECT_FALSE(machine.Setup().FileExists(test::kProgramPath));
}

TEST_F(UninstallFlowTest, AnAdapterLeftKeepsTheDllsAndTheProgram) {
    struct Case {
        const char *what;
        sim::Op operation;
    };
    for (const Case &c : {Case{"the removal fails", Op::SetupDiCallClassInstaller},
                          Case{"no device list can be opened", Op::SetupDiGetClassDevsW}}) {
        SCOPED_TRACE(c.what);
        sim::SimulatedPlatform fresh;
        fresh.Setup().AddDevice(PciAdapter(u"B702"));
        fresh.Setup().AddFile(u"C:\\Windows\\system32\\CVNUninst32.dll", "dll");
        fresh.Setup().AddFile(u"C:\\Windows\\system32\\CvNicProp32.dll", "dll");
        fresh.Setup().Fail(c.operation, ERROR_ACCESS_DENIED);
        EXPECT_EQ(RunWithChildren(fresh, u"/uninstaller /s /b702"), 0u);
        EXPECT_TRUE(fresh.Setup().FileExists(u"C:\\Windows\\system32\\CVNUninst32.dll"));
        EXPECT_TRUE(fresh.Setup().FileExists(u"C:\\Windows\\system32\\CvNicProp32.dll"));
        EXPECT_TRUE(fresh.Setup().Processes().empty());
        EXPECT_TRUE(fresh.Setup().FileExists(test::kProgramPath));
    }
}

TEST_F(UninstallFlowTest, AnInteractiveUninstallNeverDeletesTheProgram) {
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    AddDlls();
    EXPECT_EQ(RunWithChildren(machine, u"/u /b702"), 0u);
    EXPECT_FALSE(HasDll(u"CVNUninst32.dll"));
    EXPECT_TRUE(machine.Setup().Processes().empty());
    EXPECT_TRUE(machine.Setup().FileExists(test::kProgramPath));
}

// --- The per-family flow: PCI branch ----------------------------------------

TEST_F(UninstallFlowTest, B701OnXpOnlyDeletesTheEntryAndTheInf) {
    Os(OsNt5Later);
    const auto adapter = Adapter(PciAdapter(u"B701"), u"oem7.inf");
    machine.Setup().AddDevice(adapter);
    AddInf(u"oem7.inf", "x");
    WriteSetupValue(machine, u"SourcePath", u"C:\\setup", FamilyVistaB701);
    machine.Setup().SetRegString(kUninstall + u"CVNUninstVista01", u"DisplayName", u"Corvane");
    EXPECT_EQ(RunTail(machine, u"/uninstaller /s /dbgmsg /vistab701"), 0u);
    EXPECT_FALSE(machine.Setup().RegKeyExists(kUninstall + u"CVNUninstVista01"));
    EXPECT_FALSE(HasInf(u"oem7.inf"));
    EXPECT_TRUE(HasDevice(adapter));
    EXPECT_TRUE(machine.Setup().RegKeyExists(kSetup + u"\\VISTA_B701"));
    EXPECT_EQ(LogOf(machine),
              "Starting Uninstall...\r\nInfPath = 'oem7.inf'\r\nExit code: = 0\r\n");
}

TEST_F(UninstallFlowTest, WithB701AndB761OnWindows7OnlyThePciBranchRuns) {
    const auto b701 = PciAdapter(u"B701");
    const auto b761 = UsbAdapter(u"0C7E", u"B761", u"0100");
    machine.Setup().AddDevice(b701);
    machine.Setup().AddDevice(b761);
    AddStatus(u"Network");
    AddStatus(u"USBFENetwork");
    EXPECT_EQ(RunTail(machine, u"/u /vistab701 /vistab761"), 0u);
    EXPECT_FALSE(HasDevice(b701));
    EXPECT_TRUE(HasDevice(b761));
    EXPECT_FALSE(machine.Setup().RegKeyExists(kStatus + u"Network"));
    EXPECT_TRUE(machine.Setup().RegKeyExists(kStatus + u"USBFENetwork"));
}

TEST_F(UninstallFlowTest, WithB701AndB761OnXpTheB761BranchDeletesTheB701Record) {
    Os(OsNt5Later);
    const auto b701 = PciAdapter(u"B701");
    const auto b761 = UsbAdapter(u"0C7E", u"B761", u"0100");
    machine.Setup().AddDevice(b701);
    machine.Setup().AddDevice(b761);
    WriteSetupValue(machine, u"InfName", u"x", FamilyVistaB701);
    WriteSetupValue(machine, u"InfName", u"x", FamilyVistaB761);
    AddStatus(u"USBFENetwork");
    EXPECT_EQ(RunTail(machine, u"/u /vistab701 /vistab761"), 0u);
    EXPECT_TRUE(HasDevice(b701));
    EXPECT_FALSE(HasDevice(b761));
    EXPECT_FALSE(machine.Setup().RegKeyExists(kSetup + u"\\VISTA_B701"));
    EXPECT_TRUE(machine.Setup().RegKeyExists(kSetup + u"\\VISTA_B761"));
    EXPECT_FALSE(machine.Setup().RegKeyExists(kStatus + u"USBFENetwork"));
}

TEST_F(UninstallFlowTest, ThePciBranchRunsOnTheNt6GenerationOnly) {
    for (const OsKind kind : test::kKnownOsKinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        sim::SimulatedPlatform fresh;
        test::SetOsKind(fresh, kind);
        const auto adapter = PciAdapter(u"B703");
        fresh.Setup().AddDevice(adapter);
        EXPECT_EQ(RunTail(fresh, u"/u /vistab703"), 0u);
        EXPECT_EQ(fresh.Setup().DeviceState(adapter.instanceId).has_value(),
                  kind != OsNt6Later && kind != OsNt60);
    }
}

// --- The per-family flow: USB branches --------------------------------------

TEST_F(UninstallFlowTest, TheUsbFamiliesRemoveTheirAdaptersAndTheirStatusKey) {
    struct Case {
        const char16_t *tail;
        sim::DeviceSpec adapter;
        const char16_t *status;
        const char16_t *record;
    };
    const std::vector<Case> cases = {
        {u"/u /vistab761", UsbAdapter(u"2E61", u"0761", u"2000"), u"USBFENetwork", u"VISTA_B761"},
        {u"/u /vistab762", UsbAdapter(u"20F4", u"0762", u"3000"), u"USBGBENetwork", u"VISTA_B762"},
        {u"/u /vistab76x", UsbAdapter(u"17EF", u"721E", u"3000"), u"USBGBENetwork", u"VISTA_B76x"},
    };
    for (const OsKind kind : {OsNt6Later, OsNt5Later}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(ToUtf8(c.tail) + " on kind " + std::to_string(static_cast<int>(kind)));
            sim::SimulatedPlatform fresh;
            test::SetOsKind(fresh, kind);
            auto unplugged = c.adapter;
            unplugged.present = false;
            fresh.Setup().AddDevice(unplugged);
            fresh.Setup().SetRegString(kStatus + c.status, u"install", u"success");
            WriteSetupValue(fresh, u"InfName", u"x", FamilyVistaB762);
            fresh.Setup().SetRegString(kSetup + u"\\" + c.record, u"InfName", u"x");
            fresh.Setup().AddFile(u"C:\\Windows\\system32\\CvNicProp64.dll", "dll");
            EXPECT_EQ(RunTail(fresh, c.tail), 0u);
            EXPECT_FALSE(fresh.Setup().DeviceState(unplugged.instanceId));
            EXPECT_FALSE(fresh.Setup().RegKeyExists(kStatus + c.status));
            EXPECT_FALSE(fresh.Setup().RegKeyExists(kSetup + u"\\" + c.record));
            EXPECT_FALSE(fresh.Setup().FileExists(u"C:\\Windows\\system32\\CvNicProp64.dll"));
        }
    }
}

TEST_F(UninstallFlowTest, B760OnWindows7TakesTheAdapterItsInfAndItsDriverFile) {
    auto adapter = Adapter(UsbAdapter(u"0C7E", u"B760", u"0100"), u"oem12.inf");
    machine.Setup().AddDevice(adapter);
    machine.Setup().AddService(u"USB-100", u"system32\\DRIVERS\\CVLB760.sys");
    machine.Setup().AddFile(kDriverFile, "sys");
    AddInf(u"oem12.inf", "x");
    WriteSetupValue(machine, u"InfName", u"C:\\Windows\\INF\\oem12.inf", FamilyVistaB760);
    EXPECT_EQ(RunTail(machine, u"/u /vistab760 /x86"), 0u);
    EXPECT_FALSE(HasDevice(adapter));
    EXPECT_FALSE(HasInf(u"oem12.inf"));
    EXPECT_FALSE(HasInf(u"oem12.PNF"));
    EXPECT_FALSE(machine.Setup().FileExists(kDriverFile));
    EXPECT_FALSE(machine.Setup().RegKeyExists(kSetup));
    const std::string log = *LogOf(machine);
    EXPECT_NE(log.find("Found..\r\n"), std::string::npos);
    EXPECT_NE(log.find("oem12\r\nsystem32\\DRIVERS\\CVLB760.sys\r\n"), std::string::npos);
}

TEST_F(UninstallFlowTest, B760WithoutAServiceLeavesTheAdapterAndItsDriverFile) {
    auto adapter = Adapter(UsbAdapter(u"0C7E", u"B760", u"0100"), u"oem12.inf");
    machine.Setup().AddDevice(adapter);
    machine.Setup().AddFile(kDriverFile, "sys");
    EXPECT_EQ(RunTail(machine, u"/u /vistab760"), 0u);
    EXPECT_TRUE(HasDevice(adapter));
    EXPECT_TRUE(machine.Setup().FileExists(kDriverFile));
}

TEST_F(UninstallFlowTest, B760OnWindows98DeletesTheDriverFileAndTheLegacyEntries) {
    Os(Os9x98);
    const auto adapter = UsbAdapter(u"0C7E", u"B760", u"0100");
    machine.Setup().AddDevice(adapter);
    machine.Setup().AddFile(u"C:\\Windows\\SYSTEM\\CVLB760.SYS", "sys");
    WriteSetupValue(machine, u"SourcePath", u"C:\\setup", FamilyVistaB760);
    AddSource(u"C:\\setup");
    const std::u16string legacy = u"HKLM\\System\\CurrentControlSet\\Services\\Class\\Net\\0001";
    machine.Setup().SetRegString(legacy, u"DriverDesc",
                                 u"Corvane CVLB760 USB 10/100 Fast Ethernet Adapter");
    EXPECT_EQ(RunTail(machine, u"/u /vistab760"), 0u);
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\Windows\\SYSTEM\\CVLB760.SYS"));
    EXPECT_FALSE(machine.Setup().RegKeyExists(legacy));
    EXPECT_TRUE(HasDevice(adapter));
    EXPECT_TRUE(SourceListed(u"C:\\setup"));
    EXPECT_EQ(machine.Setup().ReadFileContents(u"C:\\INST.TXT"),
              "Starting Uninstall...\r\nFound 1 adapter... CHK_DRV_SET_PARA\r\n"
              "STRING :  = 'USB\\VID_0C7E&PID_B760&REV_0100'\r\nInfPath = 'oem5.inf'\r\n"
              "C:\\Windows\\SYSTEM\\CVLB760.SYS\r\nOPEN NET SUCC\r\n"
              "OPEN NET SERIAL SUCC\r\nExit code: = 0\r\n");
}

TEST_F(UninstallFlowTest, B760OnWindowsMeDeletesTheRecordedInfOnlyInTheInfFolder) {
    struct Case {
        const char16_t *recorded;
        const char16_t *pnf;  // null: no PNF name is derived
        bool deleted;
    };
    const std::vector<Case> cases = {
        {u"C:\\Windows\\INF\\oem4.inf", u"C:\\Windows\\INF\\oem4.Pnf", true},
        {u"C:\\Windows\\INF\\OTHER\\cvl.inf", u"C:\\Windows\\INF\\OTHER\\cvl.Pnf", true},
        {u"C:\\Windows\\INF\\..\\win.inf", u"C:\\Windows\\INF\\..\\win.Pnf", false},
        {u"C:\\Windows\\system.ini", u"C:\\Windows\\system.Pni", false},
        {u"C:\\Windows\\INFO\\a.inf", u"C:\\Windows\\INFO\\a.Pnf", false},
        {u"oem4", nullptr, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(ToUtf8(c.recorded));
        sim::SimulatedPlatform fresh;
        test::SetOsKind(fresh, Os9xMe);
        const auto adapter = UsbAdapter(u"0C7E", u"B760", u"0100");
        fresh.Setup().AddDevice(adapter);
        WriteSetupValue(fresh, u"SourcePath", u"C:\\setup", FamilyVistaB760);
        fresh.SetupAddToSourceListW(SRCLIST_SYSIFADMIN, u"C:\\setup");
        WriteSetupValue(fresh, u"InfName", c.recorded, FamilyVistaB760);
        const std::u16string recorded = c.recorded;
        const bool full = recorded.find(u'\\') != std::u16string::npos;
        if (full) fresh.Setup().AddFile(recorded, "x");
        if (c.pnf) fresh.Setup().AddFile(c.pnf, "x");
        EXPECT_EQ(RunTail(fresh, u"/u /vistab760"), 0u);
        EXPECT_FALSE(fresh.Setup().DeviceState(adapter.instanceId));
        EXPECT_EQ(fresh.Setup().GetRegValue(kSources, u"Installation Sources")->data.size(), 2u);
        if (full) {
            EXPECT_EQ(!fresh.Setup().FileExists(recorded), c.deleted);
        }
        if (c.pnf) {
            EXPECT_EQ(!fresh.Setup().FileExists(c.pnf), c.deleted);
        }
        const std::string log = *fresh.Setup().ReadFileContents(test::kLogPath);
        EXPECT_NE(log.find(ToUtf8(recorded) + "\r\n"), std::string::npos);
        if (c.pnf) {
            EXPECT_NE(log.find(ToUtf8(c.pnf) + "\r\n"), std::string::npos);
        }
    }
}

// --- Memory for the working lists -------------------------------------------

class UninstallMemoryTest : public test::UninstallFixture {};

TEST_F(UninstallMemoryTest, AListOrPathThatCannotBeAllocatedEndsTheFlowWithTen) {
    struct Case {
        const char *what;
        OsKind kind;
        DeviceFamily family;
        bool uninstallerMode;
    };
    const std::vector<Case> cases = {
        {"legacy path buffer", OsNt6Later, FamilyPcie, false},
        {"legacy id list", OsNt6Later, FamilyPcie, true},
        {"PCI branch id list", OsNt6Later, FamilyVistaB701, false},
        {"Windows Me path buffer", Os9xMe, FamilyVistaB760, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim::SimulatedPlatform fresh;
        RunState freshState{fresh};
        freshState.osKind = c.kind;
        test::SetOsKind(fresh, c.kind);
        const auto adapter = PciAdapter(u"B702");
        fresh.Setup().AddDevice(adapter);
        InstallOptions selected;
        selected.families.Add(c.family);
        selected.uninstallerMode = c.uninstallerMode;
        fresh.Setup().Fail(Op::LocalAlloc, ERROR_NOT_ENOUGH_MEMORY);
        const ExitCode result = AnyPerFamilySwitch(selected)
                                    ? UninstallPerFamily(fresh, freshState, selected)
                                    : UninstallLegacyPciFamilies(fresh, freshState, selected);
        EXPECT_EQ(result, ExitCode::OutOfMemory);
        EXPECT_TRUE(fresh.Setup().DeviceState(adapter.instanceId));
        EXPECT_EQ(fresh.Setup().OutstandingAllocations(), 0u);
    }
}

TEST_F(UninstallMemoryTest, APerFamilyFlowWithoutAFamilyHasNothingToRemove) {
    EXPECT_EQ(UninstallPerFamily(machine, state, options), ExitCode::NothingToDo);
    options.families.Add(FamilyPcie);
    options.uninstallerMode = true;
    state.ids.oemCount = 0;
    options.families.Remove(FamilyPcie);
    EXPECT_EQ(UninstallLegacyPciFamilies(machine, state, options), ExitCode::NothingToDo);
}

}  // namespace
}  // namespace cvl

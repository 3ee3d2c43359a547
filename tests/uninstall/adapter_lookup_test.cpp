// Whether a family's adapter is installed, and deleting the INF files the
// adapters run.
#include "uninstall/adapter_lookup.h"

#include "state/setup_state.h"
#include "uninstall/uninstall_fixture.h"

namespace cvl {
namespace {

using sim::Op;
using test::PciAdapter;
using test::UsbAdapter;

sim::DeviceSpec WithInf(sim::DeviceSpec spec, std::u16string_view infPath) {
    for (auto &[name, value] : spec.driverStrings)
        if (name == u"InfPath") value = infPath;
    return spec;
}

class FamilyAdapterTest : public test::UninstallFixture {};

TEST_F(FamilyAdapterTest, OnlyTheFirstMatchingDeviceDecides) {
    auto driverless = PciAdapter(u"B701", u"1");
    driverless.withDriverKey = false;
    machine.Setup().AddDevice(driverless);
    machine.Setup().AddDevice(PciAdapter(u"B704", u"2"));
    EXPECT_FALSE(IsFamilyAdapterInstalled(machine, state, FamilyPci));
    EXPECT_EQ(LookUpFamilyAdapter(machine, state, FamilyPci), FamilyAdapterAbsent);
    EXPECT_TRUE(IsFamilyAdapterInstalled(machine, state, FamilyPcie) == false);

    sim::SimulatedPlatform other;
    RunState otherState{other};
    other.Setup().AddDevice(PciAdapter(u"B704", u"2"));
    EXPECT_TRUE(IsFamilyAdapterInstalled(other, otherState, FamilyPci));
    EXPECT_EQ(other.Setup().OpenHandleCount(), 0u);
}

TEST_F(FamilyAdapterTest, TheUsbFamiliesAnswerThroughTheB760List) {
    machine.Setup().AddDevice(UsbAdapter(u"0C7E", u"B761", u"0100"));
    EXPECT_FALSE(IsFamilyAdapterInstalled(machine, state, FamilyVistaB761));
    machine.Setup().AddDevice(UsbAdapter(u"0C7E", u"B760", u"0100"));
    EXPECT_TRUE(IsFamilyAdapterInstalled(machine, state, FamilyVistaB761));
}

TEST_F(FamilyAdapterTest, OemIdsReplaceTheB701ListAndExtendTheOthers) {
    machine.Setup().AddDevice(PciAdapter(u"B701"));
    state.ids.oemCount = 1;
    StoreInSlot(state.ids.OemHardwareIds[0], u"PCI\\VEN_1F3A&DEV_C001&CC_0200");
    EXPECT_FALSE(IsFamilyAdapterInstalled(machine, state, FamilyVistaB701));
    EXPECT_TRUE(IsFamilyAdapterInstalled(machine, state, FamilyPci));
}

TEST_F(FamilyAdapterTest, AListThatCannotBeOpenedIsNoAnswer) {
    machine.Setup().AddDevice(PciAdapter(u"B701"));
    machine.Setup().Fail(Op::SetupDiGetClassDevsW, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(IsFamilyAdapterInstalled(machine, state, FamilyPci));
    EXPECT_EQ(LookUpFamilyAdapter(machine, state, FamilyPci), FamilyAdapterUnknown);
}

class AdapterInfTest : public test::UninstallFixture {
protected:
    void AddInf(std::u16string_view name, const std::string &contents = "x") {
        machine.Setup().AddFile(Inf(name), contents);
        const std::u16string pnf = std::u16string(name.substr(0, name.find(u'.'))) + u".PNF";
        machine.Setup().AddFile(Inf(pnf), "pnf");
    }
    bool Has(std::u16string_view name) { return machine.Setup().FileExists(Inf(name)); }
};

TEST_F(AdapterInfTest, EveryMatchingAdapterLosesItsInfAndPnf) {
    // "/vistab701 /vdevq2dp": a B701 adapter and a management function.
    options.families.Add(FamilyVistaB701);
    options.families.Add(FamilyVdevQ2dp);
    machine.Setup().AddDevice(WithInf(PciAdapter(u"B701", u"1"), u"oem3.inf"));
    auto management = WithInf(PciAdapter(u"B70A", u"2"), u"oem4.inf");
    management.hardwareIds.push_back(u"PCI\\VEN_1F3A&DEV_B70A&CC_0700");
    machine.Setup().AddDevice(management);
    machine.Setup().AddDevice(WithInf(PciAdapter(u"B703", u"3"), u"oem5.inf"));
    for (auto name : {u"oem3.inf", u"oem4.inf", u"oem5.inf"}) AddInf(name);
    EXPECT_EQ(RemoveAdapterInfFiles(machine, state, options), 1);
    EXPECT_FALSE(Has(u"oem3.inf"));
    EXPECT_FALSE(Has(u"oem3.PNF"));
    EXPECT_FALSE(Has(u"oem4.inf"));
    EXPECT_TRUE(Has(u"oem5.inf"));
    EXPECT_EQ(Log(), "InfPath = 'oem3.inf'\r\nInfPath = 'oem4.inf'\r\n");
}

TEST_F(AdapterInfTest, TheFirstSelectedFamilyAloneDecidesTheListAndTheRecord) {
    // "/vistab701 /vistab760": only the B701 list is walked, and with no
    // B701 adapter present the B701 record stands in.
    options.families.Add(FamilyVistaB701);
    options.families.Add(FamilyVistaB760);
    machine.Setup().AddDevice(WithInf(UsbAdapter(u"0C7E", u"B760", u"0100"), u"oem6.inf"));
    AddInf(u"oem6.inf");
    AddInf(u"oem12.inf");
    AddInf(u"oem13.inf");
    WriteSetupValue(machine, u"InfName", u"C:\\Windows\\INF\\oem12.inf", FamilyVistaB701);
    WriteSetupValue(machine, u"InfName", u"C:\\Windows\\INF\\oem13.inf", FamilyVistaB760);
    EXPECT_EQ(RemoveAdapterInfFiles(machine, state, options), 1);
    EXPECT_TRUE(Has(u"oem6.inf"));
    EXPECT_FALSE(Has(u"oem12.inf"));
    EXPECT_FALSE(Has(u"oem12.PNF"));
    EXPECT_TRUE(Has(u"oem13.inf"));
    EXPECT_EQ(Log(), "Card not exist, InfPath = 'oem12.inf'\r\n");
}

TEST_F(AdapterInfTest, ARecordWithoutABackslashIsTakenWhole) {
    options.families.Add(FamilyPcie);
    AddInf(u"oem21.inf");
    WriteSetupValue(machine, u"InfName", u"oem21.inf", FamilyPcie);
    EXPECT_EQ(RemoveAdapterInfFiles(machine, state, options), 1);
    EXPECT_FALSE(Has(u"oem21.inf"));
}

TEST_F(AdapterInfTest, WithoutARecordOrAFamilyNothingIsDeleted) {
    AddInf(u"oem3.inf");
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    EXPECT_EQ(RemoveAdapterInfFiles(machine, state, options), 1);  // no family switch
    options.families.Add(FamilyPci);
    EXPECT_EQ(RemoveAdapterInfFiles(machine, state, options), 1);  // no "InfName"
    EXPECT_TRUE(Has(u"oem3.inf"));
    EXPECT_EQ(Log(), "");
}

TEST_F(AdapterInfTest, AnAdapterWhoseInfPathCannotBeReadStillCountsAsFound) {
    options.families.Add(FamilyVistaB703);
    auto adapter = PciAdapter(u"B703");
    adapter.driverStrings.pop_back();  // no InfPath
    machine.Setup().AddDevice(adapter);
    AddInf(u"oem9.inf");
    WriteSetupValue(machine, u"InfName", u"oem9.inf", FamilyVistaB703);
    EXPECT_EQ(RemoveAdapterInfFiles(machine, state, options), 1);
    EXPECT_TRUE(Has(u"oem9.inf"));
    // The B703 list logs its matches: one per matching string.
    EXPECT_EQ(Log(),
              "Found 1 adapter... CHK_DRV_SET_PARA\r\n"
              "STRING :  = 'PCI\\VEN_1F3A&DEV_B703&CC_0200'\r\n");
}

TEST_F(AdapterInfTest, AListThatCannotBeOpenedGivesZeroAndDeletesNothing) {
    options.families.Add(FamilyPcie);
    AddInf(u"oem21.inf");
    WriteSetupValue(machine, u"InfName", u"oem21.inf", FamilyPcie);
    machine.Setup().Fail(Op::SetupDiGetClassDevsW, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(RemoveAdapterInfFiles(machine, state, options), 0);
    EXPECT_TRUE(Has(u"oem21.inf"));
}

// A driver shipped with Windows names a system INF: the NT 5 and NT 6
// generations only let published oemNN.inf names go, the older kinds keep
// an INF whose first string names Microsoft.
TEST_F(AdapterInfTest, ASystemInfStaysOnEveryKind) {
    struct Case {
        OsKind kind;
        const char16_t *infPath;
        std::string contents;
        bool deleted;
    };
    const std::string maker = test::MakerInf("PCI\\VEN_1F3A&DEV_B702&CC_0200");
    const std::string system = test::MakerInf("PCI\\VEN_1F3A&DEV_B702&CC_0200", "Microsoft");
    const std::vector<Case> cases = {
        {OsNt6Later, u"net1ic64.inf", maker, false},
        {OsNt60, u"machine.inf", maker, false},
        {OsNt5Later, u"OEM7.INF", maker, true},
        {OsNt50, u"oem7a.inf", maker, false},
        {OsNt50, u"oem.inf", maker, false},
        {OsNt4, u"netcv.inf", system, false},
        {OsNt4, u"netcv.inf", maker, true},
        {Os9x98, u"netcv.inf", "[Version]\r\nSignature=\"$CHICAGO$\"\r\n", false},
        {Os9xMe, u"oem2.inf", maker, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(ToUtf8(c.infPath) + " on kind " + std::to_string(static_cast<int>(c.kind)));
        sim::SimulatedPlatform fresh;
        RunState freshState{fresh};
        freshState.osKind = c.kind;
        test::SetOsKind(fresh, c.kind);
        fresh.Setup().AddDevice(WithInf(PciAdapter(u"B702"), c.infPath));
        fresh.Setup().AddFile(Inf(c.infPath), c.contents);
        InstallOptions b702;
        b702.families.Add(FamilyPcie);
        EXPECT_EQ(RemoveAdapterInfFiles(fresh, freshState, b702), 1);
        EXPECT_EQ(!fresh.Setup().FileExists(Inf(c.infPath)), c.deleted);
    }
}

// Names from the registry are file names in the INF folder, nothing else.
TEST_F(AdapterInfTest, ARecordedNameThatLeavesTheInfFolderIsRefused) {
    UseOsKind(OsNt4);  // no oemNN.inf rule here: only the name check guards
    options.families.Add(FamilyPcie);
    const std::string maker = test::MakerInf("PCI\\VEN_1F3A&DEV_B702&CC_0200");
    machine.Setup().AddFile(u"C:\\Windows\\netcv.inf", maker);
    machine.Setup().AddFile(u"C:\\netcv.inf", maker);
    for (const char16_t *recorded : {u"../netcv.inf", u"INF/../../netcv.inf", u"C:netcv.inf"}) {
        SCOPED_TRACE(ToUtf8(recorded));
        WriteSetupValue(machine, u"InfName", recorded, FamilyPcie);
        EXPECT_EQ(RemoveAdapterInfFiles(machine, state, options), 1);
    }
    EXPECT_TRUE(machine.Setup().FileExists(u"C:\\Windows\\netcv.inf"));
    EXPECT_TRUE(machine.Setup().FileExists(u"C:\\netcv.inf"));
    // The same name inside the INF folder goes.
    machine.Setup().AddFile(Inf(u"netcv.inf"), maker);
    WriteSetupValue(machine, u"InfName", u"C:\\Windows\\INF\\netcv.inf", FamilyPcie);
    EXPECT_EQ(RemoveAdapterInfFiles(machine, state, options), 1);
    EXPECT_FALSE(Has(u"netcv.inf"));
}

TEST_F(AdapterInfTest, NoPathIsBuiltWithoutTheWindowsDirectory) {
    // Without it the path would start at "\INF\" of the current drive.
    options.families.Add(FamilyPcie);
    machine.Setup().AddDevice(WithInf(PciAdapter(u"B702"), u"oem3.inf"));
    machine.Setup().AddFile(u"C:\\INF\\oem3.inf", "x");
    AddInf(u"oem3.inf");
    machine.Setup().Fail(Op::GetWindowsDirectoryW, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(RemoveAdapterInfFiles(machine, state, options), 1);
    EXPECT_TRUE(machine.Setup().FileExists(u"C:\\INF\\oem3.inf"));
    EXPECT_TRUE(Has(u"oem3.inf"));
}

}  // namespace
}  // namespace cvl

// Connection entries, description counters, legacy Class\Net entries and
// whole registry trees.
#include "uninstall/connection_cleanup.h"

#include "uninstall/description_tables.h"
#include "uninstall/uninstall_fixture.h"

namespace cvl {
namespace {

using sim::Op;

const std::u16string kClass = test::kNetworkClass;
const std::u16string kDescriptions = kClass + u"\\Descriptions";

class ConnectionCleanupTest : public test::UninstallFixture {
protected:
    void AddConnection(std::u16string_view guid, std::u16string_view pnpInstanceId) {
        const std::u16string key = kClass + u"\\" + std::u16string(guid) + u"\\Connection";
        machine.Setup().SetRegString(key, u"PnpInstanceID", pnpInstanceId);
        machine.Setup().SetRegString(key, u"Name", u"Local Area Connection");
    }
    bool HasConnection(std::u16string_view guid) {
        return machine.Setup().RegKeyExists(kClass + u"\\" + std::u16string(guid));
    }
    void AddDescription(std::u16string_view name) {
        machine.Setup().SetRegDword(kDescriptions, name, 1);
    }
    bool HasDescription(std::u16string_view name) {
        return machine.Setup().GetRegValue(kDescriptions, name).has_value();
    }
};

TEST_F(ConnectionCleanupTest, AConnectionGoesWhenItsIdBeginsWithAPrefixOfASelectedFamily) {
    struct Case {
        FamilySet families;
        bool b703;
        bool deleted;
    };
    for (const Case &c : {Case{{FamilyPcie}, false, true}, Case{{FamilyVistaB701}, false, true},
                          Case{{FamilyVistaB703}, false, false}, Case{{}, true, false},
                          Case{{FamilyVdevQ2dp}, false, false}}) {
        sim::SimulatedPlatform fresh;
        const std::u16string key = kClass + u"\\{1}\\Connection";
        fresh.Setup().SetRegString(key, u"PnpInstanceID",
                                   u"PCI\\VEN_1F3A&DEV_B708&SUBSYS_00011F3A\\4&1a2b&0&00E0");
        InstallOptions selected;
        selected.families = c.families;
        selected.b703 = c.b703;
        EXPECT_TRUE(CleanNetworkConnectionEntries(fresh, selected));
        EXPECT_EQ(!fresh.Setup().RegKeyExists(kClass + u"\\{1}"), c.deleted);
        EXPECT_EQ(fresh.Setup().OpenHandleCount(), 0u);
    }
}

TEST_F(ConnectionCleanupTest, ConsecutiveConnectionsOfTheSelectionAreAllDeleted) {
    AddConnection(u"{1}", u"USB\\VID_0C7E&PID_B761\\0001");
    AddConnection(u"{2}", u"usb\\vid_0c7e&pid_b761\\0002");
    AddConnection(u"{3}", u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_1\\1");
    AddConnection(u"{4}", u"USB\\VID_2E61&PID_0761\\0003");
    machine.Setup().CreateRegKey(kClass + u"\\{5}");  // no Connection subkey
    options.families.Add(FamilyVistaB761);
    EXPECT_TRUE(CleanNetworkConnectionEntries(machine, options));
    EXPECT_FALSE(HasConnection(u"{1}"));
    EXPECT_FALSE(HasConnection(u"{2}"));
    EXPECT_TRUE(HasConnection(u"{3}"));
    EXPECT_FALSE(HasConnection(u"{4}"));
    EXPECT_TRUE(HasConnection(u"{5}"));
}

TEST_F(ConnectionCleanupTest, DescriptionsGoByExactNameAndByPrefix) {
    const DescriptionLists b702 = DescriptionListsFor(FamilyPcie);
    const std::u16string exact(b702.exact[0]);
    const std::u16string firstPrefix(b702.prefixes[0]);
    AddDescription(exact);
    AddDescription(firstPrefix + u" Server Adapter");
    AddDescription(firstPrefix + u" Server Adapter #2");  // two in a row
    AddDescription(u"Other Vendor Ethernet");
    options.families.Add(FamilyPcie);
    EXPECT_TRUE(CleanNetworkConnectionEntries(machine, options));
    EXPECT_FALSE(HasDescription(exact));
    EXPECT_FALSE(HasDescription(firstPrefix + u" Server Adapter"));
    EXPECT_FALSE(HasDescription(firstPrefix + u" Server Adapter #2"));
    EXPECT_TRUE(HasDescription(u"Other Vendor Ethernet"));
}

TEST_F(ConnectionCleanupTest, ASubkeyNamedLikeDescriptionsIsNeverAConnection) {
    AddConnection(u"DescriptionsOld", u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_1\\1");
    options.families.Add(FamilyPcie);
    EXPECT_TRUE(CleanNetworkConnectionEntries(machine, options));
    EXPECT_TRUE(HasConnection(u"DescriptionsOld"));
}

TEST_F(ConnectionCleanupTest, ANumberedExactNameIsNeverDeletedThroughTheExactList) {
    // B760's only prefix covers the maker's name; the partner's numbered
    // name is not covered.
    const DescriptionLists b760 = DescriptionListsFor(FamilyVistaB760);
    const std::u16string partner(b760.exact[1]);
    AddDescription(partner);
    AddDescription(partner + u" #2");
    options.families.Add(FamilyVistaB760);
    EXPECT_TRUE(CleanNetworkConnectionEntries(machine, options));
    EXPECT_FALSE(HasDescription(partner));
    EXPECT_TRUE(HasDescription(partner + u" #2"));
}

TEST_F(ConnectionCleanupTest, TheManagementFunctionsGoWithB702AndB701Only) {
    const auto management = DescriptionListsFor(FamilyVdevQ2dp).exact;
    for (const auto name : management) AddDescription(name);
    options.families.Add(FamilyVistaB703);
    options.families.Add(FamilyVdevQ2dp);
    EXPECT_TRUE(CleanNetworkConnectionEntries(machine, options));
    for (const auto name : management) EXPECT_TRUE(HasDescription(name));
    options.families.Add(FamilyVistaB701);
    EXPECT_TRUE(CleanNetworkConnectionEntries(machine, options));
    for (const auto name : management) EXPECT_FALSE(HasDescription(name));
}

TEST_F(ConnectionCleanupTest, TheDescriptionTablesHaveTheirRows) {
    struct Case {
        DeviceFamily family;
        std::size_t exact, prefixes;
    };
    for (const Case &c :
         {Case{FamilyPcie, 27, 24}, Case{FamilyPci, 8, 7}, Case{FamilyVistaB703, 30, 2},
          Case{FamilyVistaB701, 49, 39}, Case{FamilyVistaB760, 2, 1}, Case{FamilyVistaB761, 8, 8},
          Case{FamilyVistaB762, 21, 24}, Case{FamilyVistaB76x, 43, 42},
          Case{FamilyVdevQ2dp, 3, 0}}) {
        const DescriptionLists lists = DescriptionListsFor(c.family);
        EXPECT_EQ(lists.exact.size(), c.exact) << int(c.family);
        EXPECT_EQ(lists.prefixes.size(), c.prefixes) << int(c.family);
    }
    EXPECT_EQ(DescriptionListsFor(FamilyVistaB760).exact[0],
              u"Corvane CVLB760 USB 10/100 Fast Ethernet Adapter");
}

TEST_F(ConnectionCleanupTest, AClassKeyThatCannotBeReadEndsTheWalkWithFalse) {
    options.families.Add(FamilyPcie);
    EXPECT_FALSE(CleanNetworkConnectionEntries(machine, options));  // no class key
    AddConnection(u"{1}", u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_1\\1");
    machine.Setup().Fail({Op::RegEnumKeyExW, ERROR_ACCESS_DENIED, 1, 1});
    EXPECT_FALSE(CleanNetworkConnectionEntries(machine, options));
    EXPECT_TRUE(HasConnection(u"{1}"));
    EXPECT_EQ(OpenHandles(), 0u);
}

TEST_F(ConnectionCleanupTest, AnUnreadableConnectionIsPassedOver) {
    AddConnection(u"{1}", u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_1\\1");
    AddConnection(u"{2}", u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_1\\2");
    options.families.Add(FamilyPcie);
    machine.Setup().Fail({Op::RegQueryValueExW, ERROR_ACCESS_DENIED, 1, 1});
    EXPECT_TRUE(CleanNetworkConnectionEntries(machine, options));
    EXPECT_TRUE(HasConnection(u"{1}"));
    EXPECT_FALSE(HasConnection(u"{2}"));
}

class LegacyNetClassTest : public test::UninstallFixture {};

TEST_F(LegacyNetClassTest, TheB760EntriesOfTheFirstNineGo) {
    UseOsKind(Os9x98);
    const std::u16string net = u"HKLM\\System\\CurrentControlSet\\Services\\Class\\Net\\";
    machine.Setup().SetRegString(net + u"0000", u"DriverDesc", u"Dial-Up Adapter");
    machine.Setup().SetRegString(net + u"0003", u"DriverDesc",
                                 u"CORVANE CVLB760 USB 10/100 Fast Ethernet Adapter");
    machine.Setup().CreateRegKey(net + u"0003\\Ndi");
    machine.Setup().SetRegString(net + u"0009", u"DriverDesc",
                                 u"Corvane CVLB760 USB 10/100 Fast Ethernet Adapter");
    CleanLegacyNetClassEntries(machine, state);
    EXPECT_TRUE(machine.Setup().RegKeyExists(net + u"0000"));
    EXPECT_FALSE(machine.Setup().RegKeyExists(net + u"0003"));
    EXPECT_TRUE(machine.Setup().RegKeyExists(net + u"0009"));
    EXPECT_EQ(Log(), "OPEN NET SUCC\r\nOPEN NET SERIAL SUCC\r\nOPEN NET SERIAL SUCC\r\n");
}

TEST_F(LegacyNetClassTest, TheScanReachesEntriesZeroToEightAndNoFurther) {
    UseOsKind(Os9x98);
    const std::u16string net = u"HKLM\\System\\CurrentControlSet\\Services\\Class\\Net\\";
    for (int entry = 0; entry <= 10; ++entry)
        machine.Setup().SetRegString(net + (entry < 10 ? u"000" : u"00") + DecimalText(entry),
                                     u"DriverDesc",
                                     u"Corvane CVLB760 USB 10/100 Fast Ethernet Adapter");
    CleanLegacyNetClassEntries(machine, state);
    for (int entry = 0; entry <= 10; ++entry) {
        const std::u16string name = (entry < 10 ? u"000" : u"00") + DecimalText(entry);
        EXPECT_EQ(machine.Setup().RegKeyExists(net + name), entry > 8) << entry;
    }
}

TEST_F(LegacyNetClassTest, WithoutTheKeyNothingIsLogged) {
    CleanLegacyNetClassEntries(machine, state);
    EXPECT_EQ(Log(), "");
}

class RegistryTreeTest : public test::UninstallFixture {
protected:
    HKEY OpenParent(const char16_t *path) {
        HKEY key = nullptr;
        EXPECT_EQ(
            machine.RegCreateKeyExW(HKeyLocalMachine(), path, 0, KEY_ALL_ACCESS, &key, nullptr),
            ERROR_SUCCESS);
        return key;
    }
};

TEST_F(RegistryTreeTest, AWholeTreeGoesOnTheNtFamily) {
    machine.Setup().CreateRegKey(u"HKLM\\Software\\T\\a\\b\\c");
    machine.Setup().CreateRegKey(u"HKLM\\Software\\T\\a\\d");
    machine.Setup().CreateRegKey(u"HKLM\\Software\\T\\e");
    machine.Setup().CreateRegKey(u"HKLM\\Software\\U");
    HKEY parent = OpenParent(u"Software");
    EXPECT_TRUE(DeleteRegistryTree(machine, parent, u"T"));
    EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\Software\\T"));
    EXPECT_TRUE(machine.Setup().RegKeyExists(u"HKLM\\Software\\U"));
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(DeleteRegistryTree(machine, parent, u"T"));  // gone already
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Key not found.\n");
    EXPECT_TRUE(DeleteRegistryTree(machine, parent, u"U\\"));
    EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\Software\\U"));
    machine.RegCloseKey(parent);
    EXPECT_EQ(OpenHandles(), 0u);
}

TEST_F(RegistryTreeTest, AKeyThatCannotGoStopsTheDescentWithFalse) {
    machine.Setup().CreateRegKey(u"HKLM\\Software\\T\\a\\b");
    machine.Setup().CreateRegKey(u"HKLM\\Software\\T\\c");
    HKEY parent = OpenParent(u"Software");
    machine.Setup().Fail({Op::RegOpenKeyExW, ERROR_ACCESS_DENIED, 2, 1});  // T\a
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(DeleteRegistryTree(machine, parent, u"T"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error opening key.\n");
    EXPECT_TRUE(machine.Setup().RegKeyExists(u"HKLM\\Software\\T\\a\\b"));
    EXPECT_TRUE(machine.Setup().RegKeyExists(u"HKLM\\Software\\T\\c"));
    machine.RegCloseKey(parent);
    EXPECT_EQ(OpenHandles(), 0u);
}

TEST_F(RegistryTreeTest, APathThatDoesNotFitIsNeverCountedAsDeleted) {
    // Subkeys nested deeper than the 520-character buffer: the cut path
    // would not be found, count as deleted, and be read again for ever.
    std::u16string path = u"HKLM\\Software\\T";
    for (int level = 0; level < 4; ++level) path += u"\\" + std::u16string(200, u'k');
    machine.Setup().CreateRegKey(path);
    HKEY parent = OpenParent(u"Software");
    EXPECT_FALSE(DeleteRegistryTree(machine, parent, u"T"));
    EXPECT_TRUE(machine.Setup().RegKeyExists(u"HKLM\\Software\\T"));
    EXPECT_FALSE(DeleteRegistryTree(machine, parent, std::u16string(520, u'x')));
    machine.RegCloseKey(parent);
}

}  // namespace
}  // namespace cvl

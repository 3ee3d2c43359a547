// The driver store: publishing INFs, the installation-source list and
// driver updates, with the errors the documentation gives for each.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl::sim {
namespace {

constexpr char16_t kInf[] = u"C:\\pkg\\netcvl.inf";
constexpr char16_t kEnum[] = u"HKLM\\SYSTEM\\CurrentControlSet\\Enum\\";
constexpr char kPackageInf[] =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=Net\r\n"
    "ClassGUID={4D36E972-E325-11CE-BFC1-08002BE10318}\r\n"
    "Provider=%Mfg%\r\n"
    "CatalogFile=netcvl.cat\r\n"
    "DriverVer=05/07/2016,8.045.0507.2016\r\n"
    "[Manufacturer]\r\n"
    "%Mfg%=Corvane,NTamd64,NTx86\r\n"
    "[Corvane.NTamd64]\r\n"
    "%B702.Desc%=B702.ndi, PCI\\VEN_1F3A&DEV_B702&CC_0200, PCI\\VEN_1F3A&DEV_B705\r\n"
    "[Corvane.NTx86]\r\n"
    "%B702.Desc%=B702.ndi, PCI\\VEN_1F3A&DEV_B709&CC_0200\r\n"
    "[B702.ndi.NTamd64]\r\n"
    "AddReg=params, speed\r\n"
    "CopyFiles=drivers\r\n"
    "[B702.ndi.NTamd64.Services]\r\n"
    "AddService=cvlnet, 2, service\r\n"
    "[service]\r\n"
    "ServiceType=1\r\nStartType=3\r\nErrorControl=1\r\n"
    "ServiceBinary=%12%\\cvlnet.sys\r\n"
    "[params]\r\n"
    "HKR, Ndi, Service, 0, \"cvlnet\"\r\n"
    "HKR,, PnPCapabilities, 0x00010001, 0x20\r\n"
    "HKR,, Patterns, 0x00010000, \"a\", \"b\"\r\n"
    "HKR,, LogPath, 0x00020000, \"%%SystemRoot%%\\cvl\"\r\n"
    "[speed]\r\n"
    "HKR, Ndi\\params\\*SpeedDuplex, ParamDesc, , \"Speed & Duplex\"\r\n"
    "[DestinationDirs]\r\nDefaultDestDir=12\r\n"
    "[drivers]\r\ncvlnet.sys\r\n"
    "[Strings]\r\n"
    "Mfg=\"Corvane\"\r\n"
    "B702.Desc=\"Corvane PCIe GbE Family Controller\"\r\n";

DeviceSpec Adapter(std::u16string_view device, std::u16string_view instance = u"1") {
    DeviceSpec spec;
    const std::u16string id = u"PCI\\VEN_1F3A&DEV_" + std::u16string(device);
    spec.instanceId = id + u"&SUBSYS_00011043\\4&1f3a&0&" + std::u16string(instance);
    spec.hardwareIds = {id + u"&SUBSYS_00011043", id + u"&CC_0200"};
    spec.compatibleIds = {id, u"PCI\\CC_0200"};
    spec.withDriverKey = false;
    spec.started = false;
    return spec;
}

class DriverStoreContract : public ::testing::Test {
protected:
    DriverStoreContract() {
        sim.Setup().AddFile(kInf, kPackageInf);
        sim.Setup().AddFile(u"C:\\pkg\\netcvl.cat", "catalog");
        sim.Setup().AddFile(u"C:\\pkg\\cvlnet.sys", "driver image");
    }
    BOOL Update(const char16_t *id, DWORD flags = INSTALLFLAG_FORCE, const char16_t *inf = kInf) {
        return platform.UpdateDriverForPlugAndPlayDevicesW(id, inf, flags, nullptr);
    }
    std::u16string DriverKeyOf(const DeviceSpec &spec) {
        return u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\" +
               sim.Setup().GetRegString(kEnum + spec.instanceId, u"Driver").value_or(u"?");
    }

    SimulatedPlatform sim;
    Platform &platform = sim;
};

TEST_F(DriverStoreContract, PublishingAnInfNamesItOemNInTheInfFolder) {
    // SetupCopyOEMInf stores the INF as oemN.inf (lowest free N) with its
    // PNF, which keeps the SPOST_PATH location; an identical INF gets its
    // published name again (ERROR_FILE_EXISTS under SP_COPY_NOOVERWRITE);
    // the destination follows the size protocol in characters.
    sim.Setup().AddFile(u"C:\\Windows\\INF\\oem0.inf", "taken");
    char16_t destination[260];
    DWORD required = 0;
    ASSERT_TRUE(
        platform.SetupCopyOEMInfW(kInf, u"C:\\pkg", SPOST_PATH, 0, destination, 260, &required));
    EXPECT_EQ(std::u16string(destination), u"C:\\Windows\\INF\\oem1.inf");
    EXPECT_EQ(required, 24u);
    EXPECT_EQ(sim.Setup().ReadFileContents(u"C:\\Windows\\INF\\oem1.inf"), kPackageInf);
    EXPECT_NE(sim.Setup().ReadFileContents(u"C:\\Windows\\INF\\oem1.pnf")->find("C:\\pkg"),
              std::string::npos);
    ASSERT_TRUE(platform.SetupCopyOEMInfW(kInf, nullptr, SPOST_PATH, 0, nullptr, 0, &required));
    EXPECT_EQ(required, 24u);
    EXPECT_FALSE(platform.SetupCopyOEMInfW(kInf, nullptr, SPOST_PATH, SP_COPY_NOOVERWRITE,
                                           destination, 260, nullptr));
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(std::u16string(destination), u"C:\\Windows\\INF\\oem1.inf");
    EXPECT_FALSE(
        platform.SetupCopyOEMInfW(kInf, nullptr, SPOST_PATH, 0, destination, 23, &required));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_FALSE(sim.Setup().FileExists(u"C:\\Windows\\INF\\oem2.inf"));
}

TEST_F(DriverStoreContract, SourceFoldersAreListedOnceAndRemoved) {
    // The system source list holds each folder once, whatever its case.
    const char16_t kSetupKey[] = u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
    EXPECT_TRUE(platform.SetupAddToSourceListW(SRCLIST_SYSIFADMIN, u"C:\\pkg"));
    EXPECT_TRUE(platform.SetupAddToSourceListW(SRCLIST_SYSIFADMIN, u"c:\\PKG"));
    EXPECT_TRUE(platform.SetupAddToSourceListW(SRCLIST_SYSIFADMIN, u"D:\\other"));
    const BYTE both[] = {'C',  0, ':', 0, '\\', 0, 'p', 0, 'k', 0, 'g', 0, 0, 0, 'D', 0, ':', 0,
                         '\\', 0, 'o', 0, 't',  0, 'h', 0, 'e', 0, 'r', 0, 0, 0, 0,   0};
    EXPECT_EQ(sim.Setup().GetRegValue(kSetupKey, u"Installation Sources")->data,
              std::vector<BYTE>(both, both + sizeof both));
    EXPECT_TRUE(platform.SetupRemoveFromSourceListW(SRCLIST_SYSIFADMIN, u"D:\\OTHER"));
    EXPECT_TRUE(platform.SetupRemoveFromSourceListW(SRCLIST_SYSIFADMIN, u"c:\\pkg"));
    EXPECT_EQ(sim.Setup().GetRegValue(kSetupKey, u"Installation Sources")->data,
              (std::vector<BYTE>{0, 0}));
}

TEST_F(DriverStoreContract, StoreCallsCanBeMadeToFailWithoutPublishingAnything) {
    const char16_t kSetupKey[] = u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
    const std::vector<std::pair<Op, std::function<BOOL()>>> cases = {
        {Op::SetupCopyOEMInfW,
         [&] {
             return platform.SetupCopyOEMInfW(kInf, nullptr, SPOST_PATH, 0, nullptr, 0, nullptr);
         }},
        {Op::SetupAddToSourceListW,
         [&] { return platform.SetupAddToSourceListW(SRCLIST_SYSIFADMIN, u"C:\\pkg"); }},
        {Op::SetupRemoveFromSourceListW,
         [&] { return platform.SetupRemoveFromSourceListW(SRCLIST_SYSIFADMIN, u"C:\\pkg"); }},
    };
    for (const auto &[operation, call] : cases) {
        SCOPED_TRACE(operation);
        sim.Setup().Fail(operation, ERROR_ACCESS_DENIED, 1);
        EXPECT_FALSE(call());
        EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    }
    EXPECT_FALSE(sim.Setup().FileExists(u"C:\\Windows\\INF\\oem0.inf"));
    EXPECT_FALSE(sim.Setup().GetRegValue(kSetupKey, u"Installation Sources"));
}

TEST_F(DriverStoreContract, AnUpdateInstallsTheDriverAsTheInfDescribesIt) {
    // The hardware id matches case-insensitively; the INF is published;
    // the driver key names the INF, section, version and provider and gets
    // the HKR entries; the service is made and the device runs.
    const DeviceSpec spec = Adapter(u"B702");
    sim.Setup().AddDevice(spec);
    BOOL reboot = TRUE;
    ASSERT_TRUE(platform.UpdateDriverForPlugAndPlayDevicesW(u"pci\\ven_1f3a&dev_b702&cc_0200", kInf,
                                                            INSTALLFLAG_FORCE, &reboot));
    EXPECT_FALSE(reboot);
    const std::u16string key = DriverKeyOf(spec);
    const std::vector<std::pair<const char16_t *, std::u16string>> strings = {
        {u"DriverVersion", u"8.45.507.2016"},
        {u"DriverDate", u"5-7-2016"},
        {u"InfPath", u"oem0.inf"},
        {u"InfSection", u"B702.ndi"},
        {u"InfSectionExt", u".NTamd64"},
        {u"ProviderName", u"Corvane"},
        {u"DriverDesc", u"Corvane PCIe GbE Family Controller"},
        {u"MatchingDeviceId", u"pci\\ven_1f3a&dev_b702&cc_0200"},
        {u"ComponentId", u"pci\\ven_1f3a&dev_b702&cc_0200"},
        {u"Ndi\\Service", u"cvlnet"},
        {u"Ndi\\params\\*SpeedDuplex\\ParamDesc", u"Speed & Duplex"},
    };
    for (const auto &[name, expected] : strings) {
        const std::u16string path(name);
        const auto slash = path.rfind(u'\\');
        const std::u16string subkey =
            slash == std::u16string::npos ? u"" : u"\\" + path.substr(0, slash);
        EXPECT_EQ(sim.Setup().GetRegString(key + subkey, path.substr(slash + 1)), expected)
            << std::string(path.begin(), path.end());
    }
    EXPECT_EQ(sim.Setup().GetRegDword(key, u"PnPCapabilities"), 0x20u);
    EXPECT_EQ(sim.Setup().GetRegValue(key, u"Patterns")->type, REG_MULTI_SZ);
    EXPECT_EQ(sim.Setup().GetRegValue(key, u"LogPath")->type, REG_EXPAND_SZ);
    EXPECT_EQ(sim.Setup().GetRegString(key, u"LogPath"), u"%SystemRoot%\\cvl");
    const auto connection = sim.Setup().GetRegString(key, u"NetCfgInstanceId");
    ASSERT_TRUE(connection);
    EXPECT_EQ(connection->size(), 38u);
    EXPECT_EQ(connection->front(), u'{');

    EXPECT_EQ(sim.Setup().GetRegString(kEnum + spec.instanceId, u"Service"), u"cvlnet");
    EXPECT_EQ(sim.Setup().GetRegString(u"HKLM\\SYSTEM\\CurrentControlSet\\Services\\cvlnet",
                                       u"ImagePath"),
              u"\\SystemRoot\\system32\\drivers\\cvlnet.sys");
    EXPECT_EQ(sim.Setup().ReadFileContents(u"C:\\Windows\\system32\\drivers\\cvlnet.sys"),
              "driver image");
    EXPECT_EQ(sim.Setup().ReadFileContents(u"C:\\Windows\\INF\\oem0.inf"), kPackageInf);
    EXPECT_TRUE(sim.Setup().DeviceState(spec.instanceId)->started);
    EXPECT_EQ(
        sim.Setup().Timeline(),
        (std::vector<std::string>{
            "update PCI\\VEN_1F3A&DEV_B702&SUBSYS_00011043\\4&1f3a&0&1 C:\\pkg\\netcvl.inf"}));

    // A second install reuses the key and keeps the connection's GUID.
    sim.Setup().SetRegString(key, u"DriverVersion", u"1.0");
    ASSERT_TRUE(Update(u"PCI\\VEN_1F3A&DEV_B702&CC_0200"));
    EXPECT_EQ(DriverKeyOf(spec), key);
    EXPECT_EQ(sim.Setup().GetRegString(key, u"NetCfgInstanceId"), connection);
    EXPECT_EQ(sim.Setup().GetRegString(key, u"DriverVersion"), u"8.45.507.2016");
    EXPECT_FALSE(sim.Setup().FileExists(u"C:\\Windows\\INF\\oem1.inf"));
}

TEST_F(DriverStoreContract, EveryPresentDeviceWithTheIdIsUpdatedAlsoByCompatibleId) {
    // The id may stand in the compatible ids; a device that is not present
    // keeps its old state; each device gets its own driver key.
    const DeviceSpec first = Adapter(u"B705", u"1");
    DeviceSpec second = Adapter(u"B705", u"2");
    second.hardwareIds = {u"PCI\\VEN_1F3A&DEV_B705&SUBSYS_12345678"};
    DeviceSpec absent = Adapter(u"B705", u"3");
    absent.present = false;
    for (const auto &spec : {first, second, absent}) sim.Setup().AddDevice(spec);
    ASSERT_TRUE(Update(u"PCI\\VEN_1F3A&DEV_B705"));
    EXPECT_NE(DriverKeyOf(first), DriverKeyOf(second));
    EXPECT_EQ(sim.Setup().GetRegString(DriverKeyOf(second), u"MatchingDeviceId"),
              u"pci\\ven_1f3a&dev_b705");
    EXPECT_FALSE(sim.Setup().GetRegValue(kEnum + absent.instanceId, u"Driver"));
    EXPECT_EQ(sim.Setup().Timeline().size(), 2u);
    EXPECT_NE(sim.Setup().GetRegString(DriverKeyOf(first), u"NetCfgInstanceId"),
              sim.Setup().GetRegString(DriverKeyOf(second), u"NetCfgInstanceId"));
}

TEST_F(DriverStoreContract, FailedUpdatesReportTheDocumentedErrorAndChangeNothing) {
    sim.Setup().AddDevice(Adapter(u"B702"));
    sim.Setup().AddDevice(Adapter(u"B709"));
    sim.Setup().AddDevice(Adapter(u"B701"));
    DeviceSpec absent = Adapter(u"B705");
    absent.present = false;
    sim.Setup().AddDevice(absent);
    struct Case {
        const char *what;
        std::function<void()> arrange;
        const char16_t *id;
        DWORD flags;
        const char16_t *inf;
        DWORD error;
    };
    const auto nothing = [] {};
    const std::vector<Case> cases = {
        {"32-bit program on 64-bit Windows", [&] { sim.Setup().SetWow64(true); },
         u"PCI\\VEN_1F3A&DEV_B702&CC_0200", INSTALLFLAG_FORCE, kInf, ERROR_IN_WOW64},
        {"unknown flag", [&] { sim.Setup().SetWow64(false); }, u"PCI\\VEN_1F3A&DEV_B702&CC_0200",
         0x8, kInf, ERROR_INVALID_FLAGS},
        {"missing INF", nothing, u"PCI\\VEN_1F3A&DEV_B702&CC_0200", 0, u"C:\\pkg\\no.inf",
         ERROR_FILE_NOT_FOUND},
        {"relative INF path", nothing, u"PCI\\VEN_1F3A&DEV_B702&CC_0200", 0, u"netcvl.inf",
         ERROR_FILE_NOT_FOUND},
        {"no device with the id", nothing, u"PCI\\VEN_1F3A&DEV_B706", 0, kInf,
         ERROR_NO_SUCH_DEVINST},
        {"the only device is not present", nothing, u"PCI\\VEN_1F3A&DEV_B705&CC_0200", 0, kInf,
         ERROR_NO_SUCH_DEVINST},
        {"the INF has no model for the id", nothing, u"PCI\\VEN_1F3A&DEV_B701&CC_0200", 0, kInf,
         ERROR_NO_DRIVER_SELECTED},
        {"the model is for 32-bit Windows only", nothing, u"PCI\\VEN_1F3A&DEV_B709&CC_0200", 0,
         kInf, ERROR_NO_DRIVER_SELECTED},
        {"injected",
         [&] { sim.Setup().Fail(Op::UpdateDriverForPlugAndPlayDevicesW, ERROR_GEN_FAILURE, 1); },
         u"PCI\\VEN_1F3A&DEV_B702&CC_0200", INSTALLFLAG_FORCE, kInf, ERROR_GEN_FAILURE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        BOOL reboot = TRUE;
        EXPECT_FALSE(platform.UpdateDriverForPlugAndPlayDevicesW(c.id, c.inf, c.flags, &reboot));
        EXPECT_EQ(platform.GetLastError(), c.error);
        EXPECT_FALSE(reboot);
    }
    EXPECT_FALSE(sim.Setup().FileExists(u"C:\\Windows\\INF\\oem0.inf"));
    EXPECT_FALSE(sim.Setup().GetRegValue(kEnum + Adapter(u"B702").instanceId, u"Driver"));
    EXPECT_TRUE(sim.Setup().Timeline().empty());
}

TEST_F(DriverStoreContract, WithoutForceOnlyANewerDriverReplacesTheInstalledOne) {
    // ERROR_NO_MORE_ITEMS: the INF's driver is not better than the one the
    // device runs and INSTALLFLAG_FORCE was not given.
    const DeviceSpec spec = Adapter(u"B702");
    sim.Setup().AddDevice(spec);
    ASSERT_TRUE(Update(u"PCI\\VEN_1F3A&DEV_B702&CC_0200", 0));
    EXPECT_FALSE(Update(u"PCI\\VEN_1F3A&DEV_B702&CC_0200", 0x4 /*INSTALLFLAG_NONINTERACTIVE*/));
    EXPECT_EQ(platform.GetLastError(), ERROR_NO_MORE_ITEMS);
    sim.Setup().SetRegString(DriverKeyOf(spec), u"DriverDate", u"1-2-2015");
    EXPECT_TRUE(Update(u"PCI\\VEN_1F3A&DEV_B702&CC_0200", 0));
    EXPECT_EQ(sim.Setup().GetRegString(DriverKeyOf(spec), u"DriverDate"), u"5-7-2016");
}

}  // namespace
}  // namespace cvl::sim

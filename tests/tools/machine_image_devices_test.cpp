#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "app/run_installer.h"
#include "common/text.h"
#include "host_runner/runner_command_line.h"
#include "machine_image/machine_image.h"
#include "machine_image/machine_image_run.h"
#include "platform/guid_text.h"
#include "tools/machine_image_testing.h"

namespace cvl::image {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::ScratchFolder;
using test::SnapshotOf;

constexpr char16_t kClassKey[] =
    u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972-e325-11ce-bfc1-08002be10318}";
constexpr char16_t kDemoPcie[] =
    u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00011043&REV_06\\4&2A1F3A70&0&00E4";
constexpr char16_t kDemoUsb[] = u"USB\\VID_0C7E&PID_B762\\00E04C3A7621";

bool Contains(const std::string &text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

MachineSettings ParseOrFail(const std::string &text) {
    MachineSettings settings;
    TextError error;
    EXPECT_TRUE(ParseMachineSettings(text, settings, error)) << error.line << ": " << error.message;
    return settings;
}

TEST(DeviceAndServiceRows, ReadEveryFormAndWriteItBackInOne) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"device = ROOT\\X\\0000 | state=stopped",
         "device = ROOT\\X\\0000 | class=Net | state=stopped"},
        {"device = USB\\V&P\\S  |  hardware = A , B | state=started, hidden, disableable | "
         "class=net",
         "device = USB\\V&P\\S | class=net {4d36e972-e325-11ce-bfc1-08002be10318} | "
         "state=started,disableable,hidden | hardware=A,B"},
        {"device = X\\Y\\Z | class=Ports {4d36e978-e325-11ce-bfc1-08002be10318} | state=absent",
         "device = X\\Y\\Z | class=Ports {4d36e978-e325-11ce-bfc1-08002be10318} | state=absent"},
        // Ids may hold bars, equals signs and quotes; only " | " ends a field.
        {"device = A|B\\C=D\\\"E\" | compatible=X|Y,\"Q\" | state=disabled,disableable",
         "device = A|B\\C=D\\\"E\" | class=Net | state=disabled,disableable | "
         "compatible=X|Y,\"Q\""},
        {"device = P\\Q\\R | state=started | driver=0042 Bar=\"a | b\" Quote=\"say \"\"hi\"\"\" "
         "E=\"\"",
         "device = P\\Q\\R | class=Net | state=started | driver=0042 Bar=\"a | b\" "
         "Quote=\"say \"\"hi\"\"\" E=\"\""},
        // A device without a driver yet: no Class value, no ClassGUID, or neither.
        {"device = PCI\\V\\1 | state=stopped | class=(no value) "
         "{4d36e972-e325-11ce-bfc1-08002be10318}",
         "device = PCI\\V\\1 | class=(no value) {4d36e972-e325-11ce-bfc1-08002be10318} | "
         "state=stopped"},
        {"device = PCI\\V\\2 | class=  (no   value)  (no value) | state=started",
         "device = PCI\\V\\2 | class=(no value) (no value) | state=started"},
        {"device = PCI\\V\\3 | class=Net (no value) | state=started",
         "device = PCI\\V\\3 | class=Net (no value) | state=started"},
        {"service = cvle62x64 | image=system32\\DRIVERS\\cvle62x64.sys",
         "service = cvle62x64 | image=system32\\DRIVERS\\cvle62x64.sys | type=1 | start=3"},
        {"service = My Service | start=0x2 | image=\\SystemRoot\\a b.sys | type=16",
         "service = My Service | image=\\SystemRoot\\a b.sys | type=16 | start=2"},
    };
    for (const auto &[line, canonical] : cases) {
        SCOPED_TRACE(line);
        const MachineSettings settings =
            ParseOrFail(std::string(test::kSmallSettings) + std::string(line) + "\n");
        const std::string written = FormatMachineSettings(settings);
        EXPECT_TRUE(Contains(written, "\n" + std::string(canonical) + "\n")) << written;
        EXPECT_EQ(ParseOrFail(written), settings);
    }
    const auto row = ParseOrFail(std::string(test::kSmallSettings) + std::string(cases[4].first));
    const std::vector<std::pair<std::u16string, std::u16string>> texts = {
        {u"Bar", u"a | b"}, {u"Quote", u"say \"hi\""}, {u"E", u""}};
    ASSERT_EQ(row.devices.size(), 1u);
    EXPECT_EQ(row.devices[0].driverTexts, texts);
    EXPECT_EQ(row.devices[0].driverKey, u"0042");
}

TEST(DeviceRows, NameTheLineAndTheMistake) {
    const std::string ok = "device = A\\B\\C | state=started";
    const std::tuple<std::string, std::size_t, std::string_view> cases[] = {
        {"device = PCI\\VEN_1 | state=started", 6, "bad device: expected the device instance id"},
        {"device = A\\B\\C D | state=started", 6, "expected the device instance id"},
        {"device = A\\B,X\\C | state=started", 6, "expected the device instance id"},
        {"device = A\\B\\C", 6, "the field state is missing"},
        {ok + " | state=stopped", 6, "the field state is given twice"},
        {ok + " | colour=red", 6, "one of the names class, state, hardware, compatible, driver"},
        {"device = A\\B\\C | state=started,stopped", 6, "expected one of started"},
        {"device = A\\B\\C | state=started,started", 6, "\"started\" is given twice"},
        {"device = A\\B\\C | state=disabled", 6, "only a disableable device can be disabled"},
        {"device = A\\B\\C | state=absent,hidden", 6, "an absent device"},
        {ok + " | class=Ports", 6, "class: expected class=Net, or"},
        {ok + " | class=Ports {4d36e978}", 6, "class: expected"},
        {ok + " | class=(no value)", 6, "class: expected"},
        {ok + " | class=(none) (no)", 6, "class: expected"},
        {ok + " | class=Ports (no value) {4d36e978-e325-11ce-bfc1-08002be10318}", 6,
         "class: expected"},
        {ok + " | class=(no value) (no value) | driver=0007", 6,
         "a device without a class GUID has no driver key"},
        {ok + " | hardware=A B", 6, "\"A B\" is no device id"},
        {ok + " | compatible=A,,B", 6, "\"\" is no device id"},
        {ok + " | driver=7", 6, "four digits"},
        {ok + " | driver=0007 Name=text", 6, "must be in double quotes"},
        {ok + " | driver=0007 Name=\"open", 6, "must be in double quotes"},
        {ok + " | driver=0007 A=\"1\"B=\"2\"", 6, "must be in double quotes"},
        {ok + " | driver=0007 A=\"1\" a=\"2\"", 6, "the driver value a is given twice"},
        {"device = A\\B\\C | driver=0000 | state=started", 6, "expected Name=\"text\""},
        {ok + "\n" + "device = a\\b\\c | state=stopped", 7, "the device a\\b\\c is already given"},
        {ok + " | driver=0001\ndevice = D\\E\\F | state=started | driver=0001", 7,
         "driver key {4d36e972-e325-11ce-bfc1-08002be10318}\\0001 already belongs to A\\B\\C"},
        {"service = | image=x.sys", 6, "bad service: expected the service name first"},
        {"service = a/b | image=x.sys", 6, "expected the service name first"},
        {"service = svc | type=1", 6, "the field image is missing"},
        {"service = svc | image=x.sys | start=auto", 6, "start: expected a number"},
        {"service = svc | image=x.sys\nservice = SVC | image=y.sys", 7, "already given"},
    };
    for (const auto &[added, line, says] : cases) {
        SCOPED_TRACE(added);
        MachineSettings settings;
        TextError error;
        EXPECT_FALSE(
            ParseMachineSettings(std::string(test::kSmallSettings) + added, settings, error));
        EXPECT_EQ(error.line, line);
        EXPECT_NE(error.message.find(says), std::string::npos) << error.message;
    }
}

// A small image with a device of every kind, registry values beside the
// rows, and a driver key of the class that belongs to no row.
fs::path WriteDeviceImage(const ScratchFolder &scratch) {
    const fs::path image = scratch.WriteSmallImage("devices");
    scratch.Write(
        "devices/machine.txt",
        std::string(test::kSmallSettings) +
            "device = PCI\\VEN_1F3A&DEV_B702\\3&11&0&E4 | state=started,disableable"
            " | hardware=PCI\\VEN_1F3A&DEV_B702&CC_0200 | driver=0005 "
            "ComponentId=\"pci\\ven_1f3a&dev_b702\" DriverDesc=\"Corvane \"\"A\"\"\"\n"
            "device = USB\\VID_0C7E&PID_B762\\SN1 | state=stopped,hidden"
            " | compatible=USB\\Class_FF\n"
            "device = PCI\\VEN_1F3A&DEV_B701\\3&11&0&E0 | state=disabled,disableable"
            " | driver=0001 InfPath=\"oem9.inf\"\n"
            "device = PCI\\VEN_1F3A&DEV_B705\\3&11&0&E8 | state=absent | driver=0003\n"
            "device = ACPI\\PNP0501\\1 | class=Ports {4d36e978-e325-11ce-bfc1-08002be10318}"
            " | state=started\n"
            "service = cvle62x64 | image=system32\\DRIVERS\\cvle62x64.sys\n"
            "service = Other One | image=\\SystemRoot\\o.sys | type=2 | start=0\n");
    scratch.Write("devices/registry.reg",
                  std::string(test::kSmallRegistry) + "\r\n[" + ToUtf8(kClassKey) +
                      "\\0000]\r\n\"DriverDesc\"=\"Older\"\r\n"
                      "\r\n[" +
                      ToUtf8(kClassKey) +
                      "\\0005]\r\n\"BusType\"=dword:00000005\r\n"
                      "\r\n[HKLM\\SYSTEM\\CurrentControlSet\\Services\\cvle62x64]\r\n"
                      "\"Group\"=\"NDIS\"\r\n");
    return image;
}

TEST(MachineImageDevices, LoadSeedsTheRowsWithTheirDriverKeysAndSavesThemBackTheSame) {
    ScratchFolder scratch;
    sim::SimulatedPlatform machine;
    MachineSettings settings;
    std::string error;
    ASSERT_TRUE(LoadMachineImage(WriteDeviceImage(scratch), machine, settings, error)) << error;

    const std::u16string enumKey = u"HKLM\\SYSTEM\\CurrentControlSet\\Enum\\";
    EXPECT_EQ(
        machine.Setup().GetRegString(enumKey + u"PCI\\VEN_1F3A&DEV_B702\\3&11&0&E4", u"Driver"),
        u"{4d36e972-e325-11ce-bfc1-08002be10318}\\0005");
    EXPECT_EQ(machine.Setup().GetRegString(std::u16string(kClassKey) + u"\\0005", u"DriverDesc"),
              u"Corvane \"A\"");
    EXPECT_EQ(machine.Setup().GetRegDword(std::u16string(kClassKey) + u"\\0005", u"BusType"), 5u);
    EXPECT_EQ(machine.Setup().GetRegString(std::u16string(kClassKey) + u"\\0000", u"DriverDesc"),
              u"Older");
    const auto disabled = machine.Setup().DeviceState(u"PCI\\VEN_1F3A&DEV_B701\\3&11&0&E0");
    ASSERT_TRUE(disabled.has_value());
    EXPECT_TRUE(disabled->present && disabled->disabled && !disabled->started);
    // Loading switched nothing: the disabled device came that way.
    EXPECT_TRUE(machine.Setup().Timeline().empty());
    EXPECT_TRUE(machine.Setup().ClassInstallerCalls().empty());
    EXPECT_TRUE(machine.Setup().DeviceTreeCalls().empty());
    EXPECT_FALSE(machine.Setup().DeviceState(u"PCI\\VEN_1F3A&DEV_B705\\3&11&0&E8")->present);

    // Saved and loaded again, and saved once more: the same machine, the
    // same rows, the same files.
    ASSERT_TRUE(SaveMachineImage(machine, settings, scratch.path() / "first", error)) << error;
    sim::SimulatedPlatform reloaded;
    MachineSettings reloadedSettings;
    ASSERT_TRUE(LoadMachineImage(scratch.path() / "first", reloaded, reloadedSettings, error))
        << error;
    const MachineSnapshot original = SnapshotOf(machine), copy = SnapshotOf(reloaded);
    EXPECT_TRUE(SameSnapshot(original, copy));
    for (const std::string &change : DiffSnapshots(original, copy)) ADD_FAILURE() << change;
    EXPECT_EQ(reloadedSettings, settings);
    ASSERT_TRUE(SaveMachineImage(reloaded, reloadedSettings, scratch.path() / "second", error));
    EXPECT_EQ(test::FolderContents(scratch.path() / "second"),
              test::FolderContents(scratch.path() / "first"));
    // What the rows seed is not written twice.
    const std::string registry = test::ReadHostFile(scratch.path() / "first/registry.reg");
    EXPECT_FALSE(Contains(registry, "C\0o\0m\0p\0o\0n\0e\0n\0t\0I\0d"s)) << "ComponentId";
}

// The instance ids of the present devices a list holds: of every class, or
// of one.
std::vector<std::u16string> ListedIds(Platform &platform, const Guid *classGuid) {
    const HDEVINFO list = platform.SetupDiGetClassDevsW(
        classGuid, nullptr, DIGCF_PRESENT | (classGuid ? 0 : DIGCF_ALLCLASSES));
    std::vector<std::u16string> ids;
    DevInfoData device{};
    for (DWORD i = 0; platform.SetupDiEnumDeviceInfo(list, i, &device); ++i) {
        char16_t id[256] = {};
        if (platform.SetupDiGetDeviceInstanceIdW(list, &device, id, 256, nullptr))
            ids.emplace_back(id);
    }
    platform.SetupDiDestroyDeviceInfoList(list);
    return ids;
}

// Adapters found but never installed: Windows lists them among all devices,
// and in a class's list only when their ClassGUID names that class.
TEST(MachineImageDevices, DevicesWithoutAClassLoadListAndSaveBackTheSame) {
    ScratchFolder scratch;
    scratch.WriteSmallImage("bare");
    scratch.Write("bare/machine.txt",
                  std::string(test::kSmallSettings) +
                      "device = PCI\\VEN_1F3A&DEV_B702\\1 | class=(no value) "
                      "{4d36e972-e325-11ce-bfc1-08002be10318} | state=stopped"
                      " | hardware=PCI\\VEN_1F3A&DEV_B702\n"
                      "device = PCI\\VEN_1F3A&DEV_B702\\2 | class=(no value) (no value)"
                      " | state=stopped | hardware=PCI\\VEN_1F3A&DEV_B702\n"
                      "device = ROOT\\NET\\0000 | class=(no value) "
                      "{00000000-0000-0000-0000-000000000000} | state=started\n");
    sim::SimulatedPlatform machine;
    MachineSettings settings;
    std::string error;
    ASSERT_TRUE(LoadMachineImage(scratch.path() / "bare", machine, settings, error)) << error;

    const std::u16string enumKey = u"HKLM\\SYSTEM\\CurrentControlSet\\Enum\\";
    EXPECT_EQ(machine.Setup().GetRegString(enumKey + u"PCI\\VEN_1F3A&DEV_B702\\1", u"ClassGUID"),
              sim::kNetClassGuidText);
    for (const char16_t *id : {u"PCI\\VEN_1F3A&DEV_B702\\1", u"PCI\\VEN_1F3A&DEV_B702\\2"}) {
        EXPECT_FALSE(machine.Setup().GetRegString(enumKey + id, u"Class")) << ToUtf8(id);
        EXPECT_FALSE(machine.Setup().GetRegString(enumKey + id, u"Driver")) << ToUtf8(id);
    }
    EXPECT_FALSE(
        machine.Setup().GetRegString(enumKey + u"PCI\\VEN_1F3A&DEV_B702\\2", u"ClassGUID"));
    // No class key is made for a GUID that names no installed class.
    EXPECT_FALSE(
        machine.Setup().RegKeyExists(u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{00000000-"
                                     u"0000-0000-0000-000000000000}"));

    const Guid net = *win::ParseGuid(sim::kNetClassGuidText);
    EXPECT_EQ(ListedIds(machine, nullptr),
              (std::vector<std::u16string>{u"PCI\\VEN_1F3A&DEV_B702\\1",
                                           u"PCI\\VEN_1F3A&DEV_B702\\2", u"ROOT\\NET\\0000"}));
    EXPECT_EQ(ListedIds(machine, &net),
              (std::vector<std::u16string>{u"PCI\\VEN_1F3A&DEV_B702\\1"}));

    ASSERT_TRUE(SaveMachineImage(machine, settings, scratch.path() / "first", error)) << error;
    sim::SimulatedPlatform reloaded;
    MachineSettings reloadedSettings;
    ASSERT_TRUE(LoadMachineImage(scratch.path() / "first", reloaded, reloadedSettings, error))
        << error;
    for (const std::string &change : DiffSnapshots(SnapshotOf(machine), SnapshotOf(reloaded)))
        ADD_FAILURE() << change;
    EXPECT_EQ(reloadedSettings, settings);
    const std::string saved = test::ReadHostFile(scratch.path() / "first/machine.txt");
    EXPECT_TRUE(Contains(saved, "| class=(no value) (no value) |")) << saved;

    // A device whose key lost its class values keeps its row without them.
    const std::u16string usbKey = enumKey + kDemoUsb;
    sim::SimulatedPlatform demo;
    MachineSettings demoSettings;
    ASSERT_TRUE(LoadMachineImage(test::kDemoImage, demo, demoSettings, error)) << error;
    demo.Setup().DeleteRegValue(usbKey, u"Class");
    ASSERT_TRUE(SaveMachineImage(demo, demoSettings, scratch.path() / "demo", error)) << error;
    sim::SimulatedPlatform demoReloaded;
    ASSERT_TRUE(LoadMachineImage(scratch.path() / "demo", demoReloaded, error)) << error;
    for (const std::string &change : DiffSnapshots(SnapshotOf(demo), SnapshotOf(demoReloaded)))
        ADD_FAILURE() << change;
    EXPECT_TRUE(Contains(test::ReadHostFile(scratch.path() / "demo/machine.txt"),
                         ToUtf8(kDemoUsb) + " | class=(no value) {"));
}

// Removes a device, or switches it, the way a program does.
bool CallClassInstaller(Platform &platform, std::u16string_view instanceId, DWORD function,
                        DWORD stateChange = 0) {
    DEVINST devInst = 0;
    const std::u16string id(instanceId);
    if (platform.CM_Locate_DevNode_ExW(&devInst, id.c_str(), 0, nullptr) != CR_SUCCESS)
        return false;
    const HDEVINFO list = platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_ALLCLASSES);
    DevInfoData device{};
    bool done = false;
    for (DWORD i = 0; !done && platform.SetupDiEnumDeviceInfo(list, i, &device); ++i) {
        if (device.DevInst != devInst) continue;
        const ClassInstallParams params{function, stateChange, 1, 0};
        done = platform.SetupDiSetClassInstallParamsW(list, &device, &params) &&
               platform.SetupDiCallClassInstaller(function, list, &device);
    }
    platform.SetupDiDestroyDeviceInfoList(list);
    return done;
}

TEST(MachineImageDevices, ARunsDeviceChangesShowInTheReportAndInTheSavedImage) {
    ScratchFolder scratch;
    const fs::path input = scratch.path() / "demo";
    fs::copy(test::kDemoImage, input, fs::copy_options::recursive);
    const fs::path saved = scratch.path() / "saved";
    // The program switches the PCI Express adapter off, waits, takes the
    // USB adapter out, changes a driver parameter and a service.
    const sim::ProgramEntry program = [](Platform &platform, std::u16string tail) -> DWORD {
        DWORD code = RunInstaller(platform, tail);
        platform.Sleep(500);
        code += CallClassInstaller(platform, kDemoUsb, DIF_REMOVE) ? 0 : 100;
        HKEY key = nullptr;
        const std::u16string driverKey = std::u16string(kClassKey).substr(5) + u"\\0007";
        platform.RegOpenKeyExW(HKeyLocalMachine(), driverKey.c_str(), 0, KEY_ALL_ACCESS, &key);
        const char16_t jumbo[] = u"9014";
        platform.RegSetValueExW(key, u"*JumboPacket", REG_SZ, reinterpret_cast<const BYTE *>(jumbo),
                                sizeof jumbo);
        platform.RegCloseKey(key);
        platform.RegOpenKeyExW(HKeyLocalMachine(),
                               u"SYSTEM\\CurrentControlSet\\Services\\cvlu62x64", 0, KEY_ALL_ACCESS,
                               &key);
        platform.RegDeleteValueW(key, u"Start");
        platform.RegCloseKey(key);
        return code;
    };
    std::ostringstream out, err;
    const int status = runner::RunHostCommand(
        {"--machine", input.string(), "--save", saved.string(), "/dnicdrv", "/b702"}, program, out,
        err);
    ASSERT_EQ(status, 0) << err.str() << out.str();

    const std::string pcie = ToUtf8(kDemoPcie), usb = ToUtf8(kDemoUsb);
    EXPECT_TRUE(Contains(out.str(), "Timeline:\n  disable " + pcie + "\n  sleep 500\n  remove " +
                                        usb + "\nChanges:\n  ~ device " + pcie +
                                        ": started -> disabled\n  - device " + usb + "\n"))
        << out.str();

    const std::string rows = test::ReadHostFile(saved / "machine.txt");
    EXPECT_TRUE(Contains(rows, pcie + " | class=Net | state=disabled,disableable")) << rows;
    EXPECT_TRUE(Contains(rows, "*JumboPacket=\"9014\"")) << rows;
    EXPECT_FALSE(Contains(rows, usb)) << rows;
    EXPECT_FALSE(Contains(rows, "service = cvlu62x64")) << rows;
    EXPECT_TRUE(Contains(rows, "service = cvle62x64")) << rows;

    // The saved image is the machine the run left.
    sim::SimulatedPlatform after, reloaded;
    std::string error;
    ASSERT_TRUE(LoadMachineImage(input, after, error)) << error;
    MachineRunReport report;
    ASSERT_TRUE(RunOnMachine(after, u"/dnicdrv /b702", program, report, error)) << error;
    ASSERT_TRUE(LoadMachineImage(saved, reloaded, error)) << error;
    const MachineSnapshot left = SnapshotOf(after), copy = SnapshotOf(reloaded);
    EXPECT_TRUE(SameSnapshot(left, copy));
    for (const std::string &change : DiffSnapshots(left, copy)) ADD_FAILURE() << change;
}

TEST(MachineImageDevices, SavingRefusesAMachineTheRowsCouldNotGiveBack) {
    ScratchFolder scratch;
    sim::SimulatedPlatform machine;
    MachineSettings settings;
    std::string error;
    ASSERT_TRUE(LoadMachineImage(test::kDemoImage, machine, settings, error)) << error;
    // The class key without its name: each row of the class would name it
    // again.
    machine.Setup().DeleteRegValue(kClassKey, u"Class");

    EXPECT_FALSE(SaveMachineImage(machine, settings, scratch.path() / "saved", error));
    EXPECT_TRUE(Contains(error, "would bring back " + ToUtf8(kClassKey) + "\\Class")) << error;
    EXPECT_FALSE(fs::exists(scratch.path() / "saved"));
}

}  // namespace
}  // namespace cvl::image

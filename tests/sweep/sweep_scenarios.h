// The scenarios every platform failure and every interruption is tried on:
// one machine each, seeded with the product's adapters and with things of
// other makers that no run may touch, one command line, and the exit code
// of the run that meets no failure.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/run_installer.h"
#include "common/os_kind.h"
#include "platform/sim/parts/paths.h"
#include "platform/sim/simulated_platform.h"
#include "state/setup_state.h"
#include "support/devices.h"
#include "support/install_package.h"
#include "sweep/product_things.h"
#include "uninstall/uninstall_fixture.h"

namespace cvl::test {

// What an action may end with.
enum class ActionKind { kInstall, kUninstall, kDeviceQuery, kRecordVersion, kOther };

inline std::vector<DWORD> AllowedExitCodes(ActionKind kind) {
    switch (kind) {
        case ActionKind::kInstall:
            return {0, 8, 9, 10, 12, 13};
        case ActionKind::kUninstall:
            return {0, 8, 10};
        case ActionKind::kDeviceQuery:
            return {0, 11};
        case ActionKind::kRecordVersion:
            // "/q" finds the package the way an install does.
            return {0, 9};
        case ActionKind::kOther:
            break;
    }
    return {0};
}

struct Scenario {
    std::string name;
    std::function<void(sim::SimulatedPlatform &, OwnedThings &)> seed;
    std::u16string tail;
    DWORD expectedExitCode = 0;
    ActionKind kind = ActionKind::kOther;
};

// Test lists and failures name a scenario by its name.
inline void PrintTo(const Scenario &scenario, std::ostream *out) {
    *out << scenario.name;
}

inline constexpr char16_t kConnectionsKey[] =
    u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Network\\{4d36e972-e325-11ce-bfc1-08002be10318}\\";

// An adapter of the product: its device, driver key and connection are the
// product's to change.
inline void AddAdapter(sim::SimulatedPlatform &machine, OwnedThings &owned,
                       const sim::DeviceSpec &spec) {
    const std::u16string driverKey = machine.Setup().AddDevice(spec);
    owned.devices.push_back(spec.instanceId);
    owned.places.push_back(u"HKLM\\SYSTEM\\CurrentControlSet\\Enum\\" + spec.instanceId + u"*");
    if (!driverKey.empty()) owned.places.push_back(driverKey + u"*");
    const std::u16string guid = DriverString(spec, u"NetCfgInstanceId");
    if (!guid.empty()) {
        owned.places.push_back(kConnectionsKey + guid + u"*");
        machine.Setup().SetRegString(kConnectionsKey + guid + u"\\Connection", u"PnpInstanceID",
                                     spec.instanceId);
    }
}

// Things of other makers in the places the product works in: a network
// adapter with its driver key and connection, a published INF, an Uninstall
// entry, a driver file and a DLL.
inline void AddOtherMakersThings(sim::SimulatedPlatform &machine) {
    sim::DeviceSpec other;
    other.instanceId = u"PCI\\VEN_8086&DEV_10D3&SUBSYS_00008086&REV_00\\3&11583659&0&C8";
    other.hardwareIds = {u"PCI\\VEN_8086&DEV_10D3&SUBSYS_00008086&REV_00",
                         u"PCI\\VEN_8086&DEV_10D3"};
    other.driverStrings = {{u"ComponentId", u"pci\\ven_8086&dev_10d3"},
                           {u"DriverVersion", u"12.6.47.1"},
                           {u"NetCfgInstanceId", u"{11111111-2222-4333-8444-555555555555}"},
                           {u"InfPath", u"oem1.inf"}};
    machine.Setup().AddDevice(other);
    machine.Setup().SetRegString(
        std::u16string(kConnectionsKey) + u"{11111111-2222-4333-8444-555555555555}\\Connection",
        u"PnpInstanceID", other.instanceId);
    machine.Setup().AddFile(u"C:\\Windows\\INF\\oem1.inf",
                            MakerInf("PCI\\VEN_8086&DEV_10D3", "Contoso"));
    machine.Setup().AddFile(u"C:\\Windows\\INF\\oem1.PNF", "pnf");
    machine.Setup().SetRegString(
        u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ContosoNet",
        u"DisplayName", u"Contoso network driver");
    machine.Setup().AddFile(u"C:\\Windows\\system32\\drivers\\e1c62x64.sys", "sys");
    machine.Setup().AddFile(u"C:\\Windows\\system32\\netcfgx.dll", "dll");
    machine.Setup().AddFile(u"C:\\Windows\\system32\\pnputil.exe", "tool");
}

// The maker's INF files already on the machine (and the PNF beside each)
// are the product's.
inline void OwnMakersInfs(const sim::SimulatedPlatform &machine, OwnedThings &owned) {
    for (const auto &[path, contents] : machine.Setup().AllFiles()) {
        const std::u16string folded = sim::FoldedName(path);
        if (!folded.ends_with(u".inf") || folded.find(u"\\inf\\") == std::u16string::npos) continue;
        if (contents.find("Corvane") == std::string::npos) continue;
        owned.places.push_back(path);
        owned.places.push_back(path.substr(0, path.size() - 4) + u".PNF");
    }
}

inline DWORD RunWholly(sim::SimulatedPlatform &machine, std::u16string_view tail) {
    DWORD code = RunInstaller(machine, tail);
    if (const auto ended = machine.Setup().ExitProcessCode()) code = *ended;
    machine.Setup().FinishRunAndStartChildren(code,
                                              [](Platform &platform, std::u16string childTail) {
                                                  return RunInstaller(platform, childTail);
                                              });
    return code;
}

inline sim::DeviceSpec OldB702() {
    return PciAdapter(u"B702", u"1", u"8.45.507.2016");
}

// A machine with the package, other makers' things and, through `adapters`,
// the product's adapters; `before` runs first, fault-free, as an earlier
// run of the product that left its records (an install before an
// uninstall).
inline std::function<void(sim::SimulatedPlatform &, OwnedThings &)> Machine(
    OsKind kind, std::vector<sim::DeviceSpec> adapters, std::u16string before = u"",
    std::function<void(sim::SimulatedPlatform &, OwnedThings &)> extra = nullptr) {
    return [=](sim::SimulatedPlatform &machine, OwnedThings &owned) {
        SetOsKind(machine, kind);
        AddPackage(machine);
        AddOtherMakersThings(machine);
        for (const auto &adapter : adapters) AddAdapter(machine, owned, adapter);
        if (extra) extra(machine, owned);
        if (!before.empty()) {
            RunWholly(machine, before);
            machine.Setup().StartProgramAgain();
        }
        OwnMakersInfs(machine, owned);
    };
}

inline sim::DeviceSpec WithInf(sim::DeviceSpec spec, std::u16string_view infPath) {
    for (auto &[name, value] : spec.driverStrings)
        if (name == u"InfPath") value = infPath;
    return spec;
}

inline sim::DeviceSpec B760Adapter() {
    auto spec = WithInf(UsbAdapter(u"0C7E", u"B760", u"0100"), u"oem12.inf");
    spec.hardwareIds = {u"USB\\VID_0C7E&PID_B760&REV_0100", u"USB\\VID_0C7E&PID_B760"};
    return spec;
}

// The B760 as an earlier install left it: its published INF, its service
// and driver file, its records.
inline void B760Leftovers(sim::SimulatedPlatform &machine, OwnedThings &owned) {
    machine.Setup().AddService(u"USB-100", u"system32\\DRIVERS\\CVLB760.sys");
    machine.Setup().AddFile(u"C:\\Windows\\system32\\DRIVERS\\CVLB760.sys", "sys");
    owned.places.push_back(u"C:\\Windows\\system32\\DRIVERS\\CVLB760.sys");
    machine.Setup().AddFile(u"C:\\Windows\\INF\\oem12.inf",
                            MakerInf("USB\\VID_0C7E&PID_B760&REV_0100"));
    machine.Setup().AddFile(u"C:\\Windows\\INF\\oem12.PNF", "pnf");
    WriteSetupValue(machine, u"InfName", u"C:\\Windows\\INF\\oem12.inf", FamilyVistaB760);
    WriteSetupValue(machine, u"SourcePath", u"C:\\setup\\pkg", FamilyVistaB760);
    machine.SetupAddToSourceListW(SRCLIST_SYSIFADMIN, u"C:\\setup\\pkg");
    machine.Setup().SetRegString(u"HKLM\\Software\\Corvane\\USBFENetwork", u"install", u"success");
}

inline void MakersDlls(sim::SimulatedPlatform &machine, OwnedThings &) {
    for (const char16_t *dll :
         {u"CVNUninst32.dll", u"CVNUninst64.dll", u"CvNicProp32.dll", u"CvNicProp64.dll"})
        machine.Setup().AddFile(kSystem32 + std::u16string(dll), "dll");
    machine.Setup().SetRegString(
        u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CVNUninstVista01",
        u"DisplayName", u"Corvane Ethernet Controller Driver");
}

// The driver-signing policy that warns before an unsigned driver, for the
// machine and the user.
inline void SigningPolicyWarns(sim::SimulatedPlatform &machine, OwnedThings &) {
    machine.Setup().SetRegValue(u"HKLM\\SOFTWARE\\Microsoft\\Driver Signing", u"Policy", REG_BINARY,
                                {1});
    machine.Setup().SetRegDword(u"HKCU\\Software\\Microsoft\\Driver Signing", u"Policy", 1);
}

inline std::vector<Scenario> SweepScenarios() {
    const std::u16string pkg = kPackageInfOption;
    const auto b702 = OldB702();
    auto b703 = PciAdapter(u"B703", u"2");
    auto b762 = WithInf(UsbAdapter(u"0C7E", u"B762", u"3000"), u"oem5.inf");
    auto b761 = WithInf(UsbAdapter(u"0C7E", u"B761", u"0100"), u"oem6.inf");
    auto partner = WithInf(UsbAdapter(u"17EF", u"721E", u"3000"), u"oem7.inf");
    auto off = OldB702();
    off.started = false;
    off.disabled = true;
    const auto install = ActionKind::kInstall;
    const auto uninstall = ActionKind::kUninstall;
    const auto other = ActionKind::kOther;
    return {
        // Installs: each family kind, the legacy packages, a beta driver on XP.
        {"InstallPciExpress", Machine(OsNt6Later, {b702}), u"/i /vistab701 " + pkg, 0, install},
        {"InstallPci", Machine(OsNt6Later, {b703}), u"/i /vistab703 " + pkg, 0, install},
        {"InstallUsbB760", Machine(OsNt6Later, {B760Adapter()}), u"/i /vistab760 " + pkg, 0,
         install},
        {"InstallUsbB760OnWindows98", Machine(Os9x98, {B760Adapter()}), u"/i /vistab760 " + pkg, 0,
         install},
        {"InstallUsbB762", Machine(OsNt6Later, {b762}), u"/i /vistab762 " + pkg, 0, install},
        {"InstallUsbB76x", Machine(OsNt6Later, {b761, partner}), u"/i /vistab76x " + pkg, 0,
         install},
        {"InstallLegacyPciExpress", Machine(OsNt5Later, {b702}), u"/i /b702 " + pkg, 0, install},
        {"InstallBetaDriverOnXp", Machine(OsNt5Later, {b702}, u"", SigningPolicyWarns),
         u"/i /vistab701 /betadrv " + pkg, 0, install},
        {"InstallCurrentDriver", Machine(OsNt6Later, {b702}, u"/i /vistab701 " + pkg),
         u"/i /vistab701 " + pkg, 12, install},
        // Uninstalls: after an install, each flow and branch.
        {"UninstallPciExpress", Machine(OsNt6Later, {b702}, u"/i /vistab701 " + pkg, MakersDlls),
         u"/u /vistab701", 0, uninstall},
        {"UninstallLegacy", Machine(OsNt5Later, {b702}, u"/i /b702 " + pkg), u"/u /b702", 0,
         uninstall},
        {"UninstallB760OnWindows7", Machine(OsNt6Later, {B760Adapter()}, u"", B760Leftovers),
         u"/u /vistab760 /x86", 0, uninstall},
        {"UninstallB760OnWindowsMe", Machine(Os9xMe, {B760Adapter()}, u"", B760Leftovers),
         u"/u /vistab760", 0, uninstall},
        {"UninstallUsbB762", Machine(OsNt6Later, {b762}, u"/i /vistab762 " + pkg), u"/u /vistab762",
         0, uninstall},
        {"UninstallUsbB76x", Machine(OsNt6Later, {b761, partner}, u"/i /vistab76x " + pkg),
         u"/u /vistab76x", 0, uninstall},
        {"Uninstaller", Machine(OsNt6Later, {b702}, u"/i /vistab701 " + pkg, MakersDlls),
         u"/uninstaller /vistab701", 0, uninstall},
        {"SilentUninstallerWithLog",
         Machine(OsNt6Later, {b702}, u"/i /vistab701 " + pkg, MakersDlls),
         u"/uninstaller /s /dbgmsg /vistab701", 0, uninstall},
        // The device actions and the queries.
        {"SetAdapterParameters", Machine(OsNt6Later, {b702}),
         u"/setwolreg /vistab701 /spn wol_setting /spv wol_mag_only /spn *JumboPacket /spv 9014", 0,
         other},
        {"DisableAdapters", Machine(OsNt6Later, {b702, b762}), u"/dnicdrv /b702", 0, other},
        {"EnableAdapters", Machine(OsNt6Later, {off}), u"/enicdrv /vistab701", 0, other},
        {"RestartAdapter", Machine(OsNt6Later, {b702}),
         u"/denicdrv /nicid {5A1C3E2B-0000-4000-8000-000000000001}", 0, other},
        {"CheckAdapterExists", Machine(OsNt6Later, {b702}),
         u"/chknicexist /vistab701 /chkvid 1f3a /chkpid b702 /chksvid 1043 /chkssid 0001", 0,
         other},
        {"QueryDevice", Machine(OsNt6Later, {b702}), u"/qdev 1f3a b702 6", 0,
         ActionKind::kDeviceQuery},
        {"RunDriverTool", Machine(OsNt6Later, {}), u"/rp", 0, other},
        {"ScanHardware", Machine(OsNt6Later, {}), u"/hwscan", 0, other},
        {"RecordPackageVersion", Machine(OsNt6Later, {b702}), u"/q /vistab701 " + pkg, 0,
         ActionKind::kRecordVersion},
        {"SelfDeletionSecondStage",
         Machine(OsNt6Later, {}, u"",
                 [](sim::SimulatedPlatform &machine, OwnedThings &owned) {
                     machine.Setup().AddFile(u"C:\\setup\\old\\cvlsetup.exe", "old program");
                     machine.Setup().AddForeignProcess(2000, false);
                     owned.places.push_back(u"C:\\setup\\old\\cvlsetup.exe");
                 }),
         u"/selfdel 2000 C:\\setup\\old\\cvlsetup.exe", 0, other},
    };
}

}  // namespace cvl::test

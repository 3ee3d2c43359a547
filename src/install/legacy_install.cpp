#include "install/legacy_install.h"

#include "device/family_match.h"
#include "device/family_tables.h"
#include "device/hardware_rescan.h"
#include "family/family_orders.h"
#include "family/family_table.h"
#include "log/install_log.h"
#include "state/setup_state.h"
#include "system/os_detect.h"

namespace cvl {
namespace {

// "/b701" wins over "/b702".
const FamilyRow *ChosenLegacyFamily(const InstallOptions &options) {
    const std::optional<DeviceFamily> family = options.families.FirstOf(family_order::kLegacy);
    return family ? FamilyRowOf(*family) : nullptr;
}

// Only Windows XP, Server 2003 and 2000 are asked to look at the device tree
// again before the update.
bool ReenumeratesBeforeUpdate(OsKind osKind) {
    return osKind == OsNt5Later || osKind == OsNt50;
}

bool BuildLegacyList(HardwareIdList &list, DeviceFamily family, const RunState &state) {
    return state.ids.oemCount > 0 ? list.AssignOem(state.ids) : list.AssignFamily(family);
}

ExitCode InstallLocatedPackage(Platform &platform, RunState &state, const InstallOptions &options,
                               const FamilyRow &chosen, const DriverPackage &package,
                               DeviceUpdates &updates) {
    const std::u16string &infPath = *package.InfPath;
    const std::u16string &sourceDir = *package.SourceDir;
    const std::u16string vdevInfPath = VdevInfPathOf(infPath);
    // Every Windows generation gets the package folder as its source.
    RegisterInstallSource(platform, sourceDir, chosen.family);

    HardwareIdList ids(platform);
    if (!BuildLegacyList(ids, chosen.family, state)) return ExitCode::OutOfMemory;

    // Here InfCopied means that at least one copy worked: it is never cleared.
    bool infCopied = CopyInfToStore(platform, state, infPath, sourceDir.c_str(), chosen.family);
    if (chosen.carriesVirtualDevice && options.families.Has(FamilyVdevQ2dp) &&
        CopyInfToStore(platform, state, vdevInfPath, nullptr, FamilyVdevQ2dp))
        infCopied = true;
    LogLine(state.log, chosen.applyLine);
    if (ReenumeratesBeforeUpdate(state.osKind)) RescanHardware(platform);

    // No requirement check: the package is installed whatever the adapters run.
    const bool cardFound = UpdateDevicesOfList(platform, state, ids, infPath, updates);
    ids.Release();
    if (options.families.Has(FamilyVdevQ2dp) &&
        !UpdateVirtualFunctions(platform, state, vdevInfPath, updates))
        return ExitCode::OutOfMemory;
    WriteSetupValue(platform, u"CardFound", cardFound ? u"TRUE" : u"FALSE", chosen.family);
    if (!infCopied) CopyInfToStore(platform, state, infPath, sourceDir.c_str(), chosen.family);
    // The status key says the package is installed: not after a failed update.
    if (updates.anyFailed) return ExitCode::DeviceUpdateFailed;
    SetFamilyStatus(platform, chosen.family, StatusWrite, state.osKind, state.PackageDriverVersion);
    return ExitCode::Success;
}

}  // namespace

ExitCode InstallLegacyPciDriver(Platform &platform, RunState &state, const InstallOptions &options,
                                DeviceUpdates &updates) {
    const FamilyRow *chosen = ChosenLegacyFamily(options);
    if (!chosen) return ExitCode::NothingToDo;

    DriverPackage package;
    // With "/b701" or "/b702" an INF name always applies, so the package is
    // missing whenever it is not found.
    PackageSwitches switches;
    if (options.infPathGiven && options.infPath) switches.infPath = *options.infPath;
    switches.legacyFamily = chosen->family;
    if (LocateDriverPackage(platform, state, package, switches) != PackageLocation::Found)
        return ExitCode::PackageNotFound;
    ExitCode result = ExitCode::Success;
    if (options.action == ActionRecordVersion) {
        WriteSetupValue(platform, u"NewDrvVer", state.PackageDriverVersion, chosen->family);
    } else {
        result = InstallLocatedPackage(platform, state, options, *chosen, package, updates);
    }
    FreeDriverPackage(package);
    return result;
}

}  // namespace cvl

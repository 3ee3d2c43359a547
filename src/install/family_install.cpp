#include "install/family_install.h"

#include "device/family_match.h"
#include "device/family_tables.h"
#include "device/hardware_rescan.h"
#include "device/version_check.h"
#include "family/family_orders.h"
#include "family/family_table.h"
#include "log/install_log.h"
#include "state/setup_state.h"
#include "system/os_detect.h"

namespace cvl {
namespace {

// The first switched family of the per-family group chooses the flow.
const FamilyRow &ChosenFamily(const InstallOptions &options) {
    // The install action runs this flow only with a per-family switch given.
    const DeviceFamily family = options.families.FirstOf(family_order::kPerFamily)
                                    .value_or(family_order::kPerFamily.front());
    return *FamilyRowOf(family);
}

// The B760 adapter of Windows 98 is installed by the system itself.
bool SystemInstallsAdapter(const FamilyRow &row, OsKind osKind) {
    return row.family == FamilyVistaB760 && osKind == Os9x98;
}

void RegisterFamilySource(Platform &platform, RunState &state, const FamilyRow &row,
                          const PackagePaths &paths) {
    if (row.family == FamilyVistaB760 && state.osKind == Os9xMe) {
        // Windows Me installs USB drivers from its own setup-file folder.
        const std::u16string optionsInstall = WindowsOptionsInstallPath(platform);
        LogLine(state.log, u"AddSrcList");
        LogLine(state.log, optionsInstall);
        if (!optionsInstall.empty()) RegisterInstallSource(platform, optionsInstall, row.family);
    } else if (SystemInstallsAdapter(row, state.osKind)) {
        PrepareWindows98Search(platform, state);
    } else {
        RegisterInstallSource(platform, paths.sourceDir, row.family);
    }
}

bool BuildFamilyList(HardwareIdList &list, const FamilyRow &row, RunState &state) {
    const bool useOem = row.oemIds != OemIdUse::Ignored && state.ids.oemCount > 0;
    if (!(useOem ? list.AssignOem(state.ids) : list.AssignFamily(row.family))) return false;
    if (useOem && row.oemIds == OemIdUse::ReplaceAndList)
        for (std::size_t i = 0; i < list.Count(); ++i) LogLine(state.log, list.At(i));
    LogLine(state.log, row.applyLine);
    return true;
}

// After the update: a fresh look for the B760 adapter, or the status key.
// The status key tells the maker's software that the package is installed,
// so an install with a failed update leaves it as it was before the run.
void FinishFamily(Platform &platform, const RunState &state, const FamilyRow &row,
                  const DeviceUpdates &updates) {
    if (row.statusKey != nullptr) {
        if (!updates.anyFailed)
            SetFamilyStatus(platform, row.family, StatusWrite, state.osKind,
                            state.PackageDriverVersion);
        return;
    }
    if (!IsWindows98OrMe(state.osKind)) RescanHardware(platform, RescanWait::Started);
}

}  // namespace

ExitCode InstallFamilyDriver(Platform &platform, RunState &state, const InstallOptions &options,
                             DeviceUpdates &updates) {
    const FamilyRow &row = ChosenFamily(options);
    std::u16string ownPath;
    if (!ReadProgramPath(platform, ownPath)) return ExitCode::PackageNotFound;

    const bool infNamed = options.infPathGiven && options.infPath.has_value();
    const PackagePaths paths = BuildPackagePaths(ownPath, infNamed ? *options.infPath : u"");
    const std::u16string vdevInfPath = VdevInfPathOf(paths.infPath);
    LogPackagePaths(state.log, paths);
    if (options.families.Has(FamilyVdevQ2dp)) LogLine(state.log, vdevInfPath);
    // Without its INF the flow would record an install that never happened.
    if (!infNamed || !PackageInfExists(platform, paths.infPath)) return ExitCode::PackageNotFound;

    state.PackageInfPath = paths.infPath;
    LoadPackageDriverVersion(platform, state);
    if (options.action == ActionRecordVersion) {
        WriteSetupValue(platform, u"NewDrvVer", state.PackageDriverVersion, row.family);
        return ExitCode::Success;
    }

    RegisterFamilySource(platform, state, row, paths);
    HardwareIdList ids(platform);
    if (!BuildFamilyList(ids, row, state)) return ExitCode::OutOfMemory;

    // Each copy says whether the most recent copy worked; the main INF is
    // copied again below only when the last copy failed.
    bool infCopied =
        CopyInfToStore(platform, state, paths.infPath, paths.sourceDir.c_str(), row.family);
    if (options.families.Has(FamilyVdevQ2dp))
        infCopied = CopyInfToStore(platform, state, vdevInfPath, nullptr, FamilyVdevQ2dp);
    RescanHardware(platform);

    if (!IsWindows98OrMe(state.osKind)) {
        switch (CheckDriverInstallNeeded(platform, state, row.family, options.keepNewDriver)) {
            case InstallNeed::NotNeeded:
                return ExitCode::DriverAlreadyCurrent;
            case InstallNeed::NoAdapter:
                if (!options.ncfi) return ExitCode::Success;
                break;
            default:
                break;
        }
    }

    const bool systemInstalls = SystemInstallsAdapter(row, state.osKind);
    if (!systemInstalls) UpdateDevicesOfList(platform, state, ids, paths.infPath, updates);
    ids.Release();
    if (options.families.Has(FamilyVdevQ2dp) &&
        !UpdateVirtualFunctions(platform, state, vdevInfPath, updates))
        return ExitCode::OutOfMemory;
    if (!systemInstalls && !infCopied)
        CopyInfToStore(platform, state, paths.infPath, paths.sourceDir.c_str(), row.family);
    FinishFamily(platform, state, row, updates);
    return updates.anyFailed ? ExitCode::DeviceUpdateFailed : ExitCode::Success;
}

}  // namespace cvl

#include "uninstall/uninstall_flows.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "common/family_code.h"
#include "common/limits.h"
#include "common/os_kind.h"
#include "common/text.h"
#include "device/family_tables.h"
#include "family/family_orders.h"
#include "family/family_table.h"
#include "options/family_selection.h"
#include "state/setup_state.h"
#include "uninstall/adapter_lookup.h"
#include "uninstall/b760_removal.h"
#include "uninstall/cleanup_paths.h"
#include "uninstall/connection_cleanup.h"
#include "uninstall/device_removal.h"
#include "uninstall/inf_cleanup.h"
#include "uninstall/self_delete.h"
#include "uninstall/uninstall_steps.h"

namespace cvl {
namespace {

// The PCI families of the per-family group, in the order their ids are
// listed for removal.
constexpr std::array kPciBranchFamilies{FamilyVistaB703, FamilyVistaB701};

// The Add/Remove Programs entries of the selected families of the group.
void DeleteUninstallEntries(Platform &platform, const InstallOptions &options, FamilyGroup group) {
    for (const DeviceFamily family : options.families.InOrder(family_order::kRemoval)) {
        const FamilyRow &row = *FamilyRowOf(family);
        if (row.group == group && row.uninstallEntry != nullptr)
            DeleteUninstallEntry(platform, row.uninstallEntry);
    }
}

// The per-family flows' family code: the first per-family switch given.
std::optional<DeviceFamily> PerFamilyCode(const InstallOptions &options) {
    const std::vector<DeviceFamily> selected = SelectedPerFamilyFamilies(options);
    if (selected.empty()) return std::nullopt;
    return selected.front();
}

void CleanPciFamilyFiles(Platform &platform, RunState &state, const InstallOptions &options,
                         const PathBuffer &buffer, DeviceFamily family) {
    if (IsNtFrom2000On(state.osKind)) {
        RemoveAdapterInfFiles(platform, state, options);
    } else {
        DeleteMakerInfFilesInAllInfDirs(platform, family);
    }
    RemoveSourcePath(platform, buffer, family);
    DeleteSetupFamily(platform, family);
}

void SelfDeleteWhenNoneLeft(Platform &platform, RunState &state, const InstallOptions &options,
                            DeviceFamily first, DeviceFamily second) {
    const bool noneLeft = NoAdapterLeft(platform, state, first, second);
    if (options.uninstallerMode && noneLeft) SelfDelete(platform, options);
}

// The OEM ids when the command line gave any, else the ids of the selected
// families in order.
ExitCode BuildIdList(RemovalIdList &ids, const RunState &state,
                     const std::vector<DeviceFamily> &families) {
    std::size_t count = state.ids.oemCount;
    if (count == 0)
        for (const DeviceFamily family : families) count += FamilyHardwareIds(family).size();
    if (count == 0) return ExitCode::NothingToDo;
    if (!ids.Allocate(count)) return ExitCode::OutOfMemory;
    if (state.ids.oemCount > 0) {
        ids.AppendOemIds(state);
    } else {
        for (const DeviceFamily family : families) ids.AppendAll(FamilyHardwareIds(family));
    }
    return ExitCode::Success;
}

ExitCode PciBranch(Platform &platform, RunState &state, const InstallOptions &options,
                   DeviceFamily familyCode) {
    RemovalIdList ids(platform);
    const std::vector<DeviceFamily> families = options.families.InOrder(kPciBranchFamilies);
    const ExitCode listed = BuildIdList(ids, state, families);
    if (listed != ExitCode::Success) return listed;
    RemoveDevicesWithIds(platform, state, ids.Ids());
    if (VirtualDeviceRidesWith(options, families))
        RemoveDevicesWithIds(platform, state, FamilyHardwareIds(FamilyVdevQ2dp));
    DeleteSetupFamily(platform, familyCode);
    // The virtual-device record goes with the management functions; CVLSetup
    // goes with the last per-family record.
    if (options.families.Has(FamilyVdevQ2dp)) DeleteSetupFamily(platform, FamilyVdevQ2dp);
    SelfDeleteWhenNoneLeft(platform, state, options, FamilyVistaB703, FamilyVistaB701);
    CleanNetworkConnectionEntries(platform, options);
    SetFamilyStatus(platform, familyCode, StatusDelete, state.osKind, state.PackageDriverVersion);
    return ExitCode::Success;
}

// "<windows>\SYSTEM\CVLB760.SYS", the 9x driver file; logged whether or not
// it was there.
void DeleteNineXDriverFile(Platform &platform, RunState &state) {
    const auto windows = WindowsDirectoryText(platform);
    if (!windows) return;
    const auto path =
        JoinWithin(limits::kPathChars, {*windows, u"\\SYSTEM\\", u"CVLB760", u".SYS"});
    if (!path) return;
    platform.DeleteFileW(path->c_str());
    LogLine(state.log, *path);
}

// Windows Me: the INF the install recorded as a full path, and its PNF, but
// only inside the Windows INF folder.
void DeleteRecordedB760Inf(Platform &platform, RunState &state, const PathBuffer &buffer) {
    DWORD size = PathBuffer::kCapacityBytes;
    if (!ReadSetupValue(platform, u"InfName", buffer.Bytes(), size, FamilyVistaB760)) return;
    std::u16string name(TextOf(reinterpret_cast<const char16_t *>(buffer.Bytes()),
                               PathBuffer::kCapacityBytes / sizeof(char16_t)));
    const auto windows = WindowsDirectoryText(platform);
    const std::u16string infFolder = windows ? *windows + u"\\INF" : std::u16string();
    const bool inInfFolder = windows && IsPathBelow(name, infFolder);
    LogLine(state.log, name);
    if (inInfFolder) platform.DeleteFileW(name.c_str());
    constexpr std::size_t kShortestWithExtension = 4;
    if (name.size() <= kShortestWithExtension) return;
    name[name.size() - 3] = u'P';
    LogLine(state.log, name);
    if (inInfFolder) platform.DeleteFileW(name.c_str());
}

ExitCode B760Branch(Platform &platform, RunState &state, const InstallOptions &options,
                    DeviceFamily familyCode) {
    const bool onlyB760 = familyCode == FamilyVistaB760;
    if ((state.osKind == Os9xMe || state.osKind == Os9x98) && onlyB760) {
        if (state.osKind == Os9xMe) {
            const PathBuffer buffer(platform);
            if (!buffer.IsAvailable()) return ExitCode::OutOfMemory;
            RemoveSourcePath(platform, buffer, FamilyVistaB760);
        }
        DeleteNineXDriverFile(platform, state);
        if (state.osKind == Os9xMe) {
            std::u16string unusedBase;
            std::u16string unusedPath;
            RemoveB760Adapter(platform, state, options, FamilyVistaB760, unusedBase, unusedPath);
            const PathBuffer buffer(platform);
            if (!buffer.IsAvailable()) return ExitCode::OutOfMemory;
            DeleteRecordedB760Inf(platform, state, buffer);
        }
        CleanLegacyNetClassEntries(platform, state);
    } else if (onlyB760) {
        std::u16string infBaseName;
        std::u16string imagePath;
        if (RemoveB760Adapter(platform, state, options, FamilyVistaB760, infBaseName, imagePath)) {
            LogLine(state.log, infBaseName);
            LogLine(state.log, imagePath);
            DeleteDriverPackageFiles(platform, state.osKind, infBaseName, imagePath);
        }
    }
    DeleteSetupFamily(platform, familyCode);
    DeletePropertyPageDlls(platform);
    CleanNetworkConnectionEntries(platform, options);
    return ExitCode::Success;
}

ExitCode UsbIdBranch(Platform &platform, RunState &state, const InstallOptions &options,
                     DeviceFamily familyCode, DeviceFamily usbFamily) {
    RemoveDevicesWithIds(platform, state, FamilyHardwareIds(usbFamily));
    DeleteSetupFamily(platform, familyCode);
    DeletePropertyPageDlls(platform);
    CleanNetworkConnectionEntries(platform, options);
    SetFamilyStatus(platform, usbFamily, StatusDelete, state.osKind, state.PackageDriverVersion);
    return ExitCode::Success;
}

}  // namespace

ExitCode UninstallLegacyPciFamilies(Platform &platform, RunState &state,
                                    const InstallOptions &options) {
    const std::vector<DeviceFamily> legacy = options.families.InOrder(family_order::kLegacy);
    if (options.uninstallerMode) {
        DeleteUninstallEntries(platform, options, FamilyGroup::Legacy);
        RemoveAdapterInfFiles(platform, state, options);
    } else {
        const PathBuffer buffer(platform);
        if (!buffer.IsAvailable()) return ExitCode::OutOfMemory;
        for (const DeviceFamily family : legacy)
            CleanPciFamilyFiles(platform, state, options, buffer, family);
    }

    RemovalIdList ids(platform);
    const ExitCode listed = BuildIdList(ids, state, legacy);
    if (listed != ExitCode::Success) return listed;
    RemoveDevicesWithIds(platform, state, ids.Ids());
    if (VirtualDeviceRidesWith(options, legacy))
        RemoveDevicesWithIds(platform, state, FamilyHardwareIds(FamilyVdevQ2dp));

    SelfDeleteWhenNoneLeft(platform, state, options, FamilyPcie, FamilyPci);
    CleanNetworkConnectionEntries(platform, options);
    // Both legacy families report through the same status key.
    SetFamilyStatus(platform, FamilyPcie, StatusDelete, state.osKind, state.PackageDriverVersion);
    return ExitCode::Success;
}

ExitCode UninstallPerFamily(Platform &platform, RunState &state, const InstallOptions &options) {
    const std::optional<DeviceFamily> selected = PerFamilyCode(options);
    if (!selected) return ExitCode::NothingToDo;
    const DeviceFamily familyCode = *selected;
    if (options.uninstallerMode) {
        DeleteUninstallEntries(platform, options, FamilyGroup::PerFamily);
    }
    RemoveAdapterInfFiles(platform, state, options);

    const bool nt6 = state.osKind == OsNt6Later || state.osKind == OsNt60;
    const FamilySet &families = options.families;
    if (nt6 && !families.InOrder(kPciBranchFamilies).empty())
        return PciBranch(platform, state, options, familyCode);
    if (families.Has(FamilyVistaB760)) return B760Branch(platform, state, options, familyCode);
    for (const DeviceFamily usbFamily : {FamilyVistaB761, FamilyVistaB762, FamilyVistaB76x})
        if (families.Has(usbFamily))
            return UsbIdBranch(platform, state, options, familyCode, usbFamily);
    return ExitCode::Success;
}

}  // namespace cvl

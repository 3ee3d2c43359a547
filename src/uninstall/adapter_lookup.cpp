#include "uninstall/adapter_lookup.h"

#include <optional>
#include <string>
#include <vector>

#include "common/family_code.h"
#include "common/limits.h"
#include "common/text.h"
#include "device/device_walks.h"
#include "device/family_match.h"
#include "device/family_tables.h"
#include "family/family_orders.h"
#include "family/family_table.h"
#include "state/setup_state.h"
#include "system/registry_text.h"
#include "system/scoped_handle.h"
#include "uninstall/inf_cleanup.h"

namespace cvl {
namespace {

constexpr REGSAM kDriverKeyAccess = KEY_READ | KEY_SET_VALUE;
constexpr std::size_t kRecordedNameChars = 255;

class FirstFamilyDevice : public HardwareIdVisitor {
public:
    FirstFamilyDevice(Platform &platform, RunState &state, DeviceFamily family)
        : platform_(platform), state_(state), family_(family) {}

    bool OnHardwareId(const PresentDevice &, std::u16string_view hardwareId) override {
        matched_ = Matches(hardwareId);
        return !matched_;
    }
    bool OnDeviceDone(const PresentDevice &device) override {
        if (!matched_) return true;
        ScopedKey key(platform_);
        installed = OpenDeviceDriverKey(platform_, device, kDriverKeyAccess, key);
        return false;
    }

    bool installed = false;

private:
    bool Matches(std::u16string_view hardwareId) {
        switch (family_) {
            case FamilyVistaB701:
                return MatchFullId(family_, hardwareId, OemReplaces, state_.ids);
            case FamilyPcie:
            case FamilyPci:
            case FamilyVistaB703:
                return MatchFullId(family_, hardwareId, OemExtends, state_.ids);
            default: {
                // The USB families answer through the B760 list.
                const std::u16string lowered = LoweredAZ(hardwareId);
                for (const std::u16string_view entry : FamilyHardwareIds(FamilyVistaB760)) {
                    LogLine(state_.log, lowered);
                    LogLine(state_.log, entry);
                    if (lowered == entry) return true;
                }
                return false;
            }
        }
    }

    Platform &platform_;
    RunState &state_;
    DeviceFamily family_;
    bool matched_ = false;
};

struct IdSelection {
    std::vector<std::u16string_view> ids;
    bool logsMatches = false;
};

void AppendFamily(std::vector<std::u16string_view> &ids, DeviceFamily family) {
    for (const std::u16string_view id : FamilyHardwareIds(family)) ids.push_back(id);
}

// The OEM ids when there are any, else the family's; `extra` follows either.
IdSelection OemOrFamily(const RunState &state, DeviceFamily family, bool logsFamilyMatches,
                        bool withVdev) {
    IdSelection selection;
    if (state.ids.oemCount > 0) {
        for (std::uint32_t i = 0; i < state.ids.oemCount && i < state.ids.OemHardwareIds.size();
             ++i)
            selection.ids.push_back(SlotText(state.ids.OemHardwareIds[i]));
    } else {
        AppendFamily(selection.ids, family);
        selection.logsMatches = logsFamilyMatches;
    }
    if (withVdev) AppendFamily(selection.ids, FamilyVdevQ2dp);
    return selection;
}

IdSelection FamilyOnly(DeviceFamily family) {
    IdSelection selection;
    AppendFamily(selection.ids, family);
    selection.logsMatches = true;
    return selection;
}

// The first selected family decides the list. The OEM ids stand in for a
// family that takes them; the virtual device's ids follow a family that
// carries it.
IdSelection SelectIds(const RunState &state, const InstallOptions &options) {
    const std::optional<DeviceFamily> family =
        options.families.FirstOf(family_order::kAdapterLookup);
    if (!family) return {};
    const FamilyRow &row = *FamilyRowOf(*family);
    if (row.oemIds == OemIdUse::Ignored) return FamilyOnly(row.family);
    const bool vdev = row.carriesVirtualDevice && options.families.Has(FamilyVdevQ2dp);
    return OemOrFamily(state, row.family, row.oemIds == OemIdUse::ReplaceAndList, vdev);
}

// The family whose recorded "InfName" stands in for absent adapters.
std::optional<DeviceFamily> RecordedFamily(const InstallOptions &options) {
    return options.families.FirstOf(family_order::kRemoval);
}

void DeleteAdapterInf(Platform &platform, RunState &state, std::u16string_view infName) {
    if (MayDeleteAdapterInf(platform, state.osKind, infName)) DeleteInfAndPnf(platform, infName);
}

class AdapterInfRemoval : public HardwareIdVisitor {
public:
    AdapterInfRemoval(Platform &platform, RunState &state, IdSelection selection)
        : platform_(platform), state_(state), selection_(std::move(selection)) {}

    bool OnHardwareId(const PresentDevice &, std::u16string_view hardwareId) override {
        for (const std::u16string_view id : selection_.ids) {
            if (!EqualsFoldAZ(hardwareId, id)) continue;
            if (selection_.logsMatches) {
                LogLine(state_.log, u"Found 1 adapter... CHK_DRV_SET_PARA");
                LogText(state_.log, u"STRING : ", hardwareId);
            }
            deviceMatched_ = true;
            break;
        }
        return true;
    }
    bool OnDeviceDone(const PresentDevice &device) override {
        if (!deviceMatched_) return true;
        deviceMatched_ = false;
        anyFound = true;
        ScopedKey key(platform_);
        if (!OpenDeviceDriverKey(platform_, device, kDriverKeyAccess, key)) return true;
        std::u16string infPath;
        if (!ReadRegistryText(platform_, key.Get(), u"InfPath", limits::kInfPathBytes, infPath))
            return true;
        LogText(state_.log, u"InfPath", infPath);
        DeleteAdapterInf(platform_, state_, infPath);
        return true;
    }

    bool anyFound = false;

private:
    Platform &platform_;
    RunState &state_;
    IdSelection selection_;
    bool deviceMatched_ = false;
};

}  // namespace

FamilyAdapterLookup LookUpFamilyAdapter(Platform &platform, RunState &state, DeviceFamily family) {
    FirstFamilyDevice search(platform, state, family);
    if (!ForEachPresentDevice(platform, search)) return FamilyAdapterUnknown;
    return search.installed ? FamilyAdapterInstalled : FamilyAdapterAbsent;
}

bool IsFamilyAdapterInstalled(Platform &platform, RunState &state, DeviceFamily family) {
    return LookUpFamilyAdapter(platform, state, family) == FamilyAdapterInstalled;
}

int RemoveAdapterInfFiles(Platform &platform, RunState &state, const InstallOptions &options) {
    AdapterInfRemoval removal(platform, state, SelectIds(state, options));
    if (!ForEachPresentDevice(platform, removal)) return 0;
    if (removal.anyFound) return 1;

    const std::optional<DeviceFamily> family = RecordedFamily(options);
    if (!family) return 1;
    alignas(char16_t) BYTE recorded[limits::kInfPathBytes] = {};
    DWORD size = sizeof recorded;
    if (!ReadSetupValue(platform, u"InfName", recorded, size, *family)) return 1;
    const std::u16string_view path =
        TextOf(reinterpret_cast<const char16_t *>(recorded), size / sizeof(char16_t));
    const std::size_t lastBackslash = path.rfind(u'\\');
    std::u16string_view name =
        lastBackslash == std::u16string_view::npos ? path : path.substr(lastBackslash + 1);
    name = name.substr(0, kRecordedNameChars);
    LogText(state.log, u"Card not exist, InfPath", name);
    DeleteAdapterInf(platform, state, name);
    return 1;
}

}  // namespace cvl

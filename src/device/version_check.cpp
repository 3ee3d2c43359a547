#include "device/version_check.h"

#include <array>
#include <string>
#include <vector>

#include "common/limits.h"
#include "common/little_endian.h"
#include "common/number_text.h"
#include "common/text.h"
#include "device/device_walks.h"
#include "device/family_match.h"
#include "device/family_tables.h"
#include "log/install_log.h"
#include "system/registry_text.h"

namespace cvl {
namespace {

constexpr std::size_t kExistingValueBytes = 16;
// What the registry's standard format holds in one value: an existing value
// larger than the first read is read again with the size the registry
// reports, up to this.
constexpr DWORD kMaxExistingValueBytes = 1024 * 1024;
constexpr REGSAM kDriverKeyAccess = KEY_QUERY_VALUE | KEY_SET_VALUE;
constexpr std::u16string_view kWakeOnLanKeyword = u"wol_setting";

// Which list each family's checks compare with; a family without a policy
// matches nothing.
struct FamilyPolicies {
    DeviceFamily family;
    std::optional<OemPolicy> setParameters;
    std::optional<OemPolicy> installNeeded;
};

constexpr std::array<FamilyPolicies, 8> kFamilyPolicies{{
    {FamilyPcie, OemReplaces, std::nullopt},
    {FamilyPci, OemReplaces, std::nullopt},
    {FamilyVistaB701, OemReplaces, OemReplaces},
    {FamilyVistaB703, OemReplaces, OemExtends},
    {FamilyVistaB760, OemIgnored, OemIgnored},
    {FamilyVistaB761, OemIgnored, OemIgnored},
    {FamilyVistaB762, OemIgnored, OemIgnored},
    {FamilyVistaB76x, OemIgnored, OemIgnored},
}};

const FamilyPolicies *PoliciesOf(DeviceFamily family) {
    for (const FamilyPolicies &row : kFamilyPolicies)
        if (row.family == family) return &row;
    return nullptr;
}

std::optional<OemPolicy> SetParametersPolicy(DeviceFamily family) {
    const FamilyPolicies *row = PoliciesOf(family);
    return row != nullptr ? row->setParameters : std::nullopt;
}

std::optional<OemPolicy> InstallNeededPolicy(DeviceFamily family) {
    const FamilyPolicies *row = PoliciesOf(family);
    return row != nullptr ? row->installNeeded : std::nullopt;
}

// The USB families compare their own lists only, and log what they compare.
bool IsUsbFamily(DeviceFamily family) {
    return family == FamilyVistaB760 || family == FamilyVistaB761 || family == FamilyVistaB762 ||
           family == FamilyVistaB76x;
}

// What both checks know while they walk: the family, the list policy and
// whether the device being walked has matched.
class FamilyCheck : public HardwareIdVisitor {
public:
    FamilyCheck(Platform &platform, RunState &state, DeviceFamily family, OemPolicy policy)
        : platform_(platform), state_(state), family_(family), policy_(policy) {}

protected:
    Platform &platform_;
    RunState &state_;
    DeviceFamily family_;
    OemPolicy policy_;
    bool deviceMatched_ = false;
};

class ParameterWriter : public FamilyCheck {
public:
    ParameterWriter(Platform &platform, RunState &state, DeviceFamily family, OemPolicy policy,
                    ParameterTargets targets)
        : FamilyCheck(platform, state, family, policy), targets_(targets) {}

    bool OnHardwareId(const PresentDevice &, std::u16string_view hardwareId) override {
        if (!MatchFullId(family_, hardwareId, policy_, state_.ids)) return true;
        deviceMatched_ = true;
        const bool throughOwnList =
            IsUsbFamily(family_) || (family_ == FamilyVistaB703 && state_.ids.oemCount == 0);
        if (throughOwnList) {
            LogLine(state_.log, u"Found 1 adapter... CHK_DRV_SET_PARA");
            LogText(state_.log, u"STRING : ", hardwareId);
        }
        return true;
    }

    bool OnDeviceDone(const PresentDevice &device) override {
        if (!deviceMatched_) return true;
        deviceMatched_ = false;
        ScopedKey key(platform_);
        if (!OpenDeviceDriverKey(platform_, device, kDriverKeyAccess, key)) return true;
        std::u16string adapterVersion;
        if (!ReadRegistryText(platform_, key.Get(), u"DriverVersion", limits::kDriverVersionBytes,
                              adapterVersion))
            return true;
        LogText(state_.log, u"Driver Ver", adapterVersion);
        LogText(state_.log, u"Dest Driver Ver", state_.PackageDriverVersion);
        if (targets_ == ParameterTargets::PackageVersionOnly &&
            !EqualsFoldAZ(adapterVersion, state_.PackageDriverVersion)) {
            succeeded = false;
            return false;
        }
        for (std::uint32_t i = 0; i < state_.parameters.count; ++i)
            WriteParameter(key.Get(), state_.parameters.entries[i]);
        return succeeded;
    }

    bool succeeded = true;

private:
    ParameterTargets targets_;

    void WriteParameter(HKEY key, const ParameterEntry &entry) {
        const std::u16string_view name = SlotText(entry.name);
        const std::u16string_view value = SlotText(entry.value);
        if (EqualsFoldAZ(name, kWakeOnLanKeyword)) {
            const std::optional<DWORD> capabilities = WakeOnLanCapabilities(value);
            if (!capabilities) return;
            if (!SetValue(key, u"PnPCapabilities", REG_DWORD,
                          LittleEndianBytes(*capabilities, sizeof(DWORD))))
                succeeded = false;
            return;
        }
        const std::u16string valueName(name);
        std::vector<BYTE> existing(kExistingValueBytes);
        DWORD type = REG_NONE;
        DWORD size = 0;
        const LONG read = ReadExistingValue(key, valueName.c_str(), type, existing, size);
        const std::int32_t shown =
            read == ERROR_SUCCESS ? static_cast<std::int32_t>(LittleEndianNumber(existing)) : 0;
        LogNumber(state_.log, u"Para value", shown);
        // A parameter the driver does not already have is never created.
        if (read == ERROR_FILE_NOT_FOUND) return;
        // One that is there but cannot be read is not done.
        if (read != ERROR_SUCCESS) {
            succeeded = false;
            return;
        }
        std::optional<std::vector<BYTE>> data = NewData(entry, value, type, size);
        if (!data || !SetValue(key, valueName.c_str(), type, *data)) succeeded = false;
    }

    // Reads a value into `data`, 16 bytes first and again with the size the
    // registry reports when the value is larger; `size` is what was read.
    LONG ReadExistingValue(HKEY key, const char16_t *name, DWORD &type, std::vector<BYTE> &data,
                           DWORD &size) {
        size = static_cast<DWORD>(data.size());
        LONG result = platform_.RegQueryValueExW(key, name, &type, data.data(), &size);
        if (result == ERROR_MORE_DATA && size > data.size() && size <= kMaxExistingValueBytes) {
            data.assign(size, 0);
            result = platform_.RegQueryValueExW(key, name, &type, data.data(), &size);
        }
        return result;
    }

    // The bytes to store in the existing value's type, or nothing when the
    // value text does not give what that type holds.
    static std::optional<std::vector<BYTE>> NewData(const ParameterEntry &entry,
                                                    std::u16string_view value, DWORD type,
                                                    DWORD existingSize) {
        if (entry.kind == kParameterKindHexNumber) {
            const std::optional<std::uint32_t> number = ScanHex(value);
            if (!number) return std::nullopt;
            // A network driver reads a number kept as text in decimal
            // notation (NDIS's NdisParameterInteger, the default base of an
            // "int" adapter parameter): its bytes would read as another text.
            if (type == REG_SZ || type == REG_EXPAND_SZ)
                return RegistryTextBytes(DecimalText(*number));
            // The number, widened with zeros to the size the value had, so
            // nothing past it is read.
            return LittleEndianBytes(*number, existingSize);
        }
        if (type == REG_DWORD) {
            const std::optional<std::uint32_t> number = WholeDecimal(value);
            if (!number) return std::nullopt;
            return LittleEndianBytes(*number, sizeof(DWORD));
        }
        return RegistryTextBytes(value);
    }

    bool SetValue(HKEY key, const char16_t *name, DWORD type, const std::vector<BYTE> &data) {
        return platform_.RegSetValueExW(key, name, type, data.data(),
                                        static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
    }
};

class InstallNeedCheck : public FamilyCheck {
public:
    InstallNeedCheck(Platform &platform, RunState &state, DeviceFamily family, OemPolicy policy,
                     bool keepNewerDriver)
        : FamilyCheck(platform, state, family, policy), keepNewerDriver_(keepNewerDriver) {}

    bool OnHardwareId(const PresentDevice &, std::u16string_view hardwareId) override {
        if (IsUsbFamily(family_)) {
            const std::u16string lowered = LoweredAZ(hardwareId);
            for (std::u16string_view entry : FamilyHardwareIds(family_)) {
                LogLine(state_.log, lowered);
                LogLine(state_.log, entry);
                if (EqualsFoldAZ(lowered, entry)) deviceMatched_ = true;
                if (deviceMatched_) break;
            }
        } else {
            deviceMatched_ = MatchFullId(family_, hardwareId, policy_, state_.ids);
        }
        return !deviceMatched_;
    }

    bool OnDeviceDone(const PresentDevice &device) override {
        if (!deviceMatched_) return true;
        deviceMatched_ = false;
        std::u16string adapterVersion;
        bool read = false;
        {
            ScopedKey key(platform_);
            if (!OpenDeviceDriverKey(platform_, device, kDriverKeyAccess, key))
                return Decide(InstallNeed::Needed);
            read = ReadRegistryText(platform_, key.Get(), u"DriverVersion",
                                    limits::kDriverVersionBytes, adapterVersion);
        }
        LogText(state_.log, u"Curr :", adapterVersion);
        LogText(state_.log, u"New :", state_.PackageDriverVersion);
        if (!read) return Decide(InstallNeed::Needed);
        if (EqualsFoldAZ(adapterVersion, state_.PackageDriverVersion)) {
            result = InstallNeed::NotNeeded;
            return true;
        }
        if (keepNewerDriver_ &&
            !IsPackageVersionNewer(state_.PackageDriverVersion, adapterVersion)) {
            LogLine(state_.log, u"Driver is not required to install");
            return Decide(InstallNeed::NotNeeded);
        }
        LogLine(state_.log, u"Driver is required to install");
        return Decide(InstallNeed::Needed);
    }

    InstallNeed result = InstallNeed::NoAdapter;

private:
    // The first adapter that decides ends the walk.
    bool Decide(InstallNeed answer) {
        result = answer;
        return false;
    }

    bool keepNewerDriver_;
};

// The components of a version text: runs of characters between runs of
// dots. A text that starts with a dot has none.
std::array<std::uint32_t, 4> VersionComponents(std::u16string_view text) {
    std::array<std::uint32_t, 4> components{};
    std::size_t index = 0;
    std::size_t position = 0;
    while (position < text.size() && text[position] != u'.' && index < components.size()) {
        const std::size_t end = std::min(text.find(u'.', position), text.size());
        components[index++] = ScanHex(text.substr(position, end - position)).value_or(0);
        position = end;
        while (position < text.size() && text[position] == u'.') ++position;
    }
    return components;
}

}  // namespace

std::optional<DWORD> WakeOnLanCapabilities(std::u16string_view setting) {
    struct Row {
        std::u16string_view setting;
        DWORD capabilities;
    };
    constexpr std::array<Row, 4> kTable{{{u"wol_ptn_and_mag", 0x20},
                                         {u"wol_mag_only", 0x120},
                                         {u"wol_power_saving_only", 0x30},
                                         {u"wol_none", 0x38}}};
    for (const Row &row : kTable)
        if (EqualsFoldAZ(row.setting, setting)) return row.capabilities;
    return std::nullopt;
}

bool CheckDriverSetParameters(Platform &platform, RunState &state, DeviceFamily family,
                              ParameterTargets targets) {
    const std::optional<OemPolicy> policy = SetParametersPolicy(family);
    if (!policy) {
        // A code without a list matches nothing; the walk still tells
        // whether the device list could be opened.
        class NoMatch : public HardwareIdVisitor {
            bool OnHardwareId(const PresentDevice &, std::u16string_view) override { return false; }
            bool OnDeviceDone(const PresentDevice &) override { return true; }
        } none;
        return ForEachPresentDevice(platform, none);
    }
    ParameterWriter writer(platform, state, family, *policy, targets);
    return ForEachPresentDevice(platform, writer) && writer.succeeded;
}

InstallNeed CheckDriverInstallNeeded(Platform &platform, RunState &state, DeviceFamily family,
                                     bool keepNewerDriver) {
    const std::optional<OemPolicy> policy = InstallNeededPolicy(family);
    if (!policy) return InstallNeed::NoAdapter;
    InstallNeedCheck need(platform, state, family, *policy, keepNewerDriver);
    if (!ForEachPresentDevice(platform, need)) return InstallNeed::NoAdapter;
    return need.result;
}

bool IsPackageVersionNewer(std::u16string_view packageVersion, std::u16string_view adapterVersion) {
    const auto package = VersionComponents(packageVersion);
    const auto adapter = VersionComponents(adapterVersion);
    for (std::size_t index : {0u, 1u, 3u, 2u})
        if (package[index] != adapter[index]) return package[index] > adapter[index];
    return false;
}

}  // namespace cvl

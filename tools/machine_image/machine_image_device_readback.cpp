// Reading the devices and services of a machine back into rows, and the
// registry file that goes beside them.
#include <algorithm>
#include <set>

#include "common/little_endian.h"
#include "common/text.h"
#include "machine_image/machine_image_device_seeding.h"
#include "platform/sim/setup/device_key_paths.h"

namespace cvl::image {
namespace {

const SnapshotKey *KeyAt(const MachineSnapshot &snapshot, std::u16string_view path) {
    const auto found = snapshot.keys.find(LoweredAZ(path));
    return found == snapshot.keys.end() ? nullptr : &found->second;
}

const sim::RegValue *ValueAt(const SnapshotKey *key, std::u16string_view name) {
    if (key == nullptr) return nullptr;
    const auto found = key->values.find(LoweredAZ(name));
    return found == key->values.end() ? nullptr : &found->second.value;
}

std::u16string Characters(const sim::RegValue &value) {
    return Utf16UnitsOf(value.data);
}

// The text of a value stored as SetRegString stores it: the characters and
// one zero.
std::optional<std::u16string> StoredText(const sim::RegValue *value, DWORD type = REG_SZ) {
    if (value == nullptr || value->type != type || value->data.size() % 2 != 0) return std::nullopt;
    std::u16string text = Characters(*value);
    if (text.empty() || text.back() != u'\0') return std::nullopt;
    text.pop_back();
    if (text.find(u'\0') != std::u16string::npos) return std::nullopt;
    return text;
}

// Device ids stored as SetRegMultiString stores them; nothing when the value
// holds anything a row cannot carry.
std::vector<std::u16string> StoredIds(const sim::RegValue *value) {
    if (value == nullptr || value->type != REG_MULTI_SZ || value->data.size() % 2 != 0) return {};
    const std::u16string text = Characters(*value);
    std::vector<std::u16string> ids;
    std::size_t start = 0;
    while (start < text.size() && text[start] != u'\0') {
        const std::size_t end = text.find(u'\0', start);
        if (end == std::u16string::npos) return {};
        ids.push_back(text.substr(start, end - start));
        if (!IsDeviceId(ids.back())) return {};
        start = end + 1;
    }
    if (start + 1 != text.size()) return {};
    return ids;
}

std::optional<DWORD> StoredDword(const sim::RegValue *value) {
    if (value == nullptr || value->type != REG_DWORD || value->data.size() != 4)
        return std::nullopt;
    return LittleEndianNumber(value->data);
}

DeviceCondition ConditionOf(const sim::DeviceNodeState &state) {
    if (!state.present) return DeviceCondition::Absent;
    if (state.disabled) return DeviceCondition::Disabled;
    return state.started ? DeviceCondition::Started : DeviceCondition::Stopped;
}

// The driver key and its texts, when the instance key links to it as
// AddDevice links one.
// The driver key and its texts, when the instance key links to it as
// AddDevice links one. Texts the row had keep their place; new ones follow.
void ReadDriverKey(const MachineSnapshot &snapshot, const SnapshotKey *instanceKey,
                   DeviceRow &row) {
    const auto loadedTexts = std::move(row.driverTexts);
    row.driverKey.reset();
    row.driverTexts.clear();
    const auto link = StoredText(ValueAt(instanceKey, u"Driver"));
    if (!link || !row.classGuid) return;
    const std::u16string prefix = *row.classGuid + u"\\";
    if (!link->starts_with(prefix)) return;
    const std::u16string name = link->substr(prefix.size());
    const SnapshotKey *driverKey = KeyAt(snapshot, sim::DriverKeyPath(*link));
    if (!IsDriverKeyName(name) || driverKey == nullptr) return;
    row.driverKey = name;

    std::vector<const SnapshotValue *> values;
    for (const auto &[loadedName, ignored] : loadedTexts)
        if (const auto found = driverKey->values.find(LoweredAZ(loadedName));
            found != driverKey->values.end())
            values.push_back(&found->second);
    for (const auto &[folded, value] : driverKey->values)
        if (std::find(values.begin(), values.end(), &value) == values.end())
            values.push_back(&value);

    // AddDevice gives the device the driver's description too: one the
    // device does not have stays in the registry file.
    const bool hasDescription = ValueAt(instanceKey, u"DeviceDesc") != nullptr;
    for (const SnapshotValue *value : values) {
        const auto text = StoredText(&value->value);
        if (!text || !CanCarryDriverText(value->name, *text)) continue;
        if (!hasDescription && EqualsFoldAZ(value->name, u"DriverDesc")) continue;
        row.driverTexts.emplace_back(value->name, *text);
    }
}

// One of the two class values: gone when the key lost it, the stored text
// when a row can carry it; otherwise the row keeps what it had and the
// registry file holds the value.
void ReadClassValue(const sim::RegValue *value, std::optional<std::u16string> &slot, bool isGuid) {
    if (value == nullptr) {
        slot.reset();
        return;
    }
    const auto text = StoredText(value);
    if (text && (isGuid ? CanCarryClass(std::nullopt, text) : CanCarryClass(text, std::nullopt)))
        slot = *text;
}

std::optional<DeviceRow> ReadBackDevice(const MachineSnapshot &snapshot, const DeviceRow &loaded) {
    const auto device = snapshot.devices.find(LoweredAZ(loaded.instanceId));
    if (device == snapshot.devices.end()) return std::nullopt;
    DeviceRow row = loaded;
    row.condition = ConditionOf(device->second.state);
    if (row.condition == DeviceCondition::Absent) row.disableable = row.hidden = false;

    const SnapshotKey *instanceKey = KeyAt(snapshot, sim::EnumKeyPath(loaded.instanceId));
    ReadClassValue(ValueAt(instanceKey, u"Class"), row.className, false);
    ReadClassValue(ValueAt(instanceKey, u"ClassGUID"), row.classGuid, true);
    row.hardwareIds = StoredIds(ValueAt(instanceKey, u"HardwareID"));
    row.compatibleIds = StoredIds(ValueAt(instanceKey, u"CompatibleIDs"));
    ReadDriverKey(snapshot, instanceKey, row);
    return row;
}

// A service keeps its row while its key holds every value AddService
// writes; otherwise the registry file alone holds what is left of it.
std::optional<ServiceRow> ReadBackService(const MachineSnapshot &snapshot,
                                          const ServiceRow &loaded) {
    const SnapshotKey *key =
        KeyAt(snapshot, std::u16string(sim::kServicesRoot) + u"\\" + loaded.name);
    const auto image = StoredText(ValueAt(key, u"ImagePath"), REG_EXPAND_SZ);
    const auto type = StoredDword(ValueAt(key, u"Type"));
    const auto start = StoredDword(ValueAt(key, u"Start"));
    if (!image || !CanCarryServiceImage(*image) || !type || !start ||
        ValueAt(key, u"ErrorControl") == nullptr)
        return std::nullopt;
    return ServiceRow{loaded.name, *image, *type, *start};
}

std::u16string ParentOf(const std::u16string &folded) {
    const std::size_t slash = folded.rfind(u'\\');
    return slash == std::u16string::npos ? u"" : folded.substr(0, slash);
}

}  // namespace

void ReadBackRows(const MachineSnapshot &snapshot, const MachineSettings &loaded,
                  std::vector<DeviceRow> &devices, std::vector<ServiceRow> &services) {
    devices.clear();
    services.clear();
    for (const DeviceRow &row : loaded.devices)
        if (auto now = ReadBackDevice(snapshot, row)) devices.push_back(std::move(*now));
    for (const ServiceRow &row : loaded.services)
        if (auto now = ReadBackService(snapshot, row)) services.push_back(std::move(*now));
}

bool RegistryBesideRows(const MachineSnapshot &machine, const MachineSnapshot &seeded,
                        std::vector<RegFileKey> &keys, std::string &error) {
    for (const auto &[folded, key] : seeded.keys) {
        const SnapshotKey *held = KeyAt(machine, key.path);
        std::u16string missing = held == nullptr ? key.path : u"";
        for (const auto &[name, value] : key.values)
            if (missing.empty() && ValueAt(held, value.name) == nullptr)
                missing = key.path + u"\\" + value.name;
        if (missing.empty()) continue;
        error = "the device and service rows would bring back " + ToUtf8(missing) +
                ", which the machine no longer holds; nothing was saved";
        return false;
    }

    // Children sort after their parents: walking backwards, a key's children
    // are settled before the key itself.
    std::vector<RegFileKey> kept;
    std::set<std::u16string> keptParents;
    for (auto it = machine.keys.rbegin(); it != machine.keys.rend(); ++it) {
        const auto &[folded, key] = *it;
        const SnapshotKey *seededKey = KeyAt(seeded, key.path);
        RegFileKey entry{key.path, {}};
        for (const auto &[name, value] : key.values) {
            const sim::RegValue *same = ValueAt(seededKey, value.name);
            if (same == nullptr || !SameRegValue(*same, value.value))
                entry.values.push_back({value.name, value.value});
        }
        const bool hiveRoot = key.path.find(u'\\') == std::u16string::npos;
        // A hive root is written only for its values; any other key the rows
        // do not make stays, empty or not.
        const bool needed = !entry.values.empty() ||
                            (!hiveRoot && (seededKey == nullptr || keptParents.contains(folded)));
        if (!needed) continue;
        keptParents.insert(ParentOf(folded));
        kept.push_back(std::move(entry));
    }
    keys.assign(kept.rbegin(), kept.rend());
    return true;
}

}  // namespace cvl::image

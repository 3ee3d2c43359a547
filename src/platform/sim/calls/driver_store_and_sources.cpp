// The driver store and the installation-source list. An INF is published
// in the INF folder as oemN.inf, with the lowest N free, beside its
// precompiled oemN.PNF, which remembers where the INF came from.
//
// UpdateDriverForPlugAndPlayDevicesW: every present device that carries
// the hardware id, among its hardware ids or its compatible ids, gets the
// driver the INF has for that id. The INF is published in the store
// first; the driver key then records which INF, section and version the
// device runs, and the INF's own registry entries.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/text.h"
#include "platform/guid_text.h"
#include "platform/sim/parts/device_registry.h"
#include "platform/sim/parts/inf_install.h"
#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

constexpr char16_t kSetupKey[] = u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr char16_t kSourcesValue[] = u"Installation Sources";

constexpr DWORD INSTALLFLAG_READONLY = 0x2;
constexpr DWORD INSTALLFLAG_NONINTERACTIVE = 0x4;
constexpr DWORD kKnownInstallFlags =
    INSTALLFLAG_FORCE | INSTALLFLAG_READONLY | INSTALLFLAG_NONINTERACTIVE;

// Read from the instance key the walk holds: a machine has thousands of
// instances, and a lookup by path would walk down from the hive for each.
bool CarriesId(RegKeyNode &instanceKey, std::u16string_view hardwareId) {
    for (const char16_t *list : {u"HardwareID", u"CompatibleIDs"}) {
        const RegValue *ids = instanceKey.Value(list);
        if (ids == nullptr) continue;
        for (const auto &id : MultiStrings(*ids))
            if (EqualsFoldAZ(id, hardwareId)) return true;
    }
    return false;
}

// The same instance always gets the same connection GUID, so runs can be
// compared; it has the form of a random (version 4) GUID.
std::u16string NetCfgInstanceIdFor(std::u16string_view instanceId) {
    std::uint64_t halves[2] = {0xcbf29ce484222325ull, 0x84222325cbf29ce4ull};
    for (auto &hash : halves)
        for (const char16_t c : LoweredAZ(instanceId)) {
            hash ^= c;
            hash *= 0x100000001b3ull;
        }
    char text[40];
    std::snprintf(
        text, sizeof text, "{%08X-%04X-4%03X-8%03X-%012llX}",
        static_cast<unsigned>(halves[0] >> 32), static_cast<unsigned>((halves[0] >> 16) & 0xFFFF),
        static_cast<unsigned>(halves[0] & 0xFFF), static_cast<unsigned>((halves[1] >> 48) & 0xFFF),
        static_cast<unsigned long long>(halves[1] & 0xFFFFFFFFFFFFull));
    return Widen(text);
}

// The class the INF installs into: its ClassGUID, written as class keys
// are named; the device's own class when the INF names none.
std::u16string InstallClass(const InfFile &inf, const RegistryPaths &registry,
                            const std::u16string &instanceKey) {
    if (const auto text = inf.Field(u"Version", u"ClassGUID", 1))
        if (const auto guid = win::ParseGuid(*text)) return GuidText(*guid);
    return LoweredAZ(registry.GetRegString(instanceKey, u"ClassGUID").value_or(u""));
}

}  // namespace

BOOL SimulatedPlatform::DoSetupCopyOEMInfW(const char16_t *sourceInf, const char16_t *mediaLocation,
                                           DWORD mediaType, DWORD copyStyle, char16_t *destination,
                                           DWORD destinationSize, DWORD *requiredSize) {
    Machine &m = *machine_;
    if (sourceInf == nullptr || mediaType > SPOST_URL ||
        (destination == nullptr && destinationSize != 0))
        return m.FailWith(ERROR_INVALID_PARAMETER);
    // Only a full path names the source; anything else is not found.
    const FileSystem::Place source = m.files.Locate(sourceInf);
    if (!IsFullWinPath(sourceInf) || !source.node || source.node->directory)
        return m.FailWith(ERROR_FILE_NOT_FOUND);
    const DriverStore::Publication publication =
        m.store.Publish(source, mediaType, mediaLocation, copyStyle);
    if (publication.published.empty()) return m.FailWith(publication.error);
    // The name is given back even when an existing copy stops the call.
    const std::u16string path = m.store.InfFolder().Child(publication.published).Text();
    if (requiredSize != nullptr) *requiredSize = static_cast<DWORD>(path.size() + 1);
    if (destination != nullptr) {
        if (destinationSize <= path.size()) return m.FailWith(ERROR_INSUFFICIENT_BUFFER);
        std::copy(path.begin(), path.end(), destination);
        destination[path.size()] = u'\0';
    }
    if (publication.error != ERROR_SUCCESS) return m.FailWith(publication.error);
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL SimulatedPlatform::DoSetupAddToSourceListW(DWORD, const char16_t *source) {
    Machine &m = *machine_;
    if (source == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    EditSourceList(source, true);
    return TRUE;
}

BOOL SimulatedPlatform::DoSetupRemoveFromSourceListW(DWORD, const char16_t *source) {
    Machine &m = *machine_;
    if (source == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    EditSourceList(source, false);
    return TRUE;
}

// The system's source list is a multi-string in the registry; a folder
// stands in it once, whatever its spelling.
void SimulatedPlatform::EditSourceList(std::u16string_view source, bool add) {
    auto sources = MultiStrings(machine_->registryPaths.GetRegValue(kSetupKey, kSourcesValue));
    const auto listed = [&](const auto &text) { return EqualsFoldAZ(text, source); };
    if (!add) {
        std::erase_if(sources, listed);
    } else if (std::none_of(sources.begin(), sources.end(), listed)) {
        sources.emplace_back(source);
    }
    machine_->registryPaths.SetRegMultiString(kSetupKey, kSourcesValue, sources);
}

BOOL SimulatedPlatform::DoUpdateDriverForPlugAndPlayDevicesW(const char16_t *hardwareId,
                                                             const char16_t *fullInfPath,
                                                             DWORD flags, BOOL *rebootRequired) {
    Machine &m = *machine_;
    if (rebootRequired != nullptr) *rebootRequired = FALSE;
    // A 32-bit program cannot install drivers on 64-bit Windows.
    if (m.system.Wow64()) return m.FailWith(ERROR_IN_WOW64);
    if (flags & ~kKnownInstallFlags) return m.FailWith(ERROR_INVALID_FLAGS);
    if (hardwareId == nullptr || *hardwareId == u'\0' || fullInfPath == nullptr)
        return m.FailWith(ERROR_INVALID_PARAMETER);
    const FileSystem::Place inf = m.files.Locate(fullInfPath);
    if (!IsFullWinPath(fullInfPath) || !inf.node || inf.node->directory)
        return m.FailWith(ERROR_FILE_NOT_FOUND);
    const InfParse parse = m.store.ReadInf(*inf.node, INF_STYLE_WIN4);
    if (parse.error) return m.FailWith(parse.error);

    std::vector<std::u16string> devices;
    if (const auto enumRoot = m.registry.FindKey(kEnumRoot))
        for (const auto &bus : enumRoot->subkeys)
            for (const auto &device : bus->subkeys)
                for (const auto &instance : device->subkeys) {
                    if (!CarriesId(*instance, hardwareId)) continue;
                    const std::u16string id =
                        bus->name + u"\\" + device->name + u"\\" + instance->name;
                    if (m.devices.PresentNode(m.devices.DevInstOf(id)) != nullptr)
                        devices.push_back(id);
                }
    if (devices.empty()) return m.FailWith(ERROR_NO_SUCH_DEVINST);
    // The documentation names no error for an INF without a driver for the
    // id; Windows has selected no driver then.
    const auto driver = FindDriver(parse.file, hardwareId, m.system.Version());
    if (!driver) return m.FailWith(ERROR_NO_DRIVER_SELECTED);
    const DriverVer driverVer = ReadDriverVer(parse.file);
    const DriverRank offered = RankOf(driverVer.date, driverVer.version);

    // Without force only devices whose driver is older take the new one.
    std::vector<std::u16string> updates;
    for (const auto &id : devices) {
        const auto current = m.registryPaths.GetRegString(EnumKeyPath(id), u"Driver");
        const std::u16string driverKey = current ? DriverKeyPath(*current) : u"";
        const bool older =
            !current ||
            RankOf(m.registryPaths.GetRegString(driverKey, u"DriverDate").value_or(u""),
                   m.registryPaths.GetRegString(driverKey, u"DriverVersion").value_or(u"")) <
                offered;
        if ((flags & INSTALLFLAG_FORCE) || older) updates.push_back(id);
    }
    if (updates.empty()) return m.FailWith(ERROR_NO_MORE_ITEMS);

    const DriverStore::Publication publication = m.store.Publish(inf, SPOST_PATH, nullptr, 0);
    if (publication.published.empty()) return m.FailWith(publication.error);
    const std::u16string section = driver->installSection + driver->sectionExt;
    if (!(flags & INSTALLFLAG_READONLY))
        CopyDriverFiles(m.files, parse.file, section, inf.path.Parent().Text(), m.store.DirIds());
    const auto service = InstallServices(m.registryPaths, m.files, parse.file, section);
    const auto infClass = parse.file.Field(u"Version", u"Class", 1);
    for (const auto &id : updates) {
        const std::u16string instanceKey = EnumKeyPath(id);
        const std::u16string classGuid = InstallClass(parse.file, m.registryPaths, instanceKey);
        // A driver key of another class gives way to one of the new class.
        std::u16string driverKey;
        if (const auto current = m.registryPaths.GetRegString(instanceKey, u"Driver")) {
            const bool sameClass =
                EqualsFoldAZ(current->substr(0, current->find(u'\\')), classGuid);
            if (sameClass && m.registryPaths.RegKeyExists(DriverKeyPath(*current))) {
                driverKey = DriverKeyPath(*current);
            } else {
                m.registryPaths.DeleteRegTree(DriverKeyPath(*current));
            }
        }
        const std::u16string classKey = DriverKeyPath(classGuid);
        if (infClass && !m.registryPaths.GetRegString(classKey, u"Class"))
            m.registryPaths.SetRegString(classKey, u"Class", *infClass);
        if (driverKey.empty()) driverKey = LinkNewDriverKey(m.registryPaths, id, classGuid);

        m.registryPaths.SetRegString(instanceKey, u"ClassGUID", classGuid);
        if (infClass) m.registryPaths.SetRegString(instanceKey, u"Class", *infClass);
        m.registryPaths.SetRegString(instanceKey, u"DeviceDesc", driver->description);
        m.registryPaths.SetRegString(instanceKey, u"Mfg", driver->manufacturer);
        if (service) m.registryPaths.SetRegString(instanceKey, u"Service", *service);

        m.registryPaths.SetRegString(driverKey, u"DriverDate", driverVer.date);
        m.registryPaths.SetRegString(driverKey, u"DriverVersion", driverVer.version);
        m.registryPaths.SetRegString(driverKey, u"InfPath", publication.published);
        m.registryPaths.SetRegString(driverKey, u"InfSection", driver->installSection);
        if (!driver->sectionExt.empty())
            m.registryPaths.SetRegString(driverKey, u"InfSectionExt", driver->sectionExt);
        m.registryPaths.SetRegString(driverKey, u"ProviderName",
                                     parse.file.Field(u"Version", u"Provider", 1).value_or(u""));
        m.registryPaths.SetRegString(driverKey, u"MatchingDeviceId", driver->matchingId);
        m.registryPaths.SetRegString(driverKey, u"DriverDesc", driver->description);
        // Network adapters also get their component id and, once, the
        // GUID that names their connection.
        if (EqualsFoldAZ(classGuid, kNetClassGuidText)) {
            m.registryPaths.SetRegString(driverKey, u"ComponentId", driver->matchingId);
            if (!m.registryPaths.GetRegString(driverKey, u"NetCfgInstanceId"))
                m.registryPaths.SetRegString(driverKey, u"NetCfgInstanceId",
                                             NetCfgInstanceIdFor(id));
        }
        ApplyAddReg(m.registryPaths, parse.file, section, driverKey);
        ApplyAddReg(m.registryPaths, parse.file, section + u".HW",
                    instanceKey + u"\\Device Parameters");

        // The device restarts with its new driver; one that was disabled
        // stays so.
        if (DeviceNode *node = m.devices.PresentNode(m.devices.DevInstOf(id));
            node != nullptr && !node->disabled)
            node->started = true;
        m.devices.Record("update " + ToUtf8(id), fullInfPath);
    }
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

}  // namespace cvl::sim

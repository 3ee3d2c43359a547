// Device lists. A list is taken from the Enum keys when it is made: three
// levels below Enum (enumerator, device, instance), in the order a walk of
// that tree meets them, each level in the registry's own order (sorted by
// upper-cased name). Windows builds its lists from the device tree, whose
// nodes the PnP manager makes while it walks the Enum keys, so this is the
// order a program sees on a machine whose devices were all found at boot;
// a device that arrives later may come last there. Members keep their place
// until the list is destroyed, even when their device goes meanwhile.
//
// Device properties and keys, read from and kept in the registry: the
// properties are values of the instance key, the software key is the
// driver key that its "Driver" value names, the hardware key is the
// instance's "Device Parameters".
#include <cstring>

#include "common/text.h"
#include "platform/guid_text.h"
#include "platform/sim/parts/device_registry.h"
#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

// Lists of device interfaces: the machine's devices expose none.
constexpr DWORD DIGCF_DEVICEINTERFACE = 0x10;
constexpr DWORD kKnownListFlags =
    DIGCF_DEFAULT | DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_PROFILE | DIGCF_DEVICEINTERFACE;

constexpr DWORD DICS_FLAG_CONFIGGENERAL = 4;

const char16_t *PropertyValueName(DWORD property) {
    switch (property) {
        case SPDRP_DEVICEDESC:
            return u"DeviceDesc";
        case SPDRP_HARDWAREID:
            return u"HardwareID";
        case SPDRP_COMPATIBLEIDS:
            return u"CompatibleIDs";
        case SPDRP_SERVICE:
            return u"Service";
        case SPDRP_CLASS:
            return u"Class";
        case SPDRP_CLASSGUID:
            return u"ClassGUID";
        case SPDRP_DRIVER:
            return u"Driver";
        default:
            return nullptr;
    }
}

bool KnownScope(DWORD scope) {
    return scope == DICS_FLAG_GLOBAL || scope == DICS_FLAG_CONFIGSPECIFIC ||
           scope == DICS_FLAG_CONFIGGENERAL;
}

// Deleting both keys fails on a key that could not go, or when neither
// existed.
DWORD BothKeysResult(DWORD hardware, DWORD software) {
    for (const DWORD result : {hardware, software})
        if (result != ERROR_SUCCESS && result != ERROR_KEY_DOES_NOT_EXIST) return result;
    return hardware == ERROR_SUCCESS || software == ERROR_SUCCESS ? ERROR_SUCCESS
                                                                  : ERROR_KEY_DOES_NOT_EXIST;
}

}  // namespace

HDEVINFO SimulatedPlatform::DoSetupDiGetClassDevsW(const Guid *classGuid,
                                                   const char16_t *enumerator, DWORD flags) {
    Machine &m = *machine_;
    if ((classGuid == nullptr && !(flags & DIGCF_ALLCLASSES)) || (flags & ~kKnownListFlags))
        return m.Fail(ERROR_INVALID_PARAMETER, InvalidHandleValue());
    DeviceListObject list;
    const auto enumRoot = m.registry.FindKey(kEnumRoot);
    if (!enumRoot || (flags & DIGCF_DEVICEINTERFACE)) {
        m.lastError = ERROR_SUCCESS;
        return m.handles.Add(std::move(list));
    }
    for (const auto &bus : enumRoot->subkeys) {
        if (enumerator != nullptr && *enumerator != u'\0' && !EqualsFoldAZ(bus->name, enumerator))
            continue;
        for (const auto &device : bus->subkeys) {
            for (const auto &instance : device->subkeys) {
                const RegValue *classValue = instance->Value(u"ClassGUID");
                const auto classText = classValue ? RegStringOf(*classValue) : std::nullopt;
                const auto deviceClass = classText ? win::ParseGuid(*classText) : std::nullopt;
                if (!(flags & DIGCF_ALLCLASSES) && !(deviceClass && *deviceClass == *classGuid))
                    continue;
                const std::u16string instanceId =
                    bus->name + u"\\" + device->name + u"\\" + instance->name;
                const DEVINST devInst = m.devices.DevInstOf(instanceId);
                if ((flags & DIGCF_PRESENT) && m.devices.PresentNode(devInst) == nullptr) continue;
                list.members.push_back(
                    DeviceListMember{devInst, instanceId, deviceClass.value_or(Guid{}), {}});
            }
        }
    }
    m.lastError = ERROR_SUCCESS;
    return m.handles.Add(std::move(list));
}

BOOL SimulatedPlatform::DoSetupDiClassGuidsFromNameW(const char16_t *className, Guid *guidList,
                                                     DWORD guidListSize, DWORD *requiredSize) {
    Machine &m = *machine_;
    if (className == nullptr || requiredSize == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    // A class is a key named by its GUID whose "Class" value names it.
    std::vector<Guid> matches;
    for (const auto &keyName : m.registryPaths.RegSubkeyNames(kClassRoot)) {
        const auto guid = win::ParseGuid(keyName);
        const auto name = m.registryPaths.GetRegString(DriverKeyPath(keyName), u"Class");
        if (guid && name && EqualsFoldAZ(*name, className)) matches.push_back(*guid);
    }
    *requiredSize = static_cast<DWORD>(matches.size());
    if (matches.size() > guidListSize || (guidList == nullptr && !matches.empty()))
        return m.FailWith(ERROR_INSUFFICIENT_BUFFER);
    for (std::size_t i = 0; i < matches.size(); ++i) guidList[i] = matches[i];
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL SimulatedPlatform::DoSetupDiEnumDeviceInfo(HDEVINFO list, DWORD index, DevInfoData *data) {
    Machine &m = *machine_;
    const DeviceListObject *devices = m.handles.As<DeviceListObject>(list);
    if (devices == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    if (data == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    if (index >= devices->members.size()) return m.FailWith(ERROR_NO_MORE_ITEMS);
    const DeviceListMember &member = devices->members[index];
    data->ClassGuid = member.classGuid;
    data->DevInst = member.devInst;
    data->Reserved = index + 1;
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL SimulatedPlatform::DoSetupDiDestroyDeviceInfoList(HDEVINFO list) {
    Machine &m = *machine_;
    if (m.handles.As<DeviceListObject>(list) == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    m.Close(list);
    return TRUE;
}

BOOL SimulatedPlatform::DoSetupDiGetDeviceRegistryPropertyW(HDEVINFO list, const DevInfoData *data,
                                                            DWORD property, DWORD *regType,
                                                            BYTE *buffer, DWORD bufferSize,
                                                            DWORD *requiredSize) {
    Machine &m = *machine_;
    DeviceListMember *member = nullptr;
    if (const DWORD error = m.devices.MemberOf(list, data, member)) return m.FailWith(error);
    const char16_t *valueName = PropertyValueName(property);
    if (valueName == nullptr) return m.FailWith(ERROR_INVALID_REG_PROPERTY);
    if (buffer == nullptr && bufferSize != 0) return m.FailWith(ERROR_INVALID_PARAMETER);
    const std::u16string instanceKey = EnumKeyPath(member->instanceId);
    if (!m.registryPaths.RegKeyExists(instanceKey)) return m.FailWith(ERROR_NO_SUCH_DEVINST);
    const auto value = m.registryPaths.GetRegValue(instanceKey, valueName);
    if (!value) return m.FailWith(ERROR_INVALID_DATA);
    const auto size = static_cast<DWORD>(value->data.size());
    if (regType != nullptr) *regType = value->type;
    if (requiredSize != nullptr) *requiredSize = size;
    if (bufferSize < size) return m.FailWith(ERROR_INSUFFICIENT_BUFFER);
    if (size > 0) std::memcpy(buffer, value->data.data(), size);
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL SimulatedPlatform::DoSetupDiGetDeviceInstanceIdW(HDEVINFO list, const DevInfoData *data,
                                                      char16_t *buffer, DWORD bufferSize,
                                                      DWORD *requiredSize) {
    Machine &m = *machine_;
    DeviceListMember *member = nullptr;
    if (const DWORD error = m.devices.MemberOf(list, data, member)) return m.FailWith(error);
    if (buffer == nullptr && bufferSize != 0) return m.FailWith(ERROR_INVALID_PARAMETER);
    const auto size = static_cast<DWORD>(member->instanceId.size() + 1);
    if (requiredSize != nullptr) *requiredSize = size;
    if (bufferSize < size) return m.FailWith(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(buffer, member->instanceId.c_str(), size * sizeof(char16_t));
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

// Windows checks the scope and key type before the device; an access of 0
// opens nothing.
HKEY SimulatedPlatform::DoSetupDiOpenDevRegKey(HDEVINFO list, const DevInfoData *data, DWORD scope,
                                               DWORD, DWORD keyType, REGSAM sam) {
    Machine &m = *machine_;
    const auto invalidKey = static_cast<HKEY>(InvalidHandleValue());
    DeviceListMember *member = nullptr;
    if (const DWORD error = m.devices.MemberOf(list, data, member))
        return m.Fail(error, invalidKey);
    if (!KnownScope(scope) || (keyType != DIREG_DEV && keyType != DIREG_DRV))
        return m.Fail(ERROR_INVALID_FLAGS, invalidKey);
    const std::u16string instanceKey = EnumKeyPath(member->instanceId);
    if (!m.registryPaths.RegKeyExists(instanceKey))
        return m.Fail(ERROR_NO_SUCH_DEVINST, invalidKey);
    std::u16string path = instanceKey + u"\\Device Parameters";
    if (keyType == DIREG_DRV) {
        const auto driver = m.registryPaths.GetRegString(instanceKey, u"Driver");
        if (!driver || driver->empty()) return m.Fail(ERROR_KEY_DOES_NOT_EXIST, invalidKey);
        path = DriverKeyPath(*driver);
    }
    // Windows does not make the key when it opens one: it stays missing
    // until something creates it.
    const auto key = m.registry.FindKey(path);
    if (!key) return m.Fail(ERROR_KEY_DOES_NOT_EXIST, invalidKey);
    if (sam == 0) return m.Fail(ERROR_INVALID_DATA, invalidKey);
    m.lastError = ERROR_SUCCESS;
    return m.registry.OpenHandle(key, sam);
}

// The driver key goes as RegDeleteKeyW takes it: on the NT family not
// while it has subkeys. Its "Driver" link goes with it.
BOOL SimulatedPlatform::DoSetupDiDeleteDevRegKey(HDEVINFO list, const DevInfoData *data,
                                                 DWORD scope, DWORD, DWORD keyType) {
    Machine &m = *machine_;
    DeviceListMember *member = nullptr;
    if (const DWORD error = m.devices.MemberOf(list, data, member)) return m.FailWith(error);
    if (!KnownScope(scope) ||
        (keyType != DIREG_DEV && keyType != DIREG_DRV && keyType != DIREG_BOTH))
        return m.FailWith(ERROR_INVALID_FLAGS);
    const std::u16string instanceKey = EnumKeyPath(member->instanceId);
    if (!m.registryPaths.RegKeyExists(instanceKey)) return m.FailWith(ERROR_NO_SUCH_DEVINST);
    const auto deleteKey = [&](const std::u16string &path) -> DWORD {
        const auto key = m.registry.FindKey(path);
        if (!key) return ERROR_KEY_DOES_NOT_EXIST;
        return static_cast<DWORD>(m.registry.DeleteKey(*key));
    };
    DWORD hardwareResult = ERROR_KEY_DOES_NOT_EXIST;
    DWORD softwareResult = ERROR_KEY_DOES_NOT_EXIST;
    if (keyType != DIREG_DRV) hardwareResult = deleteKey(instanceKey + u"\\Device Parameters");
    if (keyType != DIREG_DEV) {
        const auto driver = m.registryPaths.GetRegString(instanceKey, u"Driver");
        if (driver && !driver->empty()) softwareResult = deleteKey(DriverKeyPath(*driver));
        if (softwareResult == ERROR_SUCCESS)
            m.registry.FindKey(instanceKey)->RemoveValue(u"Driver");
    }
    const DWORD result = keyType == DIREG_DEV   ? hardwareResult
                         : keyType == DIREG_DRV ? softwareResult
                                                : BothKeysResult(hardwareResult, softwareResult);
    if (result != ERROR_SUCCESS) return m.FailWith(result);
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

}  // namespace cvl::sim

// Device lists. A list is taken from the Enum keys when it is made: three
// levels below Enum (enumerator, device, instance), in the order a walk of
// that tree meets them, each level in the registry's own order (sorted by
// upper-cased name). Windows builds its lists from the device tree, whose
// nodes the PnP manager makes while it walks the Enum keys, so this is the
// order a program sees on a machine whose devices were all found at boot;
// a device that arrives later may come last there. Members keep their place
// until the list is destroyed, even when their device goes meanwhile.
#include "common/text.h"
#include "platform/sim/parts/device_registry.h"
#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

// Lists of device interfaces: the machine's devices expose none.
constexpr DWORD DIGCF_DEVICEINTERFACE = 0x10;
constexpr DWORD kKnownListFlags =
    DIGCF_DEFAULT | DIGCF_PRESENT | DIGCF_ALLCLASSES | DIGCF_PROFILE | DIGCF_DEVICEINTERFACE;

}  // namespace

HDEVINFO SimulatedPlatform::SetupDiGetClassDevsW(const Guid *classGuid, const char16_t *enumerator,
                                                 DWORD flags) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::SetupDiGetClassDevsW))
        return m.Fail(*error, InvalidHandleValue());
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
                const auto deviceClass = classText ? ParseGuid(*classText) : std::nullopt;
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

BOOL SimulatedPlatform::SetupDiClassGuidsFromNameW(const char16_t *className, Guid *guidList,
                                                   DWORD guidListSize, DWORD *requiredSize) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::SetupDiClassGuidsFromNameW))
        return m.FailWith(*error);
    if (className == nullptr || requiredSize == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    // A class is a key named by its GUID whose "Class" value names it.
    std::vector<Guid> matches;
    for (const auto &keyName : m.registryPaths.RegSubkeyNames(kClassRoot)) {
        const auto guid = ParseGuid(keyName);
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

BOOL SimulatedPlatform::SetupDiEnumDeviceInfo(HDEVINFO list, DWORD index, DevInfoData *data) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::SetupDiEnumDeviceInfo))
        return m.FailWith(*error);
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

BOOL SimulatedPlatform::SetupDiDestroyDeviceInfoList(HDEVINFO list) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::SetupDiDestroyDeviceInfoList))
        return m.FailWith(*error);
    if (m.handles.As<DeviceListObject>(list) == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    m.Close(list);
    return TRUE;
}

}  // namespace cvl::sim

// The class installer's two requests: a property change that switches a
// device off or on, and removal. Parameters are kept per list member, as
// SetupAPI keeps them per device information element.
#include "common/text.h"
#include "platform/sim/parts/device_registry.h"
#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

constexpr DWORD DICS_PROPCHANGE = 3;
constexpr DWORD DICS_START = 4;
constexpr DWORD DICS_STOP = 5;
constexpr DWORD DICS_FLAG_CONFIGGENERAL = 4;
constexpr DWORD DI_REMOVEDEVICE_CONFIGSPECIFIC = 2;

bool ValidParams(const ClassInstallParams &params) {
    if (params.InstallFunction == DIF_PROPERTYCHANGE)
        return params.StateChange >= DICS_ENABLE && params.StateChange <= DICS_STOP &&
               (params.Scope == DICS_FLAG_GLOBAL || params.Scope == DICS_FLAG_CONFIGSPECIFIC ||
                params.Scope == DICS_FLAG_CONFIGGENERAL);
    if (params.InstallFunction == DIF_REMOVE)
        return params.Scope == DI_REMOVEDEVICE_GLOBAL ||
               params.Scope == DI_REMOVEDEVICE_CONFIGSPECIFIC;
    return true;
}

const char *StateChangeName(DWORD stateChange) {
    switch (stateChange) {
        case DICS_ENABLE:
            return "DICS_ENABLE";
        case DICS_DISABLE:
            return "DICS_DISABLE";
        case DICS_PROPCHANGE:
            return "DICS_PROPCHANGE";
        case DICS_START:
            return "DICS_START";
        default:
            return "DICS_STOP";
    }
}

// What a state change does to a present node; the timeline event it makes,
// or nothing when the node stays as it was.
std::optional<std::string> ChangeState(DeviceNode &node, DWORD stateChange) {
    switch (stateChange) {
        case DICS_DISABLE:
            if (node.disabled) return std::nullopt;
            node.disabled = true;
            node.started = false;
            return "disable";
        case DICS_ENABLE:
            if (!node.disabled && node.started) return std::nullopt;
            node.disabled = false;
            node.started = true;
            return "enable";
        case DICS_START:
            if (node.disabled || node.started) return std::nullopt;
            node.started = true;
            return "start";
        case DICS_STOP:
            if (!node.started) return std::nullopt;
            node.started = false;
            return "stop";
        default:  // a restart leaves the node as it was
            return std::nullopt;
    }
}

}  // namespace

BOOL SimulatedPlatform::DoSetupDiSetClassInstallParamsW(HDEVINFO list, const DevInfoData *data,
                                                        const ClassInstallParams *params) {
    Machine &m = *machine_;
    DeviceListObject *devices = m.handles.As<DeviceListObject>(list);
    if (devices == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    if (params != nullptr && !ValidParams(*params)) return m.FailWith(ERROR_INVALID_PARAMETER);
    // No parameters clear those set before.
    std::optional<ClassInstallParams> stored;
    if (params != nullptr) stored = *params;
    if (data == nullptr) {
        devices->installParams = stored;
    } else {
        DeviceListMember *member = nullptr;
        if (const DWORD error = m.devices.MemberOf(list, data, member)) return m.FailWith(error);
        member->installParams = stored;
    }
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL SimulatedPlatform::DoSetupDiCallClassInstaller(DWORD installFunction, HDEVINFO list,
                                                    const DevInfoData *data) {
    Machine &m = *machine_;
    if (m.handles.As<DeviceListObject>(list) == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    if (installFunction != DIF_PROPERTYCHANGE && installFunction != DIF_REMOVE)
        return m.FailWith(ERROR_DI_DO_DEFAULT);
    if (data == nullptr) return m.FailWith(ERROR_NO_DEVICE_SELECTED);
    DeviceListMember *member = nullptr;
    if (const DWORD error = m.devices.MemberOf(list, data, member)) return m.FailWith(error);
    const std::u16string id = member->instanceId;
    const std::string idText = ToUtf8(id);

    if (installFunction == DIF_REMOVE) {
        m.devices.RecordClassInstallerCall("DIF_REMOVE " + idText);
        const std::u16string instanceKey = EnumKeyPath(id);
        if (!m.registryPaths.RegKeyExists(instanceKey)) return m.FailWith(ERROR_NO_SUCH_DEVINST);
        // The software key goes whole, with whatever its driver kept below
        // it. (Wine leaves a driver key that has subkeys.)
        if (const auto driver = m.registryPaths.GetRegString(instanceKey, u"Driver");
            driver && !driver->empty())
            m.registryPaths.DeleteRegTree(DriverKeyPath(*driver));
        m.registryPaths.DeleteRegTree(instanceKey);
        m.devices.RemoveNode(member->devInst);
        m.devices.Record("remove", id);
        m.lastError = ERROR_SUCCESS;
        return TRUE;
    }

    const auto &params = member->installParams;
    const bool haveParams = params && params->InstallFunction == DIF_PROPERTYCHANGE;
    m.devices.RecordClassInstallerCall(
        "DIF_PROPERTYCHANGE " +
        (haveParams ? std::string(StateChangeName(params->StateChange)) + " " : std::string()) +
        idText);
    if (!haveParams) return m.FailWith(ERROR_NO_CLASSINSTALL_PARAMS);
    if (!m.registryPaths.RegKeyExists(EnumKeyPath(id))) return m.FailWith(ERROR_NO_SUCH_DEVINST);
    // A device that is not present keeps no running state to change.
    DeviceNode *node = m.devices.PresentNode(member->devInst);
    if (node != nullptr) {
        if (params->StateChange == DICS_DISABLE && !node->disableable)
            return m.FailWith(ERROR_NOT_DISABLEABLE);
        if (auto event = ChangeState(*node, params->StateChange)) m.devices.Record(*event, id);
    }
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

}  // namespace cvl::sim

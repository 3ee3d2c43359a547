// Device lists, properties, device keys, class-installer requests and the
// Configuration Manager calls.
#include "platform/win32/win32_platform.h"

#include "platform/win32/library_binding.h"
#include "platform/win32/win32_boundary.h"

namespace cvl {

using win32::DevInfoArg;
using win32::Ours;
using win32::SameLayout;
using win32::Wide;

namespace {

// The request records of the two class-installer functions the logic uses
// start with a header that carries the header's own size and the function.
template <typename Request>
BOOL SetRequest(HDEVINFO list, DevInfoArg &device, DWORD function, Request request) {
    request.ClassInstallHeader.cbSize = sizeof(::SP_CLASSINSTALL_HEADER);
    request.ClassInstallHeader.InstallFunction = function;
    return CVL_BOUND_CALL(SetupDiSetClassInstallParamsW, list, device.get(),
                          &request.ClassInstallHeader, sizeof(request));
}

}  // namespace

HDEVINFO Win32Platform::SetupDiGetClassDevsW(const Guid *classGuid, const char16_t *enumerator,
                                             DWORD flags) {
    return CVL_BOUND_CALL(SetupDiGetClassDevsW, SameLayout<const ::GUID>(classGuid),
                          Wide(enumerator), nullptr, flags);
}

BOOL Win32Platform::SetupDiClassGuidsFromNameW(const char16_t *className, Guid *guidList,
                                               DWORD guidListSize, DWORD *requiredSize) {
    return CVL_BOUND_CALL(SetupDiClassGuidsFromNameW, Wide(className), SameLayout<::GUID>(guidList),
                          guidListSize, SameLayout<::DWORD>(requiredSize));
}

BOOL Win32Platform::SetupDiEnumDeviceInfo(HDEVINFO list, DWORD index, DevInfoData *data) {
    ::SP_DEVINFO_DATA real{};
    real.cbSize = sizeof(real);
    BOOL found = CVL_BOUND_CALL(SetupDiEnumDeviceInfo, list, index, &real);
    if (found && data) win32::CopyDevInfo(real, *data);
    return found;
}

BOOL Win32Platform::SetupDiDestroyDeviceInfoList(HDEVINFO list) {
    return CVL_BOUND_CALL(SetupDiDestroyDeviceInfoList, list);
}

BOOL Win32Platform::SetupDiGetDeviceInstanceIdW(HDEVINFO list, const DevInfoData *data,
                                                char16_t *buffer, DWORD bufferSize,
                                                DWORD *requiredSize) {
    DevInfoArg device(data);
    return CVL_BOUND_CALL(SetupDiGetDeviceInstanceIdW, list, device.get(), Wide(buffer), bufferSize,
                          SameLayout<::DWORD>(requiredSize));
}

BOOL Win32Platform::SetupDiGetDeviceRegistryPropertyW(HDEVINFO list, const DevInfoData *data,
                                                      DWORD property, DWORD *regType, BYTE *buffer,
                                                      DWORD bufferSize, DWORD *requiredSize) {
    DevInfoArg device(data);
    return CVL_BOUND_CALL(SetupDiGetDeviceRegistryPropertyW, list, device.get(), property,
                          SameLayout<::DWORD>(regType), buffer, bufferSize,
                          SameLayout<::DWORD>(requiredSize));
}

HKEY Win32Platform::SetupDiOpenDevRegKey(HDEVINFO list, const DevInfoData *data, DWORD scope,
                                         DWORD hwProfile, DWORD keyType, REGSAM sam) {
    DevInfoArg device(data);
    return Ours(
        CVL_BOUND_CALL(SetupDiOpenDevRegKey, list, device.get(), scope, hwProfile, keyType, sam));
}

BOOL Win32Platform::SetupDiDeleteDevRegKey(HDEVINFO list, const DevInfoData *data, DWORD scope,
                                           DWORD hwProfile, DWORD keyType) {
    DevInfoArg device(data);
    return CVL_BOUND_CALL(SetupDiDeleteDevRegKey, list, device.get(), scope, hwProfile, keyType);
}

BOOL Win32Platform::SetupDiSetClassInstallParamsW(HDEVINFO list, const DevInfoData *data,
                                                  const ClassInstallParams *params) {
    DevInfoArg device(data);
    if (!params)
        return CVL_BOUND_CALL(SetupDiSetClassInstallParamsW, list, device.get(), nullptr, 0);
    switch (params->InstallFunction) {
        case DIF_PROPERTYCHANGE:
            return SetRequest(
                list, device, DIF_PROPERTYCHANGE,
                ::SP_PROPCHANGE_PARAMS{{}, params->StateChange, params->Scope, params->HwProfile});
        case DIF_REMOVE:
            return SetRequest(list, device, DIF_REMOVE,
                              ::SP_REMOVEDEVICE_PARAMS{{}, params->Scope, params->HwProfile});
        default:
            // No other request has a record our type can describe.
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
    }
}

BOOL Win32Platform::SetupDiCallClassInstaller(DWORD installFunction, HDEVINFO list,
                                              const DevInfoData *data) {
    DevInfoArg device(data);
    return CVL_BOUND_CALL(SetupDiCallClassInstaller, installFunction, list, device.get());
}

CONFIGRET Win32Platform::CM_Get_DevNode_Status(ULONG *status, ULONG *problem, DEVINST devInst,
                                               ULONG flags) {
    return CVL_BOUND_CALL(CM_Get_DevNode_Status, SameLayout<::ULONG>(status),
                          SameLayout<::ULONG>(problem), devInst, flags);
}

CONFIGRET Win32Platform::CM_Connect_MachineW(const char16_t *machineName, HMACHINE *machine) {
    return CVL_BOUND_CALL(CM_Connect_MachineW, Wide(machineName), SameLayout<::HMACHINE>(machine));
}

CONFIGRET Win32Platform::CM_Locate_DevNode_ExW(DEVINST *devInst, const char16_t *deviceId,
                                               ULONG flags, HMACHINE machine) {
    // The system's prototype takes the id as modifiable; it only reads it.
    return CVL_BOUND_CALL(CM_Locate_DevNode_ExW, SameLayout<::DEVINST>(devInst),
                          const_cast<wchar_t *>(Wide(deviceId)), flags, machine);
}

CONFIGRET Win32Platform::CM_Reenumerate_DevNode_Ex(DEVINST devInst, ULONG flags, HMACHINE machine) {
    return CVL_BOUND_CALL(CM_Reenumerate_DevNode_Ex, devInst, flags, machine);
}

CONFIGRET Win32Platform::CM_Disconnect_Machine(HMACHINE machine) {
    return CVL_BOUND_CALL(CM_Disconnect_Machine, machine);
}

}  // namespace cvl

// Device lists, properties, device keys, class-installer requests and the
// Configuration Manager calls.
#include "platform/win32/win32_platform.h"

#include <cstring>
#include <vector>

#include "platform/win32/ansi_text.h"
#include "platform/win32/library_binding.h"
#include "platform/win32/text_forms.h"
#include "platform/win32/win32_boundary.h"

namespace cvl {

using win32::AnsiArg;
using win32::DevInfoArg;
using win32::Ours;
using win32::SameLayout;
using win32::UsesAnsiForms;
using win32::Wide;

namespace {

// The request records of the two class-installer functions the logic uses
// start with a header that carries the header's own size and the function.
template <typename Request>
BOOL SetRequest(HDEVINFO list, DevInfoArg &device, DWORD function, Request request) {
    request.ClassInstallHeader.cbSize = sizeof(::SP_CLASSINSTALL_HEADER);
    request.ClassInstallHeader.InstallFunction = function;
    // The request records carry no text: both forms take the same ones.
    if (UsesAnsiForms())
        return CVL_BOUND_ANSI_CALL(SetupDiSetClassInstallParamsW, list, device.get(),
                                   &request.ClassInstallHeader, sizeof(request));
    return CVL_BOUND_CALL(SetupDiSetClassInstallParamsW, list, device.get(),
                          &request.ClassInstallHeader, sizeof(request));
}

}  // namespace

HDEVINFO Win32Platform::SetupDiGetClassDevsW(const Guid *classGuid, const char16_t *enumerator,
                                             DWORD flags) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(SetupDiGetClassDevsW, SameLayout<const ::GUID>(classGuid),
                              Wide(enumerator), nullptr, flags);
    AnsiArg ansiEnumerator(enumerator);
    if (!ansiEnumerator.held()) return INVALID_HANDLE_VALUE;
    return CVL_BOUND_ANSI_CALL(SetupDiGetClassDevsW, SameLayout<const ::GUID>(classGuid),
                               ansiEnumerator.get(), nullptr, flags);
}

BOOL Win32Platform::SetupDiClassGuidsFromNameW(const char16_t *className, Guid *guidList,
                                               DWORD guidListSize, DWORD *requiredSize) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(SetupDiClassGuidsFromNameW, Wide(className),
                              SameLayout<::GUID>(guidList), guidListSize,
                              SameLayout<::DWORD>(requiredSize));
    AnsiArg name(className);
    if (!name.held()) return FALSE;
    return CVL_BOUND_ANSI_CALL(SetupDiClassGuidsFromNameW, name.get(), SameLayout<::GUID>(guidList),
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
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(SetupDiGetDeviceInstanceIdW, list, device.get(), Wide(buffer),
                              bufferSize, SameLayout<::DWORD>(requiredSize));
    const auto ansi = win32::FetchCounted([&](char *text, ::DWORD size, ::DWORD *required) {
        return CVL_BOUND_ANSI_CALL(SetupDiGetDeviceInstanceIdW, list, device.get(), text, size,
                                   required);
    });
    if (!ansi) return FALSE;
    return win32::DeliverCounted(win32::FromAnsi(*ansi), buffer, bufferSize,
                                 SameLayout<::DWORD>(requiredSize), false);
}

BOOL Win32Platform::SetupDiGetDeviceRegistryPropertyW(HDEVINFO list, const DevInfoData *data,
                                                      DWORD property, DWORD *regType, BYTE *buffer,
                                                      DWORD bufferSize, DWORD *requiredSize) {
    DevInfoArg device(data);
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(SetupDiGetDeviceRegistryPropertyW, list, device.get(), property,
                              SameLayout<::DWORD>(regType), buffer, bufferSize,
                              SameLayout<::DWORD>(requiredSize));
    ::DWORD type = 0;
    const auto ansi = win32::FetchCounted([&](char *bytes, ::DWORD size, ::DWORD *required) {
        return CVL_BOUND_ANSI_CALL(SetupDiGetDeviceRegistryPropertyW, list, device.get(), property,
                                   &type, reinterpret_cast<BYTE *>(bytes), size, required);
    });
    if (!ansi) return FALSE;
    if (regType) *regType = type;
    const std::vector<BYTE> property16 =
        win32::DataFromAnsi(type, std::vector<BYTE>(ansi->begin(), ansi->end()));
    const auto size = static_cast<DWORD>(property16.size());
    if (requiredSize) *requiredSize = size;
    if (buffer == nullptr || bufferSize < size) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, property16.data(), size);
    return TRUE;
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
    if (!params && UsesAnsiForms())
        return CVL_BOUND_ANSI_CALL(SetupDiSetClassInstallParamsW, list, device.get(), nullptr, 0);
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
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(CM_Connect_MachineW, Wide(machineName),
                              SameLayout<::HMACHINE>(machine));
    AnsiArg name(machineName);
    if (!name.held()) return CR_INVALID_MACHINENAME;
    return CVL_BOUND_ANSI_CALL(CM_Connect_MachineW, name.get(), SameLayout<::HMACHINE>(machine));
}

CONFIGRET Win32Platform::CM_Locate_DevNode_ExW(DEVINST *devInst, const char16_t *deviceId,
                                               ULONG flags, HMACHINE machine) {
    // The system's prototype takes the id as modifiable; it only reads it.
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(CM_Locate_DevNode_ExW, SameLayout<::DEVINST>(devInst),
                              const_cast<wchar_t *>(Wide(deviceId)), flags, machine);
    AnsiArg id(deviceId);
    if (!id.held()) return CR_INVALID_DEVICE_ID;
    return CVL_BOUND_ANSI_CALL(CM_Locate_DevNode_ExW, SameLayout<::DEVINST>(devInst),
                               id.modifiable(), flags, machine);
}

CONFIGRET Win32Platform::CM_Reenumerate_DevNode_Ex(DEVINST devInst, ULONG flags, HMACHINE machine) {
    return CVL_BOUND_CALL(CM_Reenumerate_DevNode_Ex, devInst, flags, machine);
}

CONFIGRET Win32Platform::CM_Disconnect_Machine(HMACHINE machine) {
    return CVL_BOUND_CALL(CM_Disconnect_Machine, machine);
}

}  // namespace cvl

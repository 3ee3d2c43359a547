#include "uninstall/device_removal.h"

#include <array>

#include "common/os_kind.h"
#include "common/text.h"
#include "device/device_property.h"
#include "device/device_walks.h"
#include "system/scoped_handle.h"

namespace cvl {
namespace {

constexpr DWORD kDeleteDevRegKeyEveryProfile = 0xFFFFFFFF;

bool CarriesId(const MultiStringProperty &ids, std::u16string_view hardwareId) {
    for (const std::u16string &text : ids.Texts())
        if (EqualsFoldAZ(text, hardwareId)) return true;
    return false;
}

void RemoveDevice(Platform &platform, InstallLog &log, HDEVINFO list, const DevInfoData &data,
                  OsKind osKind) {
    if (!platform.SetupDiCallClassInstaller(DIF_REMOVE, list, &data))
        LogLine(log, u"FindExistingDevice() -> SetupDiCallClassInstaller() fail");
    if (IsNtFrom2000On(osKind)) return;
    if (!platform.SetupDiDeleteDevRegKey(list, &data, DICS_FLAG_CONFIGSPECIFIC,
                                         kDeleteDevRegKeyEveryProfile, DIREG_BOTH))
        LogLine(log, u"FindExistingDevice() -> SetupDiDeleteDevRegKey() fail");
}

}  // namespace

FindDeviceResult FindExistingDevice(Platform &platform, InstallLog &log,
                                    std::u16string_view hardwareId, OsKind osKind) {
    constexpr std::array<DWORD, 2> kIdProperties{SPDRP_HARDWAREID, SPDRP_COMPATIBLEIDS};
    bool anyCarried = false;
    DWORD propertyError = 0;
    MultiStringProperty ids(platform, PropertyMemory::ProgramMemory);
    const auto removeCarrier = [&](const PresentDevice &device) {
        for (const DWORD property : kIdProperties) {
            const PropertyRead read = ids.Read(device, property);
            if (read == PropertyRead::Missing) continue;
            if (read == PropertyRead::Failed) {
                propertyError = ids.Error();
                return false;
            }
            if (!CarriesId(ids, hardwareId)) continue;
            anyCarried = true;
            LogText(log, u"Found 1 adapter...", hardwareId);
            LogText(log, u"STRING : ", hardwareId);
            RemoveDevice(platform, log, device.list, device.data, osKind);
            break;
        }
        return true;
    };
    // Present or not: a device whose adapter is unplugged keeps the driver.
    switch (WalkDevices(platform, {nullptr, DIGCF_ALLCLASSES, true}, removeCarrier)) {
        case WalkEnd::ListNotOpened:
            LogLine(log, u"FindExistingDevice() -> SetupDiGetClassDevs() fail");
            return FindDeviceListFailed;
        case WalkEnd::Stopped:
            platform.SetLastError(propertyError);
            LogLine(log,
                    u"FindExistingDevice() -> SetupDiGetDeviceRegistryProperty(): unknown error");
            return FindDevicePropertyFailed;
        case WalkEnd::Exhausted:
            break;
    }
    return anyCarried ? FindDeviceRemoved : FindDeviceNotFound;
}

}  // namespace cvl

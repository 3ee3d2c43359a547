#include "device/device_walks.h"

#include <string>

#include "common/limits.h"
#include "common/text.h"
#include "device/device_property.h"
#include "system/registry_text.h"
#include "system/scoped_handle.h"

namespace cvl {
namespace {

bool PassesFilter(ULONG status, AdapterFilter filter) {
    if (!(status & DN_DISABLEABLE) || (status & DN_NO_SHOW_IN_DM)) return false;
    switch (filter) {
        case AdapterFilter::Started:
            return (status & DN_STARTED) != 0;
        case AdapterFilter::NotStarted:
            return (status & DN_STARTED) == 0;
        case AdapterFilter::AnyState:
            return true;
    }
    return false;
}

}  // namespace

bool OpenDeviceDriverKey(Platform &platform, const PresentDevice &device, REGSAM access,
                         ScopedKey &key) {
    key.Adopt(platform.SetupDiOpenDevRegKey(device.list, &device.data, DICS_FLAG_GLOBAL, 0,
                                            DIREG_DRV, access));
    return key.IsOpen();
}

WalkEnd WalkDevices(Platform &platform, const DeviceEnumeration &enumeration,
                    const std::function<bool(const PresentDevice &)> &visit) {
    ScopedDeviceList list(
        platform, platform.SetupDiGetClassDevsW(enumeration.classGuid, nullptr, enumeration.flags));
    if (!list.IsOpen()) return WalkEnd::ListNotOpened;
    for (DWORD index = 0;; ++index) {
        PresentDevice device{list.Get(), {}};
        if (!platform.SetupDiEnumDeviceInfo(list.Get(), index, &device.data)) break;
        if (!visit(device)) return WalkEnd::Stopped;
    }
    if (enumeration.keepsEndError) {
        const DWORD endError = platform.GetLastError();
        list.Reset();
        platform.SetLastError(endError);
    }
    return WalkEnd::Exhausted;
}

bool ForEachPresentDevice(Platform &platform, HardwareIdVisitor &visitor) {
    const auto offerIds = [&platform, &visitor](const PresentDevice &device) {
        {
            // The block goes before the visitor hears the device is done.
            MultiStringProperty ids(platform, PropertyMemory::PlatformBlocks);
            if (ids.Read(device, SPDRP_HARDWAREID) != PropertyRead::Read || ids.Bytes().empty())
                return true;
            for (const std::u16string &id : ids.Texts())
                if (!visitor.OnHardwareId(device, id)) break;
        }
        return visitor.OnDeviceDone(device);
    };
    return WalkDevices(platform, {nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES}, offerIds) !=
           WalkEnd::ListNotOpened;
}

bool ForEachNetworkAdapter(Platform &platform, AdapterFilter filter,
                           NetworkAdapterVisitor &visitor) {
    Guid netClass{};
    DWORD found = 0;
    if (!platform.SetupDiClassGuidsFromNameW(u"Net", &netClass, 1, &found) || found == 0)
        return false;
    const auto visitAdapter = [&platform, filter, &visitor](const PresentDevice &device) {
        ULONG status = 0;
        ULONG problem = 0;
        if (platform.CM_Get_DevNode_Status(&status, &problem, device.data.DevInst, 0) != CR_SUCCESS)
            return true;
        if (!PassesFilter(status, filter)) return true;
        bool matched = false;
        {
            ScopedKey key(platform);
            if (!OpenDeviceDriverKey(platform, device, KEY_ALL_ACCESS, key)) {
                visitor.OnDriverKeyNotOpened(device);
                return true;
            }
            matched = visitor.Matches(device, key.Get());
        }
        return !matched || visitor.OnMatch(device);
    };
    return WalkDevices(platform, {&netClass, DIGCF_PRESENT}, visitAdapter) !=
           WalkEnd::ListNotOpened;
}

bool ReadComponentId(Platform &platform, HKEY driverKey, std::u16string &componentId) {
    if (!ReadRegistryText(platform, driverKey, u"ComponentId", limits::kComponentIdBytes,
                          componentId))
        return false;
    LowerAZ(componentId);
    return true;
}

}  // namespace cvl

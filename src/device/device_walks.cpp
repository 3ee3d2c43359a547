#include "device/device_walks.h"

#include <string>

#include "common/limits.h"
#include "common/little_endian.h"
#include "common/registry_text.h"
#include "common/scoped_handle.h"
#include "common/text.h"

namespace cvl {
namespace {

BYTE *Bytes(const ScopedLocal &block) {
    return static_cast<BYTE *>(block.Get());
}

// Reads SPDRP_HARDWAREID with the size-query protocol. False skips the device.
bool ReadHardwareIds(Platform &platform, const PresentDevice &device, ScopedLocal &buffer,
                     DWORD &size) {
    DWORD required = 0;
    DWORD capacity = 0;
    while (!platform.SetupDiGetDeviceRegistryPropertyW(
        device.list, &device.data, SPDRP_HARDWAREID, nullptr, Bytes(buffer), capacity, &required)) {
        if (platform.GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= capacity)
            return false;
        buffer.Adopt(platform.LocalAlloc(LPTR, required));
        if (!buffer.IsOpen()) return false;
        capacity = required;
    }
    size = (required != 0 && required < capacity) ? required : capacity;
    return buffer.IsOpen();
}

// Offers each string of a multi-string, never reading past `size` bytes.
void OfferStrings(const PresentDevice &device, const BYTE *bytes, DWORD size,
                  HardwareIdVisitor &visitor) {
    const std::size_t chars = size / 2;
    std::size_t position = 0;
    while (position < chars) {
        std::u16string text;
        while (position < chars) {
            const char16_t c = Utf16UnitAt(bytes, position * 2);
            ++position;
            if (c == u'\0') break;
            text.push_back(c);
        }
        if (text.empty()) return;
        if (!visitor.OnHardwareId(device, text)) return;
    }
}

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

bool ForEachPresentDevice(Platform &platform, HardwareIdVisitor &visitor) {
    ScopedDeviceList list(platform, platform.SetupDiGetClassDevsW(
                                        nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES));
    if (!list.IsOpen()) return false;
    for (DWORD index = 0;; ++index) {
        PresentDevice device{list.Get(), {}};
        if (!platform.SetupDiEnumDeviceInfo(list.Get(), index, &device.data)) break;
        {
            ScopedLocal buffer(platform);
            DWORD size = 0;
            if (!ReadHardwareIds(platform, device, buffer, size)) continue;
            OfferStrings(device, Bytes(buffer), size, visitor);
        }
        if (!visitor.OnDeviceDone(device)) break;
    }
    return true;
}

bool ForEachNetworkAdapter(Platform &platform, AdapterFilter filter,
                           NetworkAdapterVisitor &visitor) {
    Guid netClass{};
    DWORD found = 0;
    if (!platform.SetupDiClassGuidsFromNameW(u"Net", &netClass, 1, &found) || found == 0)
        return false;
    ScopedDeviceList list(platform,
                          platform.SetupDiGetClassDevsW(&netClass, nullptr, DIGCF_PRESENT));
    if (!list.IsOpen()) return false;
    for (DWORD index = 0;; ++index) {
        PresentDevice device{list.Get(), {}};
        if (!platform.SetupDiEnumDeviceInfo(list.Get(), index, &device.data)) break;
        ULONG status = 0;
        ULONG problem = 0;
        if (platform.CM_Get_DevNode_Status(&status, &problem, device.data.DevInst, 0) != CR_SUCCESS)
            continue;
        if (!PassesFilter(status, filter)) continue;
        bool matched = false;
        {
            ScopedKey key(platform);
            key.Adopt(platform.SetupDiOpenDevRegKey(list.Get(), &device.data, DICS_FLAG_GLOBAL, 0,
                                                    DIREG_DRV, KEY_ALL_ACCESS));
            if (!key.IsOpen()) {
                visitor.OnDriverKeyNotOpened(device);
                continue;
            }
            matched = visitor.Matches(device, key.Get());
        }
        if (matched && !visitor.OnMatch(device)) break;
    }
    return true;
}

bool ReadComponentId(Platform &platform, HKEY driverKey, std::u16string &componentId) {
    if (!ReadRegistryText(platform, driverKey, u"ComponentId", limits::kComponentIdBytes,
                          componentId))
        return false;
    LowerAZ(componentId);
    return true;
}

}  // namespace cvl

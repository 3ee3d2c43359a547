// The walks over the device tree. Each opens its own device list, walks it
// once and destroys it before returning; operations are visitors.
#pragma once

#include <functional>
#include <string_view>

#include "platform/platform.h"
#include "system/scoped_handle.h"

namespace cvl {

struct PresentDevice {
    HDEVINFO list;
    DevInfoData data;
};

// Which devices a walk lists: SetupDiGetClassDevsW's class and flags.
struct DeviceEnumeration {
    const Guid *classGuid;  // null with DIGCF_ALLCLASSES: every class
    DWORD flags;            // DIGCF_*
    // For a caller that reports it: the error that ended the enumeration is
    // read before the list is destroyed and set again after.
    bool keepsEndError = false;
};

enum class WalkEnd {
    ListNotOpened,
    Exhausted,  // every device was offered
    Stopped,    // the visitor ended the walk
};

// Offers each listed device in order until `visit` returns false.
WalkEnd WalkDevices(Platform &platform, const DeviceEnumeration &enumeration,
                    const std::function<bool(const PresentDevice &)> &visit);

class HardwareIdVisitor {
public:
    virtual ~HardwareIdVisitor() = default;
    // One string of the device's hardware-id list, in order. Returns false to
    // offer no further string of this device.
    virtual bool OnHardwareId(const PresentDevice &device, std::u16string_view hardwareId) = 0;
    // After the device's strings. Returns false to end the walk.
    virtual bool OnDeviceDone(const PresentDevice &device) = 0;
};

// Opens a walked device's driver key (DIREG_DRV, global scope) with the
// access asked; false when it cannot be opened.
bool OpenDeviceDriverKey(Platform &platform, const PresentDevice &device, REGSAM access,
                         ScopedKey &key);

// The hardware-id walk over every present device of every class. Devices
// without hardware ids are passed over. False when the list could not be
// opened.
bool ForEachPresentDevice(Platform &platform, HardwareIdVisitor &visitor);

// Which started state the network-adapter walk takes. Every direction needs
// DN_DISABLEABLE and passes over DN_NO_SHOW_IN_DM.
enum class AdapterFilter {
    Started,     // disabling
    NotStarted,  // enabling
    AnyState,    // the presence check
};

class NetworkAdapterVisitor {
public:
    virtual ~NetworkAdapterVisitor() = default;
    // The adapter's driver key could not be opened; it is passed over.
    virtual void OnDriverKeyNotOpened(const PresentDevice &) {}
    // Decides the match while the driver key is open; it is closed after.
    virtual bool Matches(const PresentDevice &device, HKEY driverKey) = 0;
    // A matching adapter, after its key is closed. Returns false to end the
    // walk.
    virtual bool OnMatch(const PresentDevice &device) = 0;
};

// The network-adapter walk over the present devices of the "Net" class.
// False when the list could not be opened.
bool ForEachNetworkAdapter(Platform &platform, AdapterFilter filter,
                           NetworkAdapterVisitor &visitor);

// Reads "ComponentId" (518 bytes) and lower-cases it.
bool ReadComponentId(Platform &platform, HKEY driverKey, std::u16string &componentId);

}  // namespace cvl

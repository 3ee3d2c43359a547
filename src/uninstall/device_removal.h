// Removing every device, present or not, that carries a hardware id.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/os_kind.h"
#include "log/install_log.h"
#include "platform/platform.h"

namespace cvl {

enum FindDeviceResult : int {
    FindDeviceRemoved = 0,         // a device carried the id; its removal was attempted
    FindDeviceListFailed = 6,      // the device list could not be made
    FindDeviceNotFound = 7,        // no device carried the id
    FindDevicePropertyFailed = 99  // a property read failed for another reason
};

// Walks every device of every class, present or not, and removes each one
// whose hardware-id or compatible-id list holds `hardwareId` (folding A to
// Z, whole string). On the NT 5 and NT 6 generations the class installer's
// removal takes the device with its keys; on the older kinds its hardware
// and driver keys are deleted as well.
FindDeviceResult FindExistingDevice(Platform &platform, InstallLog &log,
                                    std::u16string_view hardwareId, OsKind osKind);

}  // namespace cvl

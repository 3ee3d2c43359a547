// Whether an adapter is present: first among the network adapters with a
// driver, then among the hardware ids of every present device.
#pragma once

#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

// What the hardware-id stage compares a device's ids with.
enum class PresenceQuery {
    CheckHardwareIds,  // the partner boards and the adapters without a driver
    QueryDeviceId,     // the device query's vendor, device and revision
};

enum class PresenceAnswer {
    Present,
    Absent,
    NotLooked,  // a device list could not be opened and nothing was found
};

// Whether an adapter was found. The driver stage always compares with
// CheckHardwareIds and the generic prefixes, and lower-cases the
// CheckHardwareIds it looks at, in place. A stage whose device list cannot
// be opened has not looked: without a match elsewhere, the answer is
// NotLooked rather than Absent.
PresenceAnswer LookForAdapter(Platform &platform, RunState &state, PresenceQuery query);

// True when an adapter was found; a look that could not be made is "not
// found".
bool ChkNicExist(Platform &platform, RunState &state, PresenceQuery query);

}  // namespace cvl

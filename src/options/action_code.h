// The one action a run performs, as the command line chooses it.
#pragma once

#include <cstdint>

namespace cvl {

enum ActionCode : std::uint32_t {
    ActionNone = 0,
    ActionInstall = 1,
    ActionUninstall = 2,
    ActionRecordVersion = 3,
    ActionRunPnputil = 4,
    ActionDisable = 5,
    ActionEnable = 6,
    ActionRestart = 7,
    ActionCheckPresence = 8,
    ActionSetParameters = 9,
    ActionSelfDelete = 10,
    ActionRescan = 11,
    ActionQueryDevice = 12,
};

}  // namespace cvl

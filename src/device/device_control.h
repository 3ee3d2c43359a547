// Switching network adapters off and on through the class installer's
// property-change request. None of these reports what it found.
#pragma once

#include <span>
#include <string_view>

#include "common/family_code.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

enum class AdapterSwitch {
    Off,  // takes the started adapters and sends DICS_DISABLE
    On,   // takes the adapters that are not started and sends DICS_ENABLE
};

void SetFamilyAdaptersState(Platform &platform, RunState &state, DeviceFamily family,
                            AdapterSwitch to);

// Enables the adapters of each family in the order given, then waits 2000 ms.
void EnableSelectedFamilies(Platform &platform, RunState &state,
                            std::span<const DeviceFamily> families);

// Changes every adapter whose NetCfgInstanceId equals `idText`, or whose
// ComponentId begins with its first 21 characters.
void SetAdapterStateById(Platform &platform, RunState &state, std::u16string_view idText,
                         AdapterSwitch to);

}  // namespace cvl

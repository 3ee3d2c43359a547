// Matching a device to a family: whole hardware ids against the full-id
// lists, driver-key ComponentIds against the 21-character prefixes, with the
// command line's OEM ids where they apply.
#pragma once

#include <string_view>

#include "common/family_code.h"
#include "run/run_state.h"

namespace cvl {

// Which list a full-id comparison uses when the command line gave OEM ids.
enum OemPolicy : int {
    OemReplaces,  // the OEM list instead of the family's, when it is not empty
    OemExtends,   // the family's list, then the OEM list
    OemIgnored,   // the family's list only
};

// True when `hardwareId` equals, folding A to Z, an entry of the list the
// policy selects.
bool MatchFullId(DeviceFamily family, std::u16string_view hardwareId, OemPolicy policy,
                 const HardwareIdLists &ids);

// The network-adapter rule: with OEM ids, the first min(length, 21)
// characters of an OEM entry; otherwise a 21-character family prefix.
bool MatchComponentPrefix(DeviceFamily family, std::u16string_view componentId,
                          const HardwareIdLists &ids);

}  // namespace cvl

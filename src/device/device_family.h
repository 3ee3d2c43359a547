// The driver families and their constant id tables.
#pragma once

#include <span>
#include <string_view>

#include "common/family_code.h"
#include "run/run_state.h"

namespace cvl {

// Which list a full-id comparison uses when the command line gave OEM ids.
enum class OemPolicy {
    OemReplaces,  // the OEM list instead of the family's, when it is not empty
    OemExtends,   // the family's list, then the OEM list
    OemIgnored,   // the family's list only
};
using enum OemPolicy;

// The complete hardware ids of a family, in the order the install and
// uninstall flows address them by position; empty for a code without a list.
std::span<const std::u16string_view> FamilyHardwareIds(DeviceFamily family);

// The 21-character ComponentId prefixes of a family; empty when it has none.
std::span<const std::u16string_view> FamilyComponentPrefixes(DeviceFamily family);

// True when `hardwareId` equals, folding A to Z, an entry of the list the
// policy selects.
bool MatchFullId(DeviceFamily family, std::u16string_view hardwareId, OemPolicy policy,
                 const HardwareIdLists &ids);

// The network-adapter rule: with OEM ids, the first min(length, 21)
// characters of an OEM entry; otherwise a 21-character family prefix.
bool MatchComponentPrefix(DeviceFamily family, std::u16string_view componentId,
                          const HardwareIdLists &ids);

}  // namespace cvl

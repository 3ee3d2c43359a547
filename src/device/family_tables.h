// The id lists of the driver families, as the family table links them.
#pragma once

#include <span>
#include <string_view>

#include "common/family_code.h"

namespace cvl {

// The complete hardware ids of a family, in the order the install and
// uninstall flows address them by position; empty for a code without a list.
std::span<const std::u16string_view> FamilyHardwareIds(DeviceFamily family);

// The 21-character ComponentId prefixes of a family; empty when it has none.
std::span<const std::u16string_view> FamilyComponentPrefixes(DeviceFamily family);

}  // namespace cvl

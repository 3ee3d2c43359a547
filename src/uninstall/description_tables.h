// The adapter descriptions of each family that Windows keeps counters for.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "common/family_code.h"
#include "device/family_tables.h"

namespace cvl {

struct DescriptionLists {
    std::span<const std::u16string_view> exact;
    std::span<const std::u16string_view> prefixes;
};

// A family's lists; the management functions of FamilyVdevQ2dp have exact
// descriptions only. Empty for a code without descriptions.
DescriptionLists DescriptionListsFor(DeviceFamily family);

}  // namespace cvl

// The adapter descriptions of each family that Windows keeps counters for.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "device/device_family.h"

namespace cvl {

struct DescriptionLists {
    std::span<const std::u16string_view> exact;
    std::span<const std::u16string_view> prefixes;
};

// A family's lists; the management functions of FamilyVdevQ2dp have exact
// descriptions only. Empty for a code without descriptions.
DescriptionLists DescriptionListsFor(std::uint8_t family);

}  // namespace cvl

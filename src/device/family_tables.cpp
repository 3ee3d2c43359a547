#include "device/family_tables.h"

#include "family/family_table.h"

namespace cvl {

std::span<const std::u16string_view> FamilyHardwareIds(DeviceFamily family) {
    const FamilyRow *row = FamilyRowOf(family);
    return row != nullptr ? row->hardwareIds : std::span<const std::u16string_view>{};
}

std::span<const std::u16string_view> FamilyComponentPrefixes(DeviceFamily family) {
    const FamilyRow *row = FamilyRowOf(family);
    return row != nullptr ? row->componentPrefixes : std::span<const std::u16string_view>{};
}

}  // namespace cvl

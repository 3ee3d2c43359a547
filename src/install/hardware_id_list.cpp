#include "install/hardware_id_list.h"

#include <algorithm>

#include "common/text.h"
#include "device/family_match.h"
#include "device/family_tables.h"

namespace cvl {

bool HardwareIdList::Allocate(std::size_t count) {
    Release();
    block_.Adopt(platform_.LocalAlloc(LPTR, count * sizeof(const char16_t *)));
    if (!block_.IsOpen()) return false;
    count_ = count;
    return true;
}

bool HardwareIdList::AssignFamily(DeviceFamily family) {
    const std::span<const std::u16string_view> ids = FamilyHardwareIds(family);
    if (!Allocate(ids.size())) return false;
    // The table entries are string literals, so each one ends with its zero.
    for (std::size_t i = 0; i < ids.size(); ++i) Entries()[i] = ids[i].data();
    return true;
}

bool HardwareIdList::AssignOem(const HardwareIdLists &ids) {
    const std::size_t count = std::min<std::size_t>(ids.oemCount, ids.OemHardwareIds.size());
    if (!Allocate(count)) return false;
    for (std::size_t i = 0; i < count; ++i) Entries()[i] = ids.OemHardwareIds[i].data();
    return true;
}

void HardwareIdList::Release() {
    block_.Reset();
    count_ = 0;
}

}  // namespace cvl

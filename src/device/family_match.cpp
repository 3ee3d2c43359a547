#include "device/family_match.h"

#include <algorithm>

#include "common/limits.h"
#include "common/text.h"
#include "device/family_tables.h"

namespace cvl {
namespace {

bool AnyEquals(std::span<const std::u16string_view> list, std::u16string_view hardwareId) {
    return std::any_of(list.begin(), list.end(),
                       [&](std::u16string_view entry) { return EqualsFoldAZ(entry, hardwareId); });
}

bool AnyOemEquals(const HardwareIdLists &ids, std::u16string_view hardwareId) {
    for (std::uint32_t i = 0; i < ids.oemCount && i < ids.OemHardwareIds.size(); ++i)
        if (EqualsFoldAZ(SlotText(ids.OemHardwareIds[i]), hardwareId)) return true;
    return false;
}

}  // namespace

bool MatchFullId(DeviceFamily family, std::u16string_view hardwareId, OemPolicy policy,
                 const HardwareIdLists &ids) {
    const bool oemGiven = ids.oemCount > 0;
    switch (policy) {
        case OemReplaces:
            return oemGiven ? AnyOemEquals(ids, hardwareId)
                            : AnyEquals(FamilyHardwareIds(family), hardwareId);
        case OemExtends:
            return AnyEquals(FamilyHardwareIds(family), hardwareId) ||
                   (oemGiven && AnyOemEquals(ids, hardwareId));
        case OemIgnored:
            return AnyEquals(FamilyHardwareIds(family), hardwareId);
    }
    return false;
}

bool MatchComponentPrefix(DeviceFamily family, std::u16string_view componentId,
                          const HardwareIdLists &ids) {
    if (ids.oemCount > 0) {
        // The family does not count once the command line names the ids.
        for (std::uint32_t i = 0; i < ids.oemCount && i < ids.OemHardwareIds.size(); ++i) {
            const std::u16string_view entry = SlotText(ids.OemHardwareIds[i]);
            const std::size_t length = std::min(entry.size(), limits::kPrefixCompareChars);
            if (PrefixEqualsFoldAZ(componentId, entry, length)) return true;
        }
        return false;
    }
    for (std::u16string_view prefix : FamilyComponentPrefixes(family))
        if (PrefixEqualsFoldAZ(componentId, prefix, limits::kPrefixCompareChars)) return true;
    return false;
}

}  // namespace cvl

// One row per driver family: its switch and every name and list the flows
// know it by. A new family is a row here and its lists in
// family_hardware_ids.h and family_descriptions.h.
#pragma once

#include <span>
#include <string_view>

#include "common/family_code.h"

namespace cvl {

// Which flows a family's switch runs.
enum class FamilyGroup {
    Legacy,         // the older PCI flows
    PerFamily,      // one flow per family, the first switched one chosen
    VirtualDevice,  // rides with a family that carries it, never alone
};

// How an install or uninstall takes the OEM ids of the command line.
enum class OemIdUse {
    Ignored,
    Replace,         // the OEM ids instead of the family's
    ReplaceAndList,  // the same, and the ids are logged: each OEM id before the
                     // install's "Apply" line, each family id the uninstall matches
};

struct FamilyRow {
    DeviceFamily family;
    std::u16string_view switchName;  // lower case, as the command line is compared
    FamilyGroup group;
    // The family's subkey of HKLM\Software\CVLSetup.
    const char16_t *setupSubkey;
    // The key under HKLM that tells the maker's software the package is
    // installed; null when the family has none.
    const char16_t *statusKey;
    // The install log's line before the update; null for the virtual device.
    const char16_t *applyLine;
    // The line of "/dnicdrv" and the like before the family is switched.
    const char16_t *disableLine;
    // The uninstaller's Add/Remove Programs entry the family's removal drops.
    const char16_t *uninstallEntry;
    OemIdUse oemIds;
    // "/vdevq2dp" goes with this family: its management functions share the
    // adapter.
    bool carriesVirtualDevice;
    std::span<const std::u16string_view> hardwareIds;
    std::span<const std::u16string_view> componentPrefixes;
    std::span<const std::u16string_view> exactDescriptions;
    std::span<const std::u16string_view> descriptionPrefixes;
};

// Every family, in the order of their codes.
std::span<const FamilyRow> FamilyRows();

// The family's row; null for a code that is no family.
const FamilyRow *FamilyRowOf(DeviceFamily family);

// The family a command-line token switches on; null when it switches none.
const FamilyRow *FamilyRowOfSwitch(std::u16string_view loweredToken);

}  // namespace cvl

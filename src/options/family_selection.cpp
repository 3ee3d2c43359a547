#include "options/family_selection.h"

#include "family/family_orders.h"
#include "family/family_table.h"

namespace cvl {
namespace {

// "/b701" is selected under the PCI family's code whichever adapter it means.
std::vector<DeviceFamily> WithLegacyPciFamily(std::vector<DeviceFamily> families,
                                              const InstallOptions &options) {
    for (DeviceFamily &family : families)
        if (family == FamilyPci) family = LegacyPciFamily(options);
    return families;
}

}  // namespace

bool AnyPerFamilySwitch(const InstallOptions &options) {
    return options.families.FirstOf(family_order::kPerFamily).has_value();
}

bool VirtualDeviceRidesWith(const InstallOptions &options, std::span<const DeviceFamily> families) {
    if (!options.families.Has(FamilyVdevQ2dp)) return false;
    for (const DeviceFamily family : families)
        if (FamilyRowOf(family)->carriesVirtualDevice) return true;
    return false;
}

std::vector<DeviceFamily> SelectedPerFamilyFamilies(const InstallOptions &options) {
    return options.families.InOrder(family_order::kPerFamily);
}

DeviceFamily LegacyPciFamily(const InstallOptions &options) {
    return options.b703 ? FamilyVistaB703 : FamilyPci;
}

std::vector<DeviceFamily> SelectedLegacyFamilies(const InstallOptions &options) {
    return WithLegacyPciFamily(options.families.InOrder(family_order::kLegacy), options);
}

std::vector<DeviceFamily> FamiliesToEnable(const InstallOptions &options) {
    return WithLegacyPciFamily(options.families.InOrder(family_order::kEnable), options);
}

}  // namespace cvl

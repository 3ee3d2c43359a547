#include "family/family_table.h"

#include <array>

#include "family/family_descriptions.h"
#include "family/family_hardware_ids.h"

namespace cvl {
namespace {

using namespace family_lists;

constexpr char16_t kNetworkStatus[] = u"Software\\Corvane\\Network";
constexpr char16_t kUsbFeStatus[] = u"Software\\Corvane\\USBFENetwork";
constexpr char16_t kUsbGbeStatus[] = u"Software\\Corvane\\USBGBENetwork";

constexpr std::array<FamilyRow, 9> kFamilyRows{{
    {FamilyPcie, u"/b702", FamilyGroup::Legacy, u"PCIE", kNetworkStatus, u"Apply B702 driver...",
     u"Disable Pcie Nic...", u"CVNUninstXPPCIE", OemIdUse::Replace, true, kPcieHardwareIds,
     kPcieComponentPrefixes, kPcieExact, kPcieDescriptionPrefixes},
    {FamilyPci, u"/b701", FamilyGroup::Legacy, u"PCI", kNetworkStatus, u"Apply B701 driver...",
     u"Disable CVLB701 ...", u"CVNUninstXPPCI", OemIdUse::Replace, false, kPciHardwareIds,
     kPciComponentPrefixes, kPciExact, kPciDescriptionPrefixes},
    {FamilyVistaB701, u"/vistab701", FamilyGroup::PerFamily, u"VISTA_B701", kNetworkStatus,
     u"Apply VISTA B701 driver...", nullptr, u"CVNUninstVista01", OemIdUse::Replace, true,
     kVistaB701HardwareIds, kVistaB701ComponentPrefixes, kVistaB701Exact,
     kVistaB701DescriptionPrefixes},
    // "/b701 /b703" switches the PCI family's B703 adapter through this row
    // too: its list, its disable line.
    {FamilyVistaB703, u"/vistab703", FamilyGroup::PerFamily, u"VISTA_B703", kNetworkStatus,
     u"Apply VISTA B703 driver...", u"Disable CVLB703 ...", u"CVNUninstVista03",
     OemIdUse::ReplaceAndList, false, kVistaB703HardwareIds, kVistaB703ComponentPrefixes,
     kVistaB703Exact, kVistaB703DescriptionPrefixes},
    {FamilyVistaB760, u"/vistab760", FamilyGroup::PerFamily, u"VISTA_B760", nullptr,
     u"Apply VISTA B760 driver...", nullptr, nullptr, OemIdUse::Ignored, false,
     kVistaB760HardwareIds, kVistaB760ComponentPrefixes, kVistaB760Exact,
     kVistaB760DescriptionPrefixes},
    {FamilyVdevQ2dp,
     u"/vdevq2dp",
     FamilyGroup::VirtualDevice,
     u"VDEV_Q2DP",
     nullptr,
     nullptr,
     nullptr,
     nullptr,
     OemIdUse::Ignored,
     false,
     kVdevQ2dpHardwareIds,
     {},
     kVdevQ2dpExact,
     {}},
    {FamilyVistaB761, u"/vistab761", FamilyGroup::PerFamily, u"VISTA_B761", kUsbFeStatus,
     u"Apply VISTA B761 driver...", nullptr, nullptr, OemIdUse::Ignored, false,
     kVistaB761HardwareIds, kVistaB761ComponentPrefixes, kVistaB761Exact,
     kVistaB761DescriptionPrefixes},
    {FamilyVistaB762, u"/vistab762", FamilyGroup::PerFamily, u"VISTA_B762", kUsbGbeStatus,
     u"Apply VISTA B762 driver...", nullptr, nullptr, OemIdUse::Ignored, false,
     kVistaB762HardwareIds, kVistaB762ComponentPrefixes, kVistaB762Exact,
     kVistaB762DescriptionPrefixes},
    {FamilyVistaB76x, u"/vistab76x", FamilyGroup::PerFamily, u"VISTA_B76x", kUsbGbeStatus,
     u"Apply VISTA B76x driver...", nullptr, nullptr, OemIdUse::Ignored, false,
     kVistaB76xHardwareIds, kVistaB76xComponentPrefixes, kVistaB76xExact,
     kVistaB76xDescriptionPrefixes},
}};

}  // namespace

std::span<const FamilyRow> FamilyRows() {
    return kFamilyRows;
}

const FamilyRow *FamilyRowOf(DeviceFamily family) {
    for (const FamilyRow &row : kFamilyRows)
        if (row.family == family) return &row;
    return nullptr;
}

const FamilyRow *FamilyRowOfSwitch(std::u16string_view loweredToken) {
    for (const FamilyRow &row : kFamilyRows)
        if (row.switchName == loweredToken) return &row;
    return nullptr;
}

}  // namespace cvl

// The adapter descriptions under which Windows numbers the connections of
// each family's adapters: exact descriptions, and the leading parts that
// numbered descriptions ("... #2") begin with. The order of the rows is the
// order in which they are tried.
#include <array>

#include "uninstall/description_tables.h"

namespace cvl {
namespace {

using Text = std::u16string_view;

constexpr std::array<Text, 27> kPcieExact{{
    u"Corvane CVLB702 PCIe GbE Family Controller",
    u"Corvane CVLB705 PCIe GbE Family Controller",
    u"Corvane CVLB706 PCIe GbE Family Controller",
    u"Corvane CVLB708 PCIe GbE Family Controller",
    u"Altrova CVLB702 PCIe GbE Family Controller",
    u"Altrova CVLB705 PCIe GbE Family Controller",
    u"Altrova CVLB706 PCIe GbE Family Controller",
    u"Altrova CVLB708 PCIe GbE Family Controller",
    u"Brenmark CVLB702 PCIe GbE Family Controller",
    u"Brenmark CVLB705 PCIe GbE Family Controller",
    u"Brenmark CVLB706 PCIe GbE Family Controller",
    u"Brenmark CVLB708 PCIe GbE Family Controller",
    u"Kestrel Systems CVLB702 PCIe GbE Family Controller",
    u"Kestrel Systems CVLB705 PCIe GbE Family Controller",
    u"Kestrel Systems CVLB706 PCIe GbE Family Controller",
    u"Kestrel Systems CVLB708 PCIe GbE Family Controller",
    u"Nordlys Digital CVLB702 PCIe GbE Family Controller",
    u"Nordlys Digital CVLB705 PCIe GbE Family Controller",
    u"Nordlys Digital CVLB706 PCIe GbE Family Controller",
    u"Nordlys Digital CVLB708 PCIe GbE Family Controller",
    u"Tavira Networks CVLB702 PCIe GbE Family Controller",
    u"Tavira Networks CVLB705 PCIe GbE Family Controller",
    u"Tavira Networks CVLB706 PCIe GbE Family Controller",
    u"Tavira Networks CVLB708 PCIe GbE Family Controller",
    u"Orland CVLB702 PCIe GbE Family Controller",
    u"Orland CVLB705 PCIe GbE Family Controller",
    u"Orland CVLB706 PCIe GbE Family Controller",
}};
constexpr std::array<Text, 24> kPciePrefixes{{
    u"Corvane CVLB702",         u"Corvane CVLB705",         u"Corvane CVLB706",
    u"Corvane CVLB708",         u"Altrova CVLB702",         u"Altrova CVLB705",
    u"Altrova CVLB706",         u"Altrova CVLB708",         u"Brenmark CVLB702",
    u"Brenmark CVLB705",        u"Brenmark CVLB706",        u"Brenmark CVLB708",
    u"Kestrel Systems CVLB702", u"Kestrel Systems CVLB705", u"Kestrel Systems CVLB706",
    u"Kestrel Systems CVLB708", u"Nordlys Digital CVLB702", u"Nordlys Digital CVLB705",
    u"Nordlys Digital CVLB706", u"Nordlys Digital CVLB708", u"Tavira Networks CVLB702",
    u"Tavira Networks CVLB705", u"Tavira Networks CVLB706", u"Tavira Networks CVLB708",
}};
constexpr std::array<Text, 8> kPciExact{{
    u"Corvane CVLB701 Gigabit Ethernet NIC",
    u"Corvane CVLB703 Gigabit Ethernet NIC",
    u"Corvane CVLB704 Gigabit Ethernet NIC",
    u"Corvane CVLB701/B704 Gigabit Ethernet NIC",
    u"Altrova CVLB701 Gigabit Ethernet NIC",
    u"Altrova CVLB703 Gigabit Ethernet NIC",
    u"Altrova CVLB704 Gigabit Ethernet NIC",
    u"Altrova CVLB701/B704 Gigabit Ethernet NIC",
}};
constexpr std::array<Text, 7> kPciPrefixes{{
    u"Corvane CVLB701",
    u"Corvane CVLB703",
    u"Corvane CVLB704",
    u"Corvane CVLB701/B704",
    u"Altrova CVLB701",
    u"Altrova CVLB703",
    u"Altrova CVLB704",
}};
constexpr std::array<Text, 30> kVistaB703Exact{{
    u"Corvane CVLB703 Fast Ethernet NIC",
    u"Corvane CVLB703 PCI 10/100 Network Adapter",
    u"Corvane CVLB703 Family PCI Fast Ethernet NIC",
    u"Corvane CVLB703 10/100 Desktop Adapter",
    u"Corvane CVLB703 Integrated 10/100 Controller",
    u"Altrova CVLB703 Fast Ethernet NIC",
    u"Altrova CVLB703 PCI 10/100 Network Adapter",
    u"Altrova CVLB703 Family PCI Fast Ethernet NIC",
    u"Altrova CVLB703 10/100 Desktop Adapter",
    u"Altrova CVLB703 Integrated 10/100 Controller",
    u"Brenmark CVLB703 Fast Ethernet NIC",
    u"Brenmark CVLB703 PCI 10/100 Network Adapter",
    u"Brenmark CVLB703 Family PCI Fast Ethernet NIC",
    u"Brenmark CVLB703 10/100 Desktop Adapter",
    u"Brenmark CVLB703 Integrated 10/100 Controller",
    u"Kestrel Systems CVLB703 Fast Ethernet NIC",
    u"Kestrel Systems CVLB703 PCI 10/100 Network Adapter",
    u"Kestrel Systems CVLB703 Family PCI Fast Ethernet NIC",
    u"Kestrel Systems CVLB703 10/100 Desktop Adapter",
    u"Kestrel Systems CVLB703 Integrated 10/100 Controller",
    u"Nordlys Digital CVLB703 Fast Ethernet NIC",
    u"Nordlys Digital CVLB703 PCI 10/100 Network Adapter",
    u"Nordlys Digital CVLB703 Family PCI Fast Ethernet NIC",
    u"Nordlys Digital CVLB703 10/100 Desktop Adapter",
    u"Nordlys Digital CVLB703 Integrated 10/100 Controller",
    u"Tavira Networks CVLB703 Fast Ethernet NIC",
    u"Tavira Networks CVLB703 PCI 10/100 Network Adapter",
    u"Tavira Networks CVLB703 Family PCI Fast Ethernet NIC",
    u"Tavira Networks CVLB703 10/100 Desktop Adapter",
    u"Tavira Networks CVLB703 Integrated 10/100 Controller",
}};
constexpr std::array<Text, 2> kVistaB703Prefixes{{
    u"Corvane CVLB703",
    u"Altrova CVLB703",
}};
constexpr std::array<Text, 49> kVistaB701Exact{{
    u"Corvane CVLB701 Gigabit Ethernet Controller",
    u"Corvane CVLB702 Gigabit Ethernet Controller",
    u"Corvane CVLB704 Gigabit Ethernet Controller",
    u"Corvane CVLB705 Gigabit Ethernet Controller",
    u"Corvane CVLB706 Gigabit Ethernet Controller",
    u"Corvane CVLB707 Gigabit Ethernet Controller",
    u"Corvane CVLB708 Gigabit Ethernet Controller",
    u"Altrova CVLB701 Gigabit Ethernet Controller",
    u"Altrova CVLB702 Gigabit Ethernet Controller",
    u"Altrova CVLB704 Gigabit Ethernet Controller",
    u"Altrova CVLB705 Gigabit Ethernet Controller",
    u"Altrova CVLB706 Gigabit Ethernet Controller",
    u"Altrova CVLB707 Gigabit Ethernet Controller",
    u"Altrova CVLB708 Gigabit Ethernet Controller",
    u"Brenmark CVLB701 Gigabit Ethernet Controller",
    u"Brenmark CVLB702 Gigabit Ethernet Controller",
    u"Brenmark CVLB704 Gigabit Ethernet Controller",
    u"Brenmark CVLB705 Gigabit Ethernet Controller",
    u"Brenmark CVLB706 Gigabit Ethernet Controller",
    u"Brenmark CVLB707 Gigabit Ethernet Controller",
    u"Brenmark CVLB708 Gigabit Ethernet Controller",
    u"Kestrel Systems CVLB701 Gigabit Ethernet Controller",
    u"Kestrel Systems CVLB702 Gigabit Ethernet Controller",
    u"Kestrel Systems CVLB704 Gigabit Ethernet Controller",
    u"Kestrel Systems CVLB705 Gigabit Ethernet Controller",
    u"Kestrel Systems CVLB706 Gigabit Ethernet Controller",
    u"Kestrel Systems CVLB707 Gigabit Ethernet Controller",
    u"Kestrel Systems CVLB708 Gigabit Ethernet Controller",
    u"Nordlys Digital CVLB701 Gigabit Ethernet Controller",
    u"Nordlys Digital CVLB702 Gigabit Ethernet Controller",
    u"Nordlys Digital CVLB704 Gigabit Ethernet Controller",
    u"Nordlys Digital CVLB705 Gigabit Ethernet Controller",
    u"Nordlys Digital CVLB706 Gigabit Ethernet Controller",
    u"Nordlys Digital CVLB707 Gigabit Ethernet Controller",
    u"Nordlys Digital CVLB708 Gigabit Ethernet Controller",
    u"Tavira Networks CVLB701 Gigabit Ethernet Controller",
    u"Tavira Networks CVLB702 Gigabit Ethernet Controller",
    u"Tavira Networks CVLB704 Gigabit Ethernet Controller",
    u"Tavira Networks CVLB705 Gigabit Ethernet Controller",
    u"Tavira Networks CVLB706 Gigabit Ethernet Controller",
    u"Tavira Networks CVLB707 Gigabit Ethernet Controller",
    u"Tavira Networks CVLB708 Gigabit Ethernet Controller",
    u"Orland CVLB701 Gigabit Ethernet Controller",
    u"Orland CVLB702 Gigabit Ethernet Controller",
    u"Orland CVLB704 Gigabit Ethernet Controller",
    u"Orland CVLB705 Gigabit Ethernet Controller",
    u"Orland CVLB706 Gigabit Ethernet Controller",
    u"Orland CVLB707 Gigabit Ethernet Controller",
    u"Orland CVLB708 Gigabit Ethernet Controller",
}};
constexpr std::array<Text, 39> kVistaB701Prefixes{{
    u"Corvane CVLB701",         u"Corvane CVLB702",         u"Corvane CVLB704",
    u"Corvane CVLB705",         u"Corvane CVLB706",         u"Corvane CVLB707",
    u"Corvane CVLB708",         u"Altrova CVLB701",         u"Altrova CVLB702",
    u"Altrova CVLB704",         u"Altrova CVLB705",         u"Altrova CVLB706",
    u"Altrova CVLB707",         u"Altrova CVLB708",         u"Brenmark CVLB701",
    u"Brenmark CVLB702",        u"Brenmark CVLB704",        u"Brenmark CVLB705",
    u"Brenmark CVLB706",        u"Brenmark CVLB707",        u"Brenmark CVLB708",
    u"Kestrel Systems CVLB701", u"Kestrel Systems CVLB702", u"Kestrel Systems CVLB704",
    u"Kestrel Systems CVLB705", u"Kestrel Systems CVLB706", u"Kestrel Systems CVLB707",
    u"Kestrel Systems CVLB708", u"Nordlys Digital CVLB701", u"Nordlys Digital CVLB702",
    u"Nordlys Digital CVLB704", u"Nordlys Digital CVLB705", u"Nordlys Digital CVLB706",
    u"Nordlys Digital CVLB707", u"Nordlys Digital CVLB708", u"Tavira Networks CVLB701",
    u"Tavira Networks CVLB702", u"Tavira Networks CVLB704", u"Tavira Networks CVLB705",
}};
constexpr std::array<Text, 2> kVistaB760Exact{{
    u"Corvane CVLB760 USB 10/100 Fast Ethernet Adapter",
    u"Altrova CVLB760 USB 10/100 Network Adapter",
}};
constexpr std::array<Text, 1> kVistaB760Prefixes{{
    u"Corvane CVLB760",
}};
constexpr std::array<Text, 8> kVistaB761Exact{{
    u"Corvane CVLB761 USB 2.0 Fast Ethernet Adapter",
    u"Altrova CVLB761 USB 2.0 Fast Ethernet Adapter",
    u"Brenmark CVLB761 USB 2.0 Fast Ethernet Adapter",
    u"Kestrel Systems CVLB761 USB 2.0 Fast Ethernet Adapter",
    u"Nordlys Digital CVLB761 USB 2.0 Fast Ethernet Adapter",
    u"Tavira Networks CVLB761 USB 2.0 Fast Ethernet Adapter",
    u"Orland CVLB761 USB 2.0 Fast Ethernet Adapter",
    u"Corvane CVLB761 USB 2.0 Fast Ethernet Adapter",
}};
constexpr std::array<Text, 8> kVistaB761Prefixes{{
    u"Corvane CVLB761",
    u"Altrova CVLB761",
    u"Brenmark CVLB761",
    u"Kestrel Systems CVLB761",
    u"Nordlys Digital CVLB761",
    u"Tavira Networks CVLB761",
    u"Orland CVLB761",
    u"Corvane CVLB761",
}};
constexpr std::array<Text, 21> kVistaB762Exact{{
    u"Corvane CVLB762 USB 3.0 Gigabit Ethernet Adapter",
    u"Corvane CVLB762B USB 3.0 Gigabit Ethernet Adapter",
    u"Corvane CVLB762C USB 3.0 Gigabit Ethernet Adapter",
    u"Altrova CVLB762 USB 3.0 Gigabit Ethernet Adapter",
    u"Altrova CVLB762B USB 3.0 Gigabit Ethernet Adapter",
    u"Altrova CVLB762C USB 3.0 Gigabit Ethernet Adapter",
    u"Brenmark CVLB762 USB 3.0 Gigabit Ethernet Adapter",
    u"Brenmark CVLB762B USB 3.0 Gigabit Ethernet Adapter",
    u"Brenmark CVLB762C USB 3.0 Gigabit Ethernet Adapter",
    u"Kestrel Systems CVLB762 USB 3.0 Gigabit Ethernet Adapter",
    u"Kestrel Systems CVLB762B USB 3.0 Gigabit Ethernet Adapter",
    u"Kestrel Systems CVLB762C USB 3.0 Gigabit Ethernet Adapter",
    u"Nordlys Digital CVLB762 USB 3.0 Gigabit Ethernet Adapter",
    u"Nordlys Digital CVLB762B USB 3.0 Gigabit Ethernet Adapter",
    u"Nordlys Digital CVLB762C USB 3.0 Gigabit Ethernet Adapter",
    u"Tavira Networks CVLB762 USB 3.0 Gigabit Ethernet Adapter",
    u"Tavira Networks CVLB762B USB 3.0 Gigabit Ethernet Adapter",
    u"Tavira Networks CVLB762C USB 3.0 Gigabit Ethernet Adapter",
    u"Orland CVLB762 USB 3.0 Gigabit Ethernet Adapter",
    u"Orland CVLB762B USB 3.0 Gigabit Ethernet Adapter",
    u"Orland CVLB762C USB 3.0 Gigabit Ethernet Adapter",
}};
constexpr std::array<Text, 24> kVistaB762Prefixes{{
    u"Corvane CVLB762",          u"Corvane CVLB762B",         u"Corvane CVLB762C",
    u"Corvane USB GbE",          u"Altrova CVLB762",          u"Altrova CVLB762B",
    u"Altrova CVLB762C",         u"Altrova USB GbE",          u"Brenmark CVLB762",
    u"Brenmark CVLB762B",        u"Brenmark CVLB762C",        u"Brenmark USB GbE",
    u"Kestrel Systems CVLB762",  u"Kestrel Systems CVLB762B", u"Kestrel Systems CVLB762C",
    u"Kestrel Systems USB GbE",  u"Nordlys Digital CVLB762",  u"Nordlys Digital CVLB762B",
    u"Nordlys Digital CVLB762C", u"Nordlys Digital USB GbE",  u"Tavira Networks CVLB762",
    u"Tavira Networks CVLB762B", u"Tavira Networks CVLB762C", u"Tavira Networks USB GbE",
}};
constexpr std::array<Text, 43> kVistaB76xExact{{
    u"Corvane CVLB761 USB Ethernet Family Adapter",
    u"Corvane CVLB762 USB Ethernet Family Adapter",
    u"Corvane CVLB763 USB Ethernet Family Adapter",
    u"Corvane CVLB764 USB Ethernet Family Adapter",
    u"Corvane CVLB76x USB Ethernet Family Adapter",
    u"Corvane CVLB762B USB Ethernet Family Adapter",
    u"Altrova CVLB761 USB Ethernet Family Adapter",
    u"Altrova CVLB762 USB Ethernet Family Adapter",
    u"Altrova CVLB763 USB Ethernet Family Adapter",
    u"Altrova CVLB764 USB Ethernet Family Adapter",
    u"Altrova CVLB76x USB Ethernet Family Adapter",
    u"Altrova CVLB762B USB Ethernet Family Adapter",
    u"Brenmark CVLB761 USB Ethernet Family Adapter",
    u"Brenmark CVLB762 USB Ethernet Family Adapter",
    u"Brenmark CVLB763 USB Ethernet Family Adapter",
    u"Brenmark CVLB764 USB Ethernet Family Adapter",
    u"Brenmark CVLB76x USB Ethernet Family Adapter",
    u"Brenmark CVLB762B USB Ethernet Family Adapter",
    u"Kestrel Systems CVLB761 USB Ethernet Family Adapter",
    u"Kestrel Systems CVLB762 USB Ethernet Family Adapter",
    u"Kestrel Systems CVLB763 USB Ethernet Family Adapter",
    u"Kestrel Systems CVLB764 USB Ethernet Family Adapter",
    u"Kestrel Systems CVLB76x USB Ethernet Family Adapter",
    u"Kestrel Systems CVLB762B USB Ethernet Family Adapter",
    u"Nordlys Digital CVLB761 USB Ethernet Family Adapter",
    u"Nordlys Digital CVLB762 USB Ethernet Family Adapter",
    u"Nordlys Digital CVLB763 USB Ethernet Family Adapter",
    u"Nordlys Digital CVLB764 USB Ethernet Family Adapter",
    u"Nordlys Digital CVLB76x USB Ethernet Family Adapter",
    u"Nordlys Digital CVLB762B USB Ethernet Family Adapter",
    u"Tavira Networks CVLB761 USB Ethernet Family Adapter",
    u"Tavira Networks CVLB762 USB Ethernet Family Adapter",
    u"Tavira Networks CVLB763 USB Ethernet Family Adapter",
    u"Tavira Networks CVLB764 USB Ethernet Family Adapter",
    u"Tavira Networks CVLB76x USB Ethernet Family Adapter",
    u"Tavira Networks CVLB762B USB Ethernet Family Adapter",
    u"Orland CVLB761 USB Ethernet Family Adapter",
    u"Orland CVLB762 USB Ethernet Family Adapter",
    u"Orland CVLB763 USB Ethernet Family Adapter",
    u"Orland CVLB764 USB Ethernet Family Adapter",
    u"Orland CVLB76x USB Ethernet Family Adapter",
    u"Orland CVLB762B USB Ethernet Family Adapter",
    u"Corvane CVLB761 USB Ethernet Family Adapter",
}};
constexpr std::array<Text, 42> kVistaB76xPrefixes{{
    u"Corvane CVLB761",         u"Corvane CVLB762",         u"Corvane CVLB763",
    u"Corvane CVLB764",         u"Corvane CVLB76x",         u"Corvane CVLB762B",
    u"Altrova CVLB761",         u"Altrova CVLB762",         u"Altrova CVLB763",
    u"Altrova CVLB764",         u"Altrova CVLB76x",         u"Altrova CVLB762B",
    u"Brenmark CVLB761",        u"Brenmark CVLB762",        u"Brenmark CVLB763",
    u"Brenmark CVLB764",        u"Brenmark CVLB76x",        u"Brenmark CVLB762B",
    u"Kestrel Systems CVLB761", u"Kestrel Systems CVLB762", u"Kestrel Systems CVLB763",
    u"Kestrel Systems CVLB764", u"Kestrel Systems CVLB76x", u"Kestrel Systems CVLB762B",
    u"Nordlys Digital CVLB761", u"Nordlys Digital CVLB762", u"Nordlys Digital CVLB763",
    u"Nordlys Digital CVLB764", u"Nordlys Digital CVLB76x", u"Nordlys Digital CVLB762B",
    u"Tavira Networks CVLB761", u"Tavira Networks CVLB762", u"Tavira Networks CVLB763",
    u"Tavira Networks CVLB764", u"Tavira Networks CVLB76x", u"Tavira Networks CVLB762B",
    u"Orland CVLB761",          u"Orland CVLB762",          u"Orland CVLB763",
    u"Orland CVLB764",          u"Orland CVLB76x",          u"Orland CVLB762B",
}};
constexpr std::array<Text, 3> kVdevQ2dpExact{{
    u"Corvane CVLB70A Management Function",
    u"Corvane CVLB70B Serial Redirection Function",
    u"Corvane CVLB70C Host Interface Function",
}};

}  // namespace

DescriptionLists DescriptionListsFor(DeviceFamily family) {
    switch (family) {
        case FamilyPcie:
            return {kPcieExact, kPciePrefixes};
        case FamilyPci:
            return {kPciExact, kPciPrefixes};
        case FamilyVistaB703:
            return {kVistaB703Exact, kVistaB703Prefixes};
        case FamilyVistaB701:
            return {kVistaB701Exact, kVistaB701Prefixes};
        case FamilyVistaB760:
            return {kVistaB760Exact, kVistaB760Prefixes};
        case FamilyVistaB761:
            return {kVistaB761Exact, kVistaB761Prefixes};
        case FamilyVistaB762:
            return {kVistaB762Exact, kVistaB762Prefixes};
        case FamilyVistaB76x:
            return {kVistaB76xExact, kVistaB76xPrefixes};
        case FamilyVdevQ2dp:
            return {kVdevQ2dpExact, {}};
        default:
            return {};
    }
}

}  // namespace cvl

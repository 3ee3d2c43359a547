// The hardware ids and ComponentId prefixes of the driver families, read
// through the family table. The order inside each list is part of the
// definition: the install and uninstall flows address entries by position.
#pragma once

#include <array>
#include <string_view>

namespace cvl::family_lists {

using Id = std::u16string_view;

inline constexpr std::array<Id, 5> kPcieHardwareIds{{
    u"PCI\\VEN_1F3A&DEV_B702&CC_0200",
    u"PCI\\VEN_1F3A&DEV_B705&CC_0200",
    u"PCI\\VEN_1F3A&DEV_B706&CC_0200",
    u"PCI\\VEN_1F3A&DEV_B707&CC_0200",
    u"PCI\\VEN_1F3A&DEV_B709&CC_0200",
}};
inline constexpr std::array<Id, 3> kPciHardwareIds{{
    u"PCI\\VEN_1F3A&DEV_B701&CC_0200",
    u"PCI\\VEN_1F3A&DEV_B704&CC_0200",
    u"PCI\\VEN_1F3A&DEV_B703&CC_0200",
}};
inline constexpr std::array<Id, 7> kVistaB701HardwareIds{{
    u"PCI\\VEN_1F3A&DEV_B701&CC_0200",
    u"PCI\\VEN_1F3A&DEV_B704&CC_0200",
    u"PCI\\VEN_1F3A&DEV_B702&CC_0200",
    u"PCI\\VEN_1F3A&DEV_B705&CC_0200",
    u"PCI\\VEN_1F3A&DEV_B706&CC_0200",
    u"PCI\\VEN_1F3A&DEV_B707&CC_0200",
    u"PCI\\VEN_1F3A&DEV_B709&CC_0200",
}};
inline constexpr std::array<Id, 1> kVistaB703HardwareIds{{
    u"PCI\\VEN_1F3A&DEV_B703&CC_0200",
}};
inline constexpr std::array<Id, 1> kVistaB760HardwareIds{{
    u"usb\\vid_0c7e&pid_b760&rev_0100",
}};
inline constexpr std::array<Id, 3> kVdevQ2dpHardwareIds{{
    u"PCI\\VEN_1F3A&DEV_B70A&CC_0700",
    u"PCI\\VEN_1F3A&DEV_B70B&CC_0700",
    u"PCI\\VEN_1F3A&DEV_B70C&CC_0C07",
}};
inline constexpr std::array<Id, 8> kVistaB761HardwareIds{{
    u"usb\\vid_0c7e&pid_b761&rev_0100",
    u"usb\\vid_0c7e&pid_b761&rev_2000",
    u"usb\\vid_2e61&pid_0761&rev_2000",
    u"usb\\vid_13b1&pid_0041&rev_2000",
    u"usb\\vid_0411&pid_01e1&rev_2000",
    u"usb\\vid_2001&pid_7e61&rev_2000",
    u"usb\\vid_04e8&pid_a161&rev_2000",
    u"usb\\vid_1c04&pid_0261&rev_2000",
}};
inline constexpr std::array<Id, 21> kVistaB762HardwareIds{{
    u"usb\\vid_0c7e&pid_b762&rev_3000", u"usb\\vid_0c7e&pid_b762&rev_3001",
    u"usb\\vid_2e61&pid_0762&rev_3000", u"usb\\vid_13b1&pid_0042&rev_3000",
    u"usb\\vid_0411&pid_01e2&rev_3000", u"usb\\vid_2001&pid_7e62&rev_3000",
    u"usb\\vid_04e8&pid_a162&rev_3000", u"usb\\vid_04e8&pid_a162&rev_3001",
    u"usb\\vid_1c04&pid_0262&rev_3000", u"usb\\vid_050d&pid_0762&rev_3000",
    u"usb\\vid_0df6&pid_0762&rev_3000", u"usb\\vid_17ef&pid_720a&rev_3000",
    u"usb\\vid_17ef&pid_7205&rev_3000", u"usb\\vid_3625&pid_0762&rev_3000",
    u"usb\\vid_0502&pid_3762&rev_3010", u"usb\\vid_1e0e&pid_0762&rev_3000",
    u"usb\\vid_2357&pid_0762&rev_3000", u"usb\\vid_0846&pid_0762&rev_3010",
    u"usb\\vid_1737&pid_0762&rev_3000", u"usb\\vid_07b8&pid_0762&rev_3000",
    u"usb\\vid_20f4&pid_0762&rev_3000",
}};
inline constexpr std::array<Id, 43> kVistaB76xHardwareIds{{
    u"usb\\vid_0c7e&pid_b761&rev_0100", u"usb\\vid_0c7e&pid_b764&rev_2000",
    u"usb\\vid_0c7e&pid_b761&rev_2000", u"usb\\vid_2e61&pid_0761&rev_2000",
    u"usb\\vid_13b1&pid_0041&rev_2000", u"usb\\vid_0411&pid_01e1&rev_2000",
    u"usb\\vid_2001&pid_7e61&rev_2000", u"usb\\vid_04e8&pid_a161&rev_2000",
    u"usb\\vid_1c04&pid_0261&rev_2000", u"usb\\vid_0c7e&pid_b762&rev_3000",
    u"usb\\vid_0c7e&pid_b762&rev_3001", u"usb\\vid_0c7e&pid_b762&rev_3002",
    u"usb\\vid_0c7e&pid_b762&rev_3003", u"usb\\vid_0c7e&pid_b762&rev_3100",
    u"usb\\vid_0c7e&pid_b762&rev_3101", u"usb\\vid_0c7e&pid_b762&rev_3102",
    u"usb\\vid_0c7e&pid_b762&rev_3103", u"usb\\vid_0c7e&pid_b763&rev_3100",
    u"usb\\vid_0c7e&pid_b763&rev_3101", u"usb\\vid_0c7e&pid_b763&rev_3102",
    u"usb\\vid_0c7e&pid_b763&rev_3103", u"usb\\vid_2e61&pid_0762&rev_3000",
    u"usb\\vid_13b1&pid_0042&rev_3000", u"usb\\vid_0411&pid_01e2&rev_3000",
    u"usb\\vid_2001&pid_7e62&rev_3000", u"usb\\vid_04e8&pid_a162&rev_3000",
    u"usb\\vid_04e8&pid_a162&rev_3001", u"usb\\vid_1c04&pid_0262&rev_3000",
    u"usb\\vid_050d&pid_0762&rev_3000", u"usb\\vid_0df6&pid_0762&rev_3000",
    u"usb\\vid_17ef&pid_720a&rev_3000", u"usb\\vid_17ef&pid_7205&rev_3000",
    u"usb\\vid_17ef&pid_3069&rev_3000", u"usb\\vid_17ef&pid_7214&rev_3000",
    u"usb\\vid_17ef&pid_721e&rev_3000", u"usb\\vid_3625&pid_0762&rev_3000",
    u"usb\\vid_0502&pid_3762&rev_3010", u"usb\\vid_1e0e&pid_0762&rev_3000",
    u"usb\\vid_2357&pid_0762&rev_3000", u"usb\\vid_0846&pid_0762&rev_3010",
    u"usb\\vid_1737&pid_0762&rev_3000", u"usb\\vid_07b8&pid_0762&rev_3000",
    u"usb\\vid_20f4&pid_0762&rev_3000",
}};
inline constexpr std::array<Id, 5> kPcieComponentPrefixes{{
    u"pci\\ven_1f3a&dev_b702",
    u"pci\\ven_1f3a&dev_b705",
    u"pci\\ven_1f3a&dev_b706",
    u"pci\\ven_1f3a&dev_b708",
    u"pci\\ven_1f3a&dev_b707",
}};
inline constexpr std::array<Id, 3> kPciComponentPrefixes{{
    u"pci\\ven_1f3a&dev_b703",
    u"pci\\ven_1f3a&dev_b701",
    u"pci\\ven_1f3a&dev_b704",
}};
inline constexpr std::array<Id, 7> kVistaB701ComponentPrefixes{{
    u"pci\\ven_1f3a&dev_b701",
    u"pci\\ven_1f3a&dev_b704",
    u"pci\\ven_1f3a&dev_b702",
    u"pci\\ven_1f3a&dev_b705",
    u"pci\\ven_1f3a&dev_b706",
    u"pci\\ven_1f3a&dev_b708",
    u"pci\\ven_1f3a&dev_b707",
}};
inline constexpr std::array<Id, 1> kVistaB703ComponentPrefixes{{
    u"pci\\ven_1f3a&dev_b703",
}};
inline constexpr std::array<Id, 1> kVistaB760ComponentPrefixes{{
    u"usb\\vid_0c7e&pid_b760",
}};
inline constexpr std::array<Id, 7> kVistaB761ComponentPrefixes{{
    u"usb\\vid_0c7e&pid_b761",
    u"usb\\vid_2e61&pid_0761",
    u"usb\\vid_13b1&pid_0041",
    u"usb\\vid_0411&pid_01e1",
    u"usb\\vid_2001&pid_7e61",
    u"usb\\vid_04e8&pid_a161",
    u"usb\\vid_1c04&pid_0261",
}};
inline constexpr std::array<Id, 19> kVistaB762ComponentPrefixes{{
    u"usb\\vid_0c7e&pid_b762", u"usb\\vid_2e61&pid_0762", u"usb\\vid_13b1&pid_0042",
    u"usb\\vid_0411&pid_01e2", u"usb\\vid_2001&pid_7e62", u"usb\\vid_04e8&pid_a162",
    u"usb\\vid_1c04&pid_0262", u"usb\\vid_050d&pid_0762", u"usb\\vid_0df6&pid_0762",
    u"usb\\vid_17ef&pid_720a", u"usb\\vid_17ef&pid_7205", u"usb\\vid_3625&pid_0762",
    u"usb\\vid_0502&pid_3762", u"usb\\vid_1e0e&pid_0762", u"usb\\vid_2357&pid_0762",
    u"usb\\vid_0846&pid_0762", u"usb\\vid_1737&pid_0762", u"usb\\vid_07b8&pid_0762",
    u"usb\\vid_20f4&pid_0762",
}};
inline constexpr std::array<Id, 30> kVistaB76xComponentPrefixes{{
    u"usb\\vid_0c7e&pid_b761", u"usb\\vid_0c7e&pid_b764", u"usb\\vid_2e61&pid_0761",
    u"usb\\vid_13b1&pid_0041", u"usb\\vid_0411&pid_01e1", u"usb\\vid_2001&pid_7e61",
    u"usb\\vid_04e8&pid_a161", u"usb\\vid_1c04&pid_0261", u"usb\\vid_0c7e&pid_b762",
    u"usb\\vid_0c7e&pid_b763", u"usb\\vid_2e61&pid_0762", u"usb\\vid_13b1&pid_0042",
    u"usb\\vid_0411&pid_01e2", u"usb\\vid_2001&pid_7e62", u"usb\\vid_04e8&pid_a162",
    u"usb\\vid_1c04&pid_0262", u"usb\\vid_050d&pid_0762", u"usb\\vid_0df6&pid_0762",
    u"usb\\vid_17ef&pid_720a", u"usb\\vid_17ef&pid_7205", u"usb\\vid_3625&pid_0762",
    u"usb\\vid_0502&pid_3762", u"usb\\vid_1e0e&pid_0762", u"usb\\vid_2357&pid_0762",
    u"usb\\vid_0846&pid_0762", u"usb\\vid_1737&pid_0762", u"usb\\vid_07b8&pid_0762",
    u"usb\\vid_20f4&pid_0762", u"usb\\vid_17ef&pid_3069", u"usb\\vid_17ef&pid_7214",
}};

}  // namespace cvl::family_lists

// Where the digits sit in the PCI hardware-id texts that the command line
// fills in: kEmptyPciHardwareId and kInitialQueryDeviceId share their start.
#pragma once

#include <cstddef>
#include <iterator>

namespace cvl::hardware_id_layout {

inline constexpr std::size_t kVendorAt = std::size(u"PCI\\VEN_") - 1;
inline constexpr std::size_t kDeviceAt = std::size(u"PCI\\VEN_0000&DEV_") - 1;
inline constexpr std::size_t kSubsystemAnd = std::size(u"PCI\\VEN_0000&DEV_0000") - 1;
inline constexpr std::size_t kSubsystemAt = std::size(u"PCI\\VEN_0000&DEV_0000&SUBSYS_") - 1;
// "REV_" and the revision digits: the part of a device query compared
// after the vendor and device.
inline constexpr std::size_t kRevisionFieldAt =
    std::size(u"PCI\\VEN_0000&DEV_0000&SUBSYS_00000000&") - 1;
inline constexpr std::size_t kRevisionAt =
    std::size(u"PCI\\VEN_0000&DEV_0000&SUBSYS_00000000&REV_") - 1;
// The whole query id, without its terminator.
inline constexpr std::size_t kQueryIdLength =
    std::size(u"PCI\\VEN_0000&DEV_0000&SUBSYS_00000000&REV_00") - 1;

}  // namespace cvl::hardware_id_layout

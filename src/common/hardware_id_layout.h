// The PCI hardware-id texts that the command line fills in, and where their
// parts sit: kEmptyPciHardwareId and kInitialQueryDeviceId share their
// start.
#pragma once

#include <cstddef>
#include <iterator>

namespace cvl {

// The texts every slot holds before the command line's fragments go in.
inline constexpr char16_t kEmptyPciHardwareId[] = u"PCI\\VEN_0000&DEV_0000&SUBSYS_00000000";
inline constexpr char16_t kInitialQueryDeviceId[] =
    u"PCI\\VEN_0000&DEV_0000&SUBSYS_00000000&REV_00";

namespace hardware_id_layout {

inline constexpr std::size_t kVendorAt = std::size(u"PCI\\VEN_") - 1;
inline constexpr std::size_t kDeviceAt = std::size(u"PCI\\VEN_0000&DEV_") - 1;
inline constexpr std::size_t kSubsystemAnd = std::size(u"PCI\\VEN_0000&DEV_0000") - 1;
inline constexpr std::size_t kSubsystemAt = std::size(u"PCI\\VEN_0000&DEV_0000&SUBSYS_") - 1;
// "REV_" and the revision digits: the part of a device query compared
// after the vendor and device.
inline constexpr std::size_t kRevisionFieldAt = std::size(kEmptyPciHardwareId);
inline constexpr std::size_t kRevisionAt = kRevisionFieldAt + std::size(u"REV_") - 1;
// The whole query id, without its terminator.
inline constexpr std::size_t kQueryIdLength = std::size(kInitialQueryDeviceId) - 1;

static_assert(kRevisionAt == std::size(u"PCI\\VEN_0000&DEV_0000&SUBSYS_00000000&REV_") - 1);

}  // namespace hardware_id_layout
}  // namespace cvl

// Where the machine keeps a device in its registry, as Windows does: the
// instance key under Enum, the driver key under Control\Class that the
// instance's "Driver" value ("{guid}\NNNN") names. Seeding and the
// machine images that read a device back both go by these paths.
#pragma once

#include <string>
#include <string_view>

namespace cvl::sim {

inline constexpr char16_t kEnumRoot[] = u"HKLM\\SYSTEM\\CurrentControlSet\\Enum";
inline constexpr char16_t kClassRoot[] = u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class";
inline constexpr char16_t kServicesRoot[] = u"HKLM\\SYSTEM\\CurrentControlSet\\Services";

inline std::u16string EnumKeyPath(std::u16string_view instanceId) {
    return std::u16string(kEnumRoot) + u"\\" + std::u16string(instanceId);
}

// The driver key a "Driver" value names.
inline std::u16string DriverKeyPath(std::u16string_view driverValue) {
    return std::u16string(kClassRoot) + u"\\" + std::u16string(driverValue);
}

}  // namespace cvl::sim

// The driver families. A family's code selects its hardware-id lists and
// its setup-state subkey; the registry and the install log see the codes.
#pragma once

#include <cstdint>

namespace cvl {

// Like the other code enums, it is not scoped: each enumerator carries its
// type in its name, the name the rest of the system speaks of.
enum DeviceFamily : std::uint8_t {
    FamilyPcie = 1,
    FamilyPci = 2,
    FamilyVistaB701 = 3,
    FamilyVistaB703 = 4,
    FamilyVistaB760 = 5,
    FamilyVdevQ2dp = 6,
    FamilyVistaB761 = 7,
    FamilyVistaB762 = 8,
    FamilyVistaB76x = 9,
};

}  // namespace cvl

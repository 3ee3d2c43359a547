// The orders in which the flows look at the switched families. They differ
// from flow to flow on purpose (what is removed or switched first, which
// switch wins), so each order is a named list here rather than a second
// mapping of switches to families.
#pragma once

#include <array>

#include "common/family_code.h"

namespace cvl::family_order {

// The per-family group: the first switched one chooses the per-family
// install or uninstall, and parameters walk them all in this order.
inline constexpr std::array kPerFamily{FamilyVistaB701, FamilyVistaB703, FamilyVistaB760,
                                       FamilyVistaB761, FamilyVistaB762, FamilyVistaB76x};

// The legacy group: "/b701" wins over "/b702", and its files and ids come
// first.
inline constexpr std::array kLegacy{FamilyPci, FamilyPcie};

// The families switched on again after an install: the legacy ones, then
// B703 before B701, then the USB families.
inline constexpr std::array kEnable{FamilyPci,       FamilyPcie,      FamilyVistaB703,
                                    FamilyVistaB701, FamilyVistaB760, FamilyVistaB761,
                                    FamilyVistaB762, FamilyVistaB76x};

// The uninstall's connection and description cleanup, its recorded-INF
// family and its Add/Remove Programs entries: PCI-Express first.
inline constexpr std::array kRemoval{FamilyPcie,      FamilyPci,       FamilyVistaB703,
                                     FamilyVistaB701, FamilyVistaB760, FamilyVistaB761,
                                     FamilyVistaB762, FamilyVistaB76x};

// The uninstall's choice of the id list whose adapters lose their INF.
inline constexpr std::array kAdapterLookup{FamilyVistaB701, FamilyVistaB703, FamilyPci,
                                           FamilyPcie,      FamilyVistaB760, FamilyVistaB761,
                                           FamilyVistaB762, FamilyVistaB76x};

// "/dnicdrv", "/enicdrv" and "/denicdrv": the first switched family is the
// one switched; with none, the B701 and B703 adapters are.
inline constexpr std::array kSwitching{FamilyPcie,      FamilyPci,       FamilyVistaB760,
                                       FamilyVistaB761, FamilyVistaB762, FamilyVistaB76x};

// "/chknicexist" answers for the first of these.
inline constexpr std::array kPresence{FamilyVistaB701, FamilyVistaB703, FamilyVistaB760};

// The setup-state subkeys whose absence lets CVLSetup go, probed in this
// order; the legacy families' subkeys do not hold it.
inline constexpr std::array kSetupKeyHolders{FamilyVistaB701, FamilyVistaB703, FamilyVistaB760,
                                             FamilyVistaB761, FamilyVistaB762, FamilyVistaB76x,
                                             FamilyVdevQ2dp};

}  // namespace cvl::family_order

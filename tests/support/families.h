// The driver families, for tests that go over all of them.
#pragma once

#include <string>
#include <vector>

#include "common/family_code.h"

namespace cvl::test {

inline constexpr DeviceFamily kEveryFamily[] = {FamilyPcie,      FamilyPci,       FamilyVistaB701,
                                                FamilyVistaB703, FamilyVistaB760, FamilyVdevQ2dp,
                                                FamilyVistaB761, FamilyVistaB762, FamilyVistaB76x};

// A code no family has.
inline constexpr auto kNoSuchFamily = static_cast<DeviceFamily>(10);

// The codes of a family list, for comparisons that print readably.
inline std::string FamilyCodes(const std::vector<DeviceFamily> &families) {
    std::string text;
    for (DeviceFamily family : families) text += std::to_string(static_cast<int>(family)) + " ";
    return text;
}

}  // namespace cvl::test

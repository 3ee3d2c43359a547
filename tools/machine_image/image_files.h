// The names of a machine image's files in its folder, shared by the loader
// and by the capture that writes an image on a real machine.
#pragma once

#include <string_view>

namespace cvl::image {

inline constexpr std::string_view kRegistryFileName = "registry.reg";
inline constexpr std::string_view kSettingsFileName = "machine.txt";

}  // namespace cvl::image

// A driver service's binary path, and the driver file it names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace cvl {

// The image path of a service as the service control manager reports it.
// False when the service is missing, the query fails or the path has 260
// characters or more.
bool GetServiceImagePath(Platform &platform, const char16_t *serviceName,
                         std::u16string &imagePath);

// The full path of the driver file an image path names, in one of the forms
// the service control manager accepts: relative to the Windows directory,
// "\SystemRoot\...", "%SystemRoot%\...", "\??\<full path>" or a full path.
// Nothing unless it is a ".sys" file directly in the Windows directory's
// system32\drivers: anything else is not a driver file to delete.
std::optional<std::u16string> ResolveDriverFilePath(std::u16string_view windowsDirectory,
                                                    std::u16string_view imagePath);

}  // namespace cvl

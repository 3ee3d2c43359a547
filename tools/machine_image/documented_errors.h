// The errors each platform operation is documented to fail with, and the
// names a technician types for them. A failure that the run is made to meet
// is one Windows can really give at that call.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/platform_operation.h"

namespace cvl::image {

// The row of platform/platform_documented_errors.def: empty for the
// operations that cannot fail.
std::span<const DWORD> DocumentedErrors(PlatformOperation operation);

// "ERROR_ACCESS_DENIED", "CR_NO_SUCH_DEVNODE", or a number in decimal or
// with 0x in hexadecimal.
std::optional<DWORD> ErrorNamed(std::string_view text);
// The name of a code the table knows, else its number in hexadecimal.
std::string ErrorName(DWORD code);

}  // namespace cvl::image

// The adjustments start-up makes to the parsed options.
#pragma once

#include "common/os_kind.h"
#include "options/install_options.h"

namespace cvl {

// The virtual-device family rides only with the PCI-Express ("/b702") and
// B701 ("/vistab701") families, and only on the NT systems from Windows 2000
// to Windows 7 and later that have its driver; elsewhere the flag is cleared.
void ApplyVdevRule(InstallOptions &options, OsKind osKind);

}  // namespace cvl

// Asking Windows to enumerate the whole device tree again.
#pragma once

#include "platform/platform.h"

namespace cvl {

enum class RescanWait {
    // Through a connection to the local machine; returns once the tree is
    // enumerated again.
    Synchronous,
    // Asked of the local machine without a connection and not waited for:
    // the adapters may take their time to come back.
    Started,
};

// Re-enumerates the root device; true when the request was accepted.
bool RescanHardware(Platform &platform, RescanWait wait = RescanWait::Synchronous);

}  // namespace cvl

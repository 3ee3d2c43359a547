// Class-install parameters of a property change and of a removal, set on a
// device list through the real layer. Wine answers neither but names each
// request's install function and record size in its trace, which the
// harness reads.
#pragma once

#include "platform/platform.h"

namespace cvl::contract {

void MakeClassInstallRequests(Platform &platform);

}  // namespace cvl::contract

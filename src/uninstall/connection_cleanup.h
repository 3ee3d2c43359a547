// The traces a removed adapter leaves in the network class keys: its
// connection entry and the counter of its description.
#pragma once

#include <string_view>

#include "options/install_options.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

// Deletes the connection entries of the selected families' adapters and the
// description counters of their descriptions. True when the class key was
// walked to its end.
bool CleanNetworkConnectionEntries(Platform &platform, const InstallOptions &options);

// Windows 9x: deletes the legacy Class\Net entries "0000" to "0008" of the
// B760 adapter.
void CleanLegacyNetClassEntries(Platform &platform, RunState &state);

// Deletes `path` below `parent` with all its subkeys. True when it is gone
// (also when it never existed); false when a key could not be deleted or a
// path does not fit the 520-character buffer.
bool DeleteRegistryTree(Platform &platform, HKEY parent, std::u16string_view path);

}  // namespace cvl

// Writing the command line's adapter parameters, retried while the adapters
// are not ready for them.
#pragma once

#include <cstdint>
#include <vector>

#include "app/install_options.h"
#include "common/run_state.h"
#include "platform/platform.h"

namespace cvl {

// The families of the set per-family flags, in the order 3, 4, 5, 7, 8, 9.
std::vector<std::uint8_t> SelectedPerFamilyFamilies(const InstallOptions &options);

// The families the legacy flags select: "/b701" (4 with "/b703", else 2),
// then "/b702" (1).
std::vector<std::uint8_t> SelectedLegacyFamilies(const InstallOptions &options);

// Up to 10 passes over `families`. A pass succeeds only when every family in
// it succeeded; success waits 1000 ms and ends, failure waits 2000 ms. A
// pass without families keeps the previous pass's answer.
void RetryParameterWrites(Platform &platform, RunState &state, const InstallOptions &options,
                          const std::vector<std::uint8_t> &families);

}  // namespace cvl

// What the install flows answer; the install and record-version actions
// make it the exit code.
#pragma once

#include <cstdint>

namespace cvl {

enum InstallResult : std::uint32_t {
    InstallDone = 0,
    // "/i" or "/q" named neither "/b701" nor "/b702" for the legacy flow.
    InstallNoLegacyFamily = 8,
    // The program's own path could not be read, or the package INF is
    // missing (also when no "/f" names it for a per-family flow).
    InstallPackageMissing = 9,
    // No memory for a hardware-id list.
    InstallOutOfMemory = 10,
    // The adapters already run the package's driver.
    InstallNotRequired = 12,
};

// The answers of CheckDriverInstallNeeded.
enum InstallNeed : int {
    InstallNeedNoAdapter = 0,
    InstallNeedNotRequired = 1,
    InstallNeedRequired = 2,
};

}  // namespace cvl

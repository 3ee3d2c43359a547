// The driver package beside the program: where its INF is and which driver
// version it carries.
#pragma once

#include <optional>
#include <string>

#include "common/family_code.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

struct DriverPackage {
    std::optional<std::u16string> InfPath;
    std::optional<std::u16string> SourceDir;
};

// The three paths built from the program's own path and a relative INF path.
struct PackagePaths {
    std::u16string programDir;
    std::u16string sourceDir;
    std::u16string infPath;
};

// Program folder: the own path cut after its last backslash (one only at the
// first position does not count). Source folder: the program folder and the
// INF path up to its last backslash. INF path: the program folder and the
// whole INF path. Each is cut to 511 characters.
PackagePaths BuildPackagePaths(std::u16string_view ownPath, std::u16string_view relativeInfPath);

// The switches that name the package INF: "/f" with its path, else the
// legacy families' default names.
struct PackageSwitches {
    std::optional<std::u16string_view> infPath;
    // The legacy family switched on, whose package has a default INF name.
    std::optional<DeviceFamily> legacyFamily;
};

enum class PackageLocation {
    Found,
    NoInfName,  // no switch names an INF
    NotFound,   // the program's own path could not be read, or no such file
};

// Sets PackageInfPath to the path it tried.
PackageLocation LocateDriverPackage(Platform &platform, RunState &state, DriverPackage &package,
                                    const PackageSwitches &switches);

// Logs "The file path...", the source folder and the INF path.
void LogPackagePaths(InstallLog &log, const PackagePaths &paths);

// The version field of the DriverVer line of the [version] section.
bool ReadInfDriverVer(Platform &platform, HINF inf, std::u16string &version);

// Reads PackageInfPath's DriverVer into PackageDriverVersion, without the
// leading zeros of every part after the first.
void LoadPackageDriverVersion(Platform &platform, RunState &state);

// Drops the leading zeros of every dot-separated part after the first.
std::u16string NormalizeDriverVersion(std::u16string_view version);

void FreeDriverPackage(DriverPackage &package);

// True when a file matches the path.
bool PackageInfExists(Platform &platform, const std::u16string &path);

}  // namespace cvl

// What installing a driver from an INF does to the machine, directive by
// directive: which model of the INF serves a hardware id, the driver's
// date and version, the registry values of AddReg sections, the services
// of AddService lines and the files of CopyFiles sections.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sim/parts/file_system.h"
#include "platform/sim/parts/inf_file.h"
#include "platform/sim/parts/registry_paths.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {

struct DriverMatch {
    std::u16string manufacturer;    // the key of the [Manufacturer] line
    std::u16string description;     // the key of the model line
    std::u16string installSection;  // as the model line names it
    std::u16string sectionExt;      // the decoration of the section used: ".NTamd64", ".NT" or ""
    std::u16string matchingId;      // the id of the model that matched, lower case
};

// The first model that lists the id (case folded) in the models section
// that suits the machine: 64-bit Windows of the given version, which takes
// "NTamd64" before "NT" decorations and the undecorated section last.
std::optional<DriverMatch> FindDriver(const InfFile &inf, std::u16string_view hardwareId,
                                      const VersionReport &version);

// DriverVer = mm/dd/yyyy,version
struct DriverVer {
    std::u16string date;     // as the registry keeps it: "5-7-2016"
    std::u16string version;  // as the registry keeps it: "8.45.507.2016"
};
DriverVer ReadDriverVer(const InfFile &inf);

// Date then version, for comparing drivers: larger is newer.
using DriverRank = std::array<unsigned long, 7>;
DriverRank RankOf(std::u16string_view date, std::u16string_view version);

// The AddReg sections of an install section, with HKR meaning `hkrPath`.
// Lines of other roots are not applied.
void ApplyAddReg(RegistryPaths &registry, const InfFile &inf, std::u16string_view section,
                 std::u16string_view hkrPath);

// The services of the section's ".Services" part; the name of the one
// marked as the device's function driver, if any.
std::optional<std::u16string> InstallServices(RegistryPaths &registry, const FileSystem &files,
                                              const InfFile &inf, std::u16string_view section);

// Copies the files of the section's CopyFiles lists from the INF's folder
// to their destination folders. A file missing from the package is passed
// over.
void CopyDriverFiles(FileSystem &files, const InfFile &inf, std::u16string_view section,
                     std::u16string_view packageFolder, const InfDirIds &dirIds);

}  // namespace cvl::sim

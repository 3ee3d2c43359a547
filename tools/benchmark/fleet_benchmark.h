// How a fleet preview scales with the number of machines: a fleet of
// captures of real size (the demo machine with a few hundred devices added)
// previewed by the host runner as its own process, whose wall time and peak
// resident memory the system reports when it ends.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace cvl::benchmark {

struct FleetBenchmarkSetup {
    std::filesystem::path baseImage;
    std::filesystem::path hostRunner;  // the release cvlsetup-host
    std::filesystem::path scratch;     // where the captures are written
    std::size_t devicesPerMachine = 300;
    std::vector<std::size_t> fleetSizes;
};

// Prints a Markdown table; false with `error` set when the fleet could not
// be made or the runner not started.
bool RunFleetBenchmark(const FleetBenchmarkSetup &setup, std::string &error);

}  // namespace cvl::benchmark

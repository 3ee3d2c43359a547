// The machines the benchmark measures: the example Windows 7 image with a
// chosen number of devices added, in the mix a real machine shows.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "machine_image/machine_image_settings.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::benchmark {

// Device `number` of a benchmark machine. Nine devices in ten are system
// devices with two hardware ids and no driver; one in ten is a network
// adapter, and one adapter in five of those is a Corvane adapter whose
// hardware ids come from a family's table. One device in seven is absent
// (known to the registry, not plugged in); an absent adapter never got a
// driver. A present adapter's row asks for a driver key with an empty
// name, which BuildBenchmarkMachine fills in.
image::DeviceRow BenchmarkDevice(std::size_t number);

// Loads `baseImage` into `machine` and adds `devices` devices as rows of
// `settings`, so that a saved image keeps their state.
bool BuildBenchmarkMachine(const std::filesystem::path &baseImage, std::size_t devices,
                           sim::SimulatedPlatform &machine, image::MachineSettings &settings,
                           std::string &error);

}  // namespace cvl::benchmark

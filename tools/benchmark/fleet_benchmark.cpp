#include "benchmark/fleet_benchmark.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "benchmark/benchmark_machine.h"
#include "benchmark/figures_text.h"
#include "machine_image/machine_image.h"
#include "machine_image/worker_pool.h"

extern char **environ;

namespace cvl::benchmark {
namespace {

namespace fs = std::filesystem;

constexpr const char *kFleetSwitches[] = {"/i", "/vistab701", "/f",
                                          "drivers\\win7-2017\\netcvl.inf"};

struct ChildFigures {
    int status = 0;
    double wallSeconds = 0, userSeconds = 0, systemSeconds = 0;
    double peakMiB = 0;
};

double Seconds(const timeval &time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// The runner as a process of its own, its output thrown away: the figures
// are the kernel's account of that process alone.
bool RunChild(const std::vector<std::string> &arguments, ChildFigures &figures,
              std::string &error) {
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        error = "cannot start " + arguments[0] + ": error " + std::to_string(spawned);
        return false;
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) {
        error = "lost the runner's process";
        return false;
    }
    figures.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    figures.userSeconds = Seconds(usage.ru_utime);
    figures.systemSeconds = Seconds(usage.ru_stime);
    figures.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024;  // KiB on Linux
    return true;
}

std::string MachineName(std::size_t number) {
    char name[32];
    std::snprintf(name, sizeof name, "pc-%05zu", number);
    return name;
}

// Other work on the machine takes processors from the fleet's workers: the
// wall clock then grows, the processor time does not.
std::string LoadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string oneMinute;
    file >> oneMinute;
    return oneMinute.empty() ? "unknown" : oneMinute;
}

// One capture saved, copied for every machine; each fleet size is a folder
// of links to the first N, so the fleets share their captures on disk.
bool MakeFleet(const FleetBenchmarkSetup &setup, const fs::path &captures, std::string &error) {
    const std::size_t largest = *std::max_element(setup.fleetSizes.begin(), setup.fleetSizes.end());
    const fs::path first = captures / MachineName(0);
    {
        sim::SimulatedPlatform machine;
        image::MachineSettings settings;
        if (!BuildBenchmarkMachine(setup.baseImage, setup.devicesPerMachine, machine, settings,
                                   error) ||
            !image::SaveMachineImage(machine, settings, first, error))
            return false;
    }
    std::error_code failure;
    for (std::size_t number = 1; number < largest && !failure; ++number) {
        fs::copy(first, captures / MachineName(number), fs::copy_options::recursive, failure);
    }
    for (const std::size_t size : setup.fleetSizes) {
        const fs::path fleet = setup.scratch / ("fleet-" + std::to_string(size));
        fs::create_directories(fleet, failure);
        for (std::size_t number = 0; number < size && !failure; ++number) {
            fs::create_directory_symlink(captures / MachineName(number),
                                         fleet / MachineName(number), failure);
        }
    }
    if (failure) error = "cannot make the fleet: " + failure.message();
    return !failure;
}

}  // namespace

bool RunFleetBenchmark(const FleetBenchmarkSetup &setup, std::string &error) {
    if (setup.fleetSizes.empty()) return true;
    const fs::path captures = setup.scratch / "captures";
    fs::create_directories(captures);
    if (!MakeFleet(setup, captures, error)) return false;

    std::cout << "## Fleet preview\n\n"
              << "Release `cvlsetup-host --fleet FLEET -- /i /vistab701 /f "
                 "drivers\\win7-2017\\netcvl.inf`, each machine the demo machine with "
              << setup.devicesPerMachine << " devices added; " << image::ProcessorCount()
              << " processors, load average " << LoadAverage()
              << " when the fleets were made. Growth is the ratio to the fleet before, "
                 "whose size is given.\n\n"
              << "| machines | exit | wall s | cpu s | cpu ms a machine | peak MiB | "
                 "wall growth | cpu growth | peak growth |\n"
              << "|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    ChildFigures previous;
    std::size_t previousSize = 0;
    for (const std::size_t size : setup.fleetSizes) {
        std::vector<std::string> arguments = {
            setup.hostRunner.string(), "--fleet",
            (setup.scratch / ("fleet-" + std::to_string(size))).string(), "--"};
        arguments.insert(arguments.end(), std::begin(kFleetSwitches), std::end(kFleetSwitches));
        ChildFigures figures;
        if (!RunChild(arguments, figures, error)) return false;
        const double cpu = figures.userSeconds + figures.systemSeconds;
        const double cpuBefore = previous.userSeconds + previous.systemSeconds;
        const std::string after =
            previousSize ? " (from " + std::to_string(previousSize) + ")" : std::string();
        std::cout << "| " << size << " | " << figures.status << " | "
                  << Fixed(figures.wallSeconds, 2) << " | " << Fixed(cpu, 2) << " | "
                  << Fixed(cpu * 1000 / static_cast<double>(size), 2) << " | "
                  << Fixed(figures.peakMiB, 1) << " | "
                  << Growth(previousSize ? previous.wallSeconds : 0, figures.wallSeconds, 2) + after
                  << " | " << Growth(previousSize ? cpuBefore : 0, cpu, 2) << " | "
                  << Growth(previousSize ? previous.peakMiB : 0, figures.peakMiB, 2) << " |\n"
                  << std::flush;
        previous = figures;
        previousSize = size;
    }
    return true;
}

}  // namespace cvl::benchmark

// cvl-benchmark: how the simulated machine and the host runner scale with
// the number of devices. For each size it builds a machine in memory, runs
// the actions that walk devices through RunInstaller on a fresh copy each,
// and times a machine image of that size being saved, loaded, snapshotted
// and run by the host runner's command (load, run, read back, report). Figures are printed as
// Markdown tables; growth is the ratio of processor time to the size before.
//
//   cvl-benchmark [--sizes 1000,10000,100000] [--base IMAGE_DIR]
//   cvl-benchmark --sizes N --save-image DIR   (only saves the machine of N devices)
//   cvl-benchmark --fleet-sizes 100,250,500,1000 [--sizes 300]
//       (only the fleet preview: fleets of captures with N devices each, run by
//       the cvlsetup-host beside this program; fleet_benchmark.h)
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/run_installer.h"
#include "benchmark/benchmark_machine.h"
#include "benchmark/call_groups.h"
#include "benchmark/counting_allocator.h"
#include "benchmark/figures_text.h"
#include "benchmark/fleet_benchmark.h"
#include "common/text.h"
#include "host_runner/runner_command_line.h"
#include "machine_image/machine_image.h"
#include "machine_image/machine_image_snapshot.h"

namespace cvl::benchmark {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Action {
    const char *label;
    std::u16string_view tail;
};

// The actions that walk the device lists. /vistab701 is family 3, /vistab760
// family 5, /vistab76x family 9.
constexpr Action kActions[] = {
    {"/dnicdrv", u"/dnicdrv /vistab701"},
    {"/enicdrv", u"/enicdrv /vistab701"},
    {"/chknicexist", u"/chknicexist /vistab701"},
    {"/setwolreg", u"/setwolreg /vistab701 /spn wol_setting /spv wol_mag_only"},
    {"/i /vistab701", u"/i /vistab701 /f drivers\\win7\\netcvl.inf"},
    {"/u /vistab701", u"/u /vistab701"},
    {"/i /vistab760", u"/i /vistab760 /f drivers\\win7\\netcvl.inf"},
    {"/u /vistab760", u"/u /vistab760"},
    {"/i /vistab76x", u"/i /vistab76x /f drivers\\win7\\netcvl.inf"},
    {"/u /vistab76x", u"/u /vistab76x"},
};
constexpr std::string_view kHostRunTail = "/chknicexist";
constexpr std::string_view kHostRunFamily = "/vistab701";

struct ActionFigures {
    DWORD exitCode = 0;
    double seconds = 0;
    double processorSeconds = 0;
    std::array<std::uint64_t, kCallGroupCount> calls{};
    std::uint64_t listsOpened = 0;
    std::size_t peakBytes = 0;
};

// Processor seconds of each step, and the wall clock of the host runner's
// whole command.
struct ImageFigures {
    double save = 0, load = 0, snapshot = 0, hostRun = 0, hostRunWall = 0;
    int hostExit = 0;
};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The processor time this process has used: on a machine shared with other
// work it grows with the work done, where the wall clock also counts waits.
double ProcessorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::string Milliseconds(double seconds) {
    return Fixed(seconds * 1000, seconds < 0.01 ? 2 : 1);
}

bool RunActionOnce(const fs::path &base, std::size_t size, const Action &action,
                   ActionFigures &figures, std::string &error) {
    sim::SimulatedPlatform machine;
    image::MachineSettings settings;
    if (!BuildBenchmarkMachine(base, size, machine, settings, error)) return false;
    const CallCounts before = CountsOf(machine);
    const std::size_t startBytes = ResetPeak();
    const double processorStart = ProcessorSeconds();
    const Clock::time_point start = Clock::now();
    figures.exitCode = RunInstaller(machine, action.tail);
    figures.seconds = SecondsSince(start);
    figures.processorSeconds = ProcessorSeconds() - processorStart;
    figures.peakBytes = PeakBytes() - startBytes;
    const CallCounts after = CountsOf(machine);
    figures.calls = CallsByGroup(before, after);
    const auto lists = static_cast<std::size_t>(PlatformOperation::SetupDiGetClassDevsW);
    figures.listsOpened = after[lists] - before[lists];
    return true;
}

// A short run is repeated on fresh machines and its quickest kept: other
// work on the machine only ever adds to a run's time.
constexpr int kMostRepetitions = 3;
constexpr double kRepeatBelowSeconds = 1.0;

bool RunAction(const fs::path &base, std::size_t size, const Action &action, ActionFigures &figures,
               std::string &error) {
    if (!RunActionOnce(base, size, action, figures, error)) return false;
    for (int repetition = 1;
         repetition < kMostRepetitions && figures.processorSeconds < kRepeatBelowSeconds;
         ++repetition) {
        ActionFigures again;
        if (!RunActionOnce(base, size, action, again, error)) return false;
        if (again.processorSeconds < figures.processorSeconds) figures = again;
    }
    return true;
}

bool MeasureImage(const fs::path &base, std::size_t size, const fs::path &scratch,
                  ImageFigures &figures, std::string &error) {
    const fs::path image = scratch / ("machine-" + std::to_string(size));
    {
        sim::SimulatedPlatform machine;
        image::MachineSettings settings;
        if (!BuildBenchmarkMachine(base, size, machine, settings, error)) return false;
        const double start = ProcessorSeconds();
        if (!image::SaveMachineImage(machine, settings, image, error)) return false;
        figures.save = ProcessorSeconds() - start;
    }
    {
        sim::SimulatedPlatform machine;
        double start = ProcessorSeconds();
        if (!image::LoadMachineImage(image, machine, error)) return false;
        figures.load = ProcessorSeconds() - start;
        image::MachineSnapshot snapshot;
        start = ProcessorSeconds();
        if (!image::TakeSnapshot(machine, snapshot, error)) return false;
        figures.snapshot = ProcessorSeconds() - start;
    }
    // The host runner's whole command: load, run, read back and report.
    const sim::ProgramEntry program = [](Platform &platform, std::u16string tail) {
        return RunInstaller(platform, tail);
    };
    std::ostringstream out, err;
    const double processorStart = ProcessorSeconds();
    const Clock::time_point start = Clock::now();
    figures.hostExit = runner::RunHostCommand(
        {"--machine", image.string(), "--", std::string(kHostRunTail), std::string(kHostRunFamily)},
        program, out, err);
    figures.hostRunWall = SecondsSince(start);
    figures.hostRun = ProcessorSeconds() - processorStart;
    return true;
}

bool ParseSizes(std::string_view text, std::vector<std::size_t> &sizes) {
    sizes.clear();
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view part = text.substr(0, comma);
        std::size_t value = 0;
        const auto [end, problem] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (problem != std::errc() || end != part.data() + part.size() || value == 0) return false;
        sizes.push_back(value);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return !sizes.empty();
}

int Main(const std::vector<std::string> &arguments) {
    std::vector<std::size_t> sizes{1000, 10000, 100000};
    fs::path base = fs::path(CVL_SOURCE_DIR) / "examples" / "machines" / "win7-x64";
    std::optional<fs::path> saveImage;
    std::vector<std::size_t> fleetSizes;
    bool sizesGiven = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const bool hasValue = index + 1 < arguments.size();
        if (arguments[index] == "--sizes" && hasValue && ParseSizes(arguments[index + 1], sizes)) {
            sizesGiven = true;
            ++index;
        } else if (arguments[index] == "--fleet-sizes" && hasValue &&
                   ParseSizes(arguments[index + 1], fleetSizes)) {
            ++index;
        } else if (arguments[index] == "--base" && hasValue) {
            base = arguments[++index];
        } else if (arguments[index] == "--save-image" && hasValue) {
            saveImage = arguments[++index];
        } else {
            std::cerr << "usage: cvl-benchmark [--sizes N,N,...] [--base IMAGE_DIR] "
                         "[--save-image DIR] [--fleet-sizes N,N,...]\n";
            return 64;
        }
    }
    std::string error;
    if (saveImage) {
        sim::SimulatedPlatform machine;
        image::MachineSettings settings;
        if (BuildBenchmarkMachine(base, sizes.front(), machine, settings, error) &&
            image::SaveMachineImage(machine, settings, *saveImage, error))
            return 0;
        std::cerr << "cvl-benchmark: " << error << "\n";
        return 1;
    }

    std::error_code failure;
    const fs::path scratch =
        fs::temp_directory_path() / ("cvl-benchmark-" + std::to_string(::getpid()));
    fs::create_directories(scratch, failure);
    if (!fleetSizes.empty()) {
        FleetBenchmarkSetup fleet{
            base, fs::read_symlink("/proc/self/exe").parent_path() / "cvlsetup-host", scratch,
            sizesGiven ? sizes.front() : 300, fleetSizes};
        const bool measured = RunFleetBenchmark(fleet, error);
        fs::remove_all(scratch, failure);
        if (measured) return 0;
        std::cerr << "cvl-benchmark: " << error << "\n";
        return 1;
    }

    std::cout << "## Runs through RunInstaller\n\n"
              << "| devices | action | exit | wall ms | cpu ms | growth | registry | devices | "
                 "inf+store | files | other | lists opened | peak MiB |\n"
              << "|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    std::vector<double> previous(std::size(kActions), 0.0);
    std::vector<ImageFigures> images;
    for (const std::size_t size : sizes) {
        for (std::size_t a = 0; a < std::size(kActions); ++a) {
            ActionFigures figures;
            if (!RunAction(base, size, kActions[a], figures, error)) {
                std::cerr << "cvl-benchmark: " << error << "\n";
                return 1;
            }
            std::cout << "| " << size << " | " << kActions[a].label << " | " << figures.exitCode
                      << " | " << Milliseconds(figures.seconds) << " | "
                      << Milliseconds(figures.processorSeconds) << " | "
                      << Growth(previous[a], figures.processorSeconds);
            for (const std::uint64_t calls : figures.calls) std::cout << " | " << calls;
            std::cout << " | " << figures.listsOpened << " | "
                      << Fixed(static_cast<double>(figures.peakBytes) / (1 << 20), 1) << " |\n"
                      << std::flush;
            previous[a] = figures.processorSeconds;
        }
        ImageFigures image;
        if (!MeasureImage(base, size, scratch, image, error)) {
            std::cerr << "cvl-benchmark: " << error << "\n";
            return 1;
        }
        images.push_back(image);
    }

    std::cout << "\n## Machine images\n\n"
              << "| devices | save cpu ms | load cpu ms | snapshot cpu ms | host runner "
              << kHostRunTail << " " << kHostRunFamily << ": cpu ms | wall ms | exit | growth |\n"
              << "|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (std::size_t index = 0; index < sizes.size(); ++index) {
        const ImageFigures &image = images[index];
        const double before = index == 0 ? 0.0 : images[index - 1].hostRun;
        std::cout << "| " << sizes[index] << " | " << Milliseconds(image.save) << " | "
                  << Milliseconds(image.load) << " | " << Milliseconds(image.snapshot) << " | "
                  << Milliseconds(image.hostRun) << " | " << Milliseconds(image.hostRunWall)
                  << " | " << image.hostExit << " | " << Growth(before, image.hostRun) << " |\n";
    }
    std::cout << "\nPeak memory: the bytes held through operator new above the run's start "
                 "(a counting allocator).\n";
    fs::remove_all(scratch, failure);
    return 0;
}

}  // namespace
}  // namespace cvl::benchmark

int main(int argc, char **argv) {
    return cvl::benchmark::Main(std::vector<std::string>(argv + 1, argv + argc));
}

#include "benchmark/benchmark_machine.h"

#include <array>
#include <cstdio>

#include "common/family_code.h"
#include "common/text.h"
#include "device/family_tables.h"
#include "machine_image/machine_image.h"
#include "platform/sim/setup/device_key_paths.h"

namespace cvl::benchmark {
namespace {

constexpr std::u16string_view kSystemClassGuid = u"{4d36e97d-e325-11ce-bfc1-08002be10318}";
constexpr std::array<DeviceFamily, 3> kCorvaneFamilies{FamilyVistaB701, FamilyVistaB760,
                                                       FamilyVistaB76x};

std::u16string Formatted(const char *format, std::size_t number) {
    char text[64];
    std::snprintf(text, sizeof text, format, number);
    return Widen(text);
}

std::u16string UpperAZ(std::u16string text) {
    for (char16_t &c : text)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return text;
}

// "PCI\VEN_1F3A&DEV_B701&CC_0200" -> "PCI\VEN_1F3A&DEV_B701";
// "usb\vid_0c7e&pid_b762&rev_3000" -> "USB\VID_0C7E&PID_B762".
std::u16string DevicePart(std::u16string_view hardwareId) {
    std::u16string id = UpperAZ(std::u16string(hardwareId));
    const std::size_t second = id.find(u'&', id.find(u'&') + 1);
    return id.substr(0, second);
}

image::DeviceRow SystemDevice(std::size_t number) {
    image::DeviceRow row;
    const std::u16string model = Formatted("BENCH%04zX", (number / 100) % 0x10000);
    row.instanceId = u"ACPI\\" + model + u"\\" + Formatted("%07zu", number);
    row.className = u"System";
    row.classGuid = std::u16string(kSystemClassGuid);
    row.hardwareIds = {u"ACPI\\" + model, u"*" + model};
    return row;
}

image::DeviceRow NetworkAdapter(std::size_t number) {
    image::DeviceRow row;
    std::u16string hardwareId = u"PCI\\VEN_8086&DEV_10D3&CC_0200";
    std::u16string description = u"Benchmark Gigabit Network Connection";
    std::u16string version = u"9.13.41.3";
    std::u16string inf = u"net1ic64.inf";
    if (number % 50 == 0) {
        const DeviceFamily family = kCorvaneFamilies[(number / 50) % kCorvaneFamilies.size()];
        const auto ids = FamilyHardwareIds(family);
        hardwareId = std::u16string(ids[(number / 150) % ids.size()]);
        description = u"Corvane GbE Family Controller";
        version = u"8.45.507.2016";
        inf = u"oem3.inf";
    }
    const std::u16string device = DevicePart(hardwareId);
    row.instanceId = device + u"\\" + Formatted("%012zu", number);
    row.hardwareIds = {hardwareId, device};
    row.disableable = true;
    row.driverKey = u"";
    row.driverTexts = {
        {u"ComponentId", LoweredAZ(hardwareId)},
        {u"DriverDesc", description},
        {u"DriverVersion", version},
        {u"InfPath", inf},
        {u"MatchingDeviceId", LoweredAZ(hardwareId)},
        {u"NetCfgInstanceId", Formatted("{B0000000-0000-4000-8000-%012zu}", number)}};
    return row;
}

}  // namespace

image::DeviceRow BenchmarkDevice(std::size_t number) {
    image::DeviceRow row = number % 10 == 0 ? NetworkAdapter(number) : SystemDevice(number);
    if (number % 7 == 3) {
        row.condition = image::DeviceCondition::Absent;
        row.driverKey.reset();
        row.driverTexts.clear();
    }
    return row;
}

bool BuildBenchmarkMachine(const std::filesystem::path &baseImage, std::size_t devices,
                           sim::SimulatedPlatform &machine, image::MachineSettings &settings,
                           std::string &error) {
    if (!image::LoadMachineImage(baseImage, machine, settings, error)) return false;
    settings.devices.reserve(settings.devices.size() + devices);
    // Driver keys are numbered on from the first name the image leaves free.
    std::size_t nextKey = 0;
    for (std::size_t number = 0; number < devices; ++number) {
        image::DeviceRow row = BenchmarkDevice(number);
        if (row.driverKey && row.classGuid) {
            const std::u16string classKey = sim::DriverKeyPath(*row.classGuid) + u"\\";
            do {
                row.driverKey = Formatted("%04zu", nextKey++);
            } while (machine.Setup().RegKeyExists(classKey + *row.driverKey));
            if (nextKey > 10000) {
                error = "more network adapters than a class key has driver key names";
                return false;
            }
        }
        sim::DeviceSpec spec = image::SpecOf(row);
        machine.Setup().AddDevice(spec);
        settings.devices.push_back(std::move(row));
    }
    return true;
}

}  // namespace cvl::benchmark

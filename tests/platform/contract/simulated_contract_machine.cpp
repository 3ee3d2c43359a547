// The contract cases on the host: each runs on a fresh simulated machine
// seeded with what the Wine harness prepares in its prefix.
#include "contract_machine.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::contract {
namespace {

constexpr char16_t kScratchKey[] = u"Software\\CvlContract\\Scratch";
constexpr char16_t kScratchFolder[] = u"C:\\scratch\\";
constexpr char16_t kChildPath[] = u"C:\\setup\\child.exe";
constexpr DWORD kChildExitCode = 7;

class SimulatedContractMachine final : public ContractMachine {
public:
    SimulatedContractMachine() {
        sim_.Setup().CreateRegKey(std::u16string(u"HKCU\\") + kScratchKey);
        sim_.Setup().AddDirectory(kScratchFolder);

        sim::DeviceSpec device;
        device.instanceId = u"ROOT\\CVLPROBE\\0000";
        device.hardwareIds = {u"CVL_PROBE_DEVICE", kSecondHardwareId};
        device.compatibleIds = kCompatibleIds;
        // The harness enters its devices without a driver.
        device.withDriverKey = false;
        sim_.Setup().AddDevice(device);
        device.instanceId = u"ROOT\\CVLPROBE\\0001";
        device.hardwareIds = {u"CVL_PROBE_REMOVABLE"};
        device.compatibleIds = kCompatibleIds;
        sim_.Setup().AddDevice(device);

        sim_.Setup().AddService(u"cvlprobe", u"system32\\DRIVERS\\cvlprobe.sys");
        sim_.Setup().AddFile(kChildPath, "MZ");
        sim_.Setup().SetToolExitCode(kChildPath, kChildExitCode);
    }

    Platform &platform() override { return sim_; }
    bool OnWine() const override { return false; }
    std::u16string ScratchKey() const override { return kScratchKey; }
    std::u16string ScratchFolder() const override { return kScratchFolder; }
    std::u16string OwnPath() const override { return sim_.Setup().ProgramPath(); }
    std::u16string DeviceHardwareId() const override { return u"CVL_PROBE_DEVICE"; }
    std::u16string RemovableDeviceHardwareId() const override { return u"CVL_PROBE_REMOVABLE"; }
    std::u16string ServiceName() const override { return u"cvlprobe"; }
    std::u16string ServiceBinaryPath() const override { return u"system32\\DRIVERS\\cvlprobe.sys"; }
    ChildProgram Child() const override {
        return {kChildPath, u"\"" + std::u16string(kChildPath) + u"\" exit-with 7", kChildExitCode};
    }

    bool AddSecondName(const std::u16string &path, const std::u16string &existing) override {
        return sim_.Setup().AddSecondName(path, existing);
    }
    bool AddFolder(const std::u16string &path) override { return sim_.Setup().AddDirectory(path); }
    std::optional<unsigned> AnsiCodePage() const override { return std::nullopt; }

private:
    sim::SimulatedPlatform sim_;
};

}  // namespace

std::unique_ptr<ContractMachine> MakeContractMachine() {
    return std::make_unique<SimulatedContractMachine>();
}

}  // namespace cvl::contract

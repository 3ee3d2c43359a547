// The version report, the clock and the message box as a test sets them, and
// what the program did with them.
#include <algorithm>
#include "platform/sim/parts/machine.h"

namespace cvl::sim {

void SimulatedMachineSetup::SetVersion(DWORD platformId, DWORD major, DWORD minor, DWORD build,
                                       std::u16string servicePack) {
    platform_.machine_->system.SetVersion(
        VersionReport{platformId, major, minor, build, std::move(servicePack)});
}

VersionReport SimulatedMachineSetup::Version() const {
    return platform_.machine_->system.Version();
}

void SimulatedMachineSetup::SetMessageBoxAnswer(int answer) {
    platform_.machine_->system.SetMessageBoxAnswer(answer);
}

const std::vector<MessageBoxRecord> &SimulatedMachineSetup::MessageBoxes() const {
    return platform_.machine_->system.MessageBoxes();
}

DWORD SimulatedMachineSetup::Now() const {
    return platform_.machine_->system.Ticks();
}

void SimulatedMachineSetup::SetTickCount(DWORD ticks) {
    platform_.machine_->system.SetTicks(ticks);
}

const std::vector<DWORD> &SimulatedMachineSetup::Sleeps() const {
    return platform_.machine_->system.Sleeps();
}

}  // namespace cvl::sim

#include "platform/sim/simulated_platform.h"

#include "platform/sim/parts/device_registry.h"
#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

// The pseudo-handle of the calling process, which closes as a no-op.
const void *CurrentProcessPseudoHandle() {
    return InvalidHandleValue();
}

}  // namespace

SimulatedPlatform::Machine::Machine() {
    registry.MakeKey(u"HKLM\\SOFTWARE");
    registry.MakeKey(u"HKLM\\SYSTEM\\CurrentControlSet\\Enum");
    registry.MakeKey(u"HKLM\\SYSTEM\\CurrentControlSet\\Services");
    registry.MakeKey(DriverKeyPath(kNetClassGuidText))
        ->SetValue(u"Class", RegValue{REG_SZ, {'N', 0, 'e', 0, 't', 0, 0, 0}});
    registry.MakeKey(u"HKCU\\Software");
}

BOOL SimulatedPlatform::Machine::FailWith(DWORD error) {
    lastError = error;
    return FALSE;
}

void SimulatedPlatform::Machine::Close(const void *handle) {
    if (const auto object = handles.Remove(handle)) files.Closed(*object);
}

SimulatedPlatform::SimulatedPlatform()
    : machine_(std::make_unique<Machine>()), setup_(*this, machine_->registry) {}

SimulatedPlatform::~SimulatedPlatform() = default;

std::size_t SimulatedMachineSetup::OpenHandleCount() const {
    return platform_.machine_->handles.Count();
}

std::size_t SimulatedMachineSetup::OpenHandleCount(HandleKind kind) const {
    return platform_.machine_->handles.Count(kind);
}

std::size_t SimulatedMachineSetup::OutstandingAllocations() const {
    return platform_.machine_->memory.Count();
}

DWORD SimulatedPlatform::GetLastError() {
    return machine_->lastError;
}

void SimulatedPlatform::SetLastError(DWORD error) {
    machine_->lastError = error;
}

BOOL SimulatedPlatform::CloseHandle(HANDLE handle) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::CloseHandle)) return m.FailWith(*error);
    if (handle == CurrentProcessPseudoHandle()) return TRUE;
    if (m.handles.As<FileObject>(handle) == nullptr &&
        m.handles.As<ProcessObject>(handle) == nullptr)
        return m.FailWith(ERROR_INVALID_HANDLE);
    m.Close(handle);
    return TRUE;
}

}  // namespace cvl::sim

#include "platform/sim/simulated_platform.h"

#include "platform/sim/sim_machine.h"

namespace cvl::sim {
namespace {

// The pseudo-handle of the calling process, which closes as a no-op.
const void *CurrentProcessPseudoHandle() {
    return InvalidHandleValue();
}

}  // namespace

SimulatedPlatform::Machine::Machine() {
    localMachine = std::make_shared<RegKeyNode>();
    localMachine->name = u"HKEY_LOCAL_MACHINE";
    currentUser = std::make_shared<RegKeyNode>();
    currentUser->name = u"HKEY_CURRENT_USER";
    MakeKey(u"HKLM\\SOFTWARE");
    MakeKey(u"HKLM\\SYSTEM\\CurrentControlSet\\Enum");
    MakeKey(u"HKLM\\SYSTEM\\CurrentControlSet\\Services");
    MakeKey(
        u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972-e325-11ce-bfc1-08002be10318}")
        ->SetValue(u"Class", RegValue{REG_SZ, {'N', 0, 'e', 0, 't', 0, 0, 0}});
    MakeKey(u"HKCU\\Software");

    windowsDirectory = *ResolveWinPath(u"C:\\Windows", WinPath{});
    tempDirectory = *ResolveWinPath(u"C:\\Users\\user\\AppData\\Local\\Temp", WinPath{});
    currentDirectory = *ResolveWinPath(u"C:\\setup", WinPath{});
    MakeDirectories(windowsDirectory.Child(u"system32"));
    MakeDirectories(windowsDirectory.Child(u"INF"));
    MakeDirectories(tempDirectory);
    MakeDirectories(currentDirectory);
    InstallProgram(currentDirectory.Child(u"cvlsetup.exe"), 1000);
}

BOOL SimulatedPlatform::Machine::FailWith(DWORD error) {
    lastError = error;
    return FALSE;
}

void *SimulatedPlatform::Machine::AddHandle(HandleObject object) {
    const std::uintptr_t value = nextHandle;
    nextHandle += 4;
    handles.emplace(value, HandleEntry{currentProcessId, std::move(object)});
    return reinterpret_cast<void *>(value);
}

HandleEntry *SimulatedPlatform::Machine::Entry(const void *handle) {
    const auto found = handles.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == handles.end() ? nullptr : &found->second;
}

void SimulatedPlatform::Machine::ReleaseHandle(std::uintptr_t value) {
    const auto found = handles.find(value);
    if (found == handles.end()) return;
    const HandleObject object = std::move(found->second.object);
    handles.erase(found);
    if (const auto *file = std::get_if<FileObject>(&object)) RemoveIfReleased(file->node);
}

void SimulatedPlatform::Machine::ReleaseHandlesOf(DWORD processId) {
    std::vector<std::uintptr_t> owned;
    for (const auto &[value, entry] : handles)
        if (entry.ownerProcessId == processId) owned.push_back(value);
    for (const auto value : owned) ReleaseHandle(value);
}

SimulatedPlatform::SimulatedPlatform() : machine_(std::make_unique<Machine>()) {}

SimulatedPlatform::~SimulatedPlatform() = default;

std::size_t SimulatedPlatform::OpenHandleCount() const {
    return machine_->handles.size();
}

std::size_t SimulatedPlatform::OutstandingAllocations() const {
    return machine_->allocations.size();
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
    const HandleEntry *entry = m.Entry(handle);
    if (entry == nullptr || !(std::holds_alternative<FileObject>(entry->object) ||
                              std::holds_alternative<ProcessObject>(entry->object)))
        return m.FailWith(ERROR_INVALID_HANDLE);
    m.ReleaseHandle(reinterpret_cast<std::uintptr_t>(handle));
    return TRUE;
}

}  // namespace cvl::sim

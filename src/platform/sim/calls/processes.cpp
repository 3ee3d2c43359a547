// Processes: the program's own run, the processes it starts, waits, exit
// codes, and the later runs of started copies of the program.
#include "platform/command_tail.h"
#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

constexpr DWORD kProcessAllAccess = 0x1FFFFF;
constexpr DWORD kProcessQueryLimitedInformation = 0x1000;

// The pseudo-handle of the calling process, which closes as a no-op.
const void *CurrentProcessPseudoHandle() {
    return InvalidHandleValue();
}

}  // namespace

BOOL SimulatedPlatform::DoCreateProcessW(const char16_t *applicationName, char16_t *commandLine,
                                         BOOL, DWORD, const StartupInfo *startupInfo,
                                         ProcessInformation *info) {
    Machine &m = *machine_;
    if (startupInfo == nullptr || info == nullptr ||
        (applicationName == nullptr && commandLine == nullptr))
        return m.FailWith(ERROR_INVALID_PARAMETER);
    WinPath image;
    if (applicationName != nullptr) {
        // A named application is taken as it stands: no search, no ".exe".
        const FileSystem::Place place = m.files.Locate(applicationName);
        if (place.error != ERROR_SUCCESS) return m.FailWith(place.error);
        if (!place.node || place.node->directory) return m.FailWith(ERROR_FILE_NOT_FOUND);
        image = place.path;
    } else if (const DWORD error = m.processes.ImageFromCommandLine(commandLine, image)) {
        return m.FailWith(error);
    }
    const auto node = m.files.Lookup(image);
    if (node->deletePending) return m.FailWith(ERROR_ACCESS_DENIED);
    if (const DWORD error = m.files.SharingCheck(*node, kImageAccess, kImageShare))
        return m.FailWith(error);

    ProcessRecord started;
    started.applicationName = applicationName != nullptr ? applicationName : u"";
    started.commandLine = commandLine != nullptr ? commandLine : started.applicationName;
    started.imagePath = image.Text();
    started.startupInfo = *startupInfo;
    const ProcessRecord &record = m.processes.Start(std::move(started), node);

    info->hProcess = m.handles.Add(ProcessObject{record.processId, kProcessAllAccess, false});
    info->hThread = m.handles.Add(ProcessObject{record.processId, kProcessAllAccess, true});
    info->dwProcessId = record.processId;
    info->dwThreadId = record.processId + 2;
    return TRUE;
}

DWORD SimulatedPlatform::DoWaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    Machine &m = *machine_;
    // Waiting on oneself never ends.
    if (handle == InvalidHandleValue()) return m.Fail(ERROR_POSSIBLE_DEADLOCK, WAIT_FAILED);
    const ProcessObject *object = m.handles.As<ProcessObject>(handle);
    if (object == nullptr) return m.Fail(ERROR_INVALID_HANDLE, WAIT_FAILED);
    if (!(object->access & SYNCHRONIZE)) return m.Fail(ERROR_ACCESS_DENIED, WAIT_FAILED);
    const ProcessState &process = *m.processes.Find(object->processId);
    if (!process.running) return WAIT_OBJECT_0;
    if (milliseconds == INFINITE) {
        m.processes.RecordWait(WaitRecord{process.id, milliseconds, WAIT_FAILED});
        return m.Fail(ERROR_POSSIBLE_DEADLOCK, WAIT_FAILED);
    }
    m.system.Advance(milliseconds);
    m.processes.RecordWait(WaitRecord{process.id, milliseconds, WAIT_TIMEOUT});
    return WAIT_TIMEOUT;
}

BOOL SimulatedPlatform::DoGetExitCodeProcess(HANDLE process, DWORD *exitCode) {
    Machine &m = *machine_;
    const ProcessObject *object = m.handles.As<ProcessObject>(process);
    if (object == nullptr || object->thread) return m.FailWith(ERROR_INVALID_HANDLE);
    if (!(object->access & (PROCESS_QUERY_INFORMATION | kProcessQueryLimitedInformation)))
        return m.FailWith(ERROR_ACCESS_DENIED);
    if (exitCode == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    const ProcessState &state = *m.processes.Find(object->processId);
    *exitCode = state.running ? STILL_ACTIVE : state.exitCode;
    return TRUE;
}

HANDLE SimulatedPlatform::DoOpenProcess(DWORD access, BOOL, DWORD processId) {
    Machine &m = *machine_;
    const ProcessState *found = m.processes.Find(processId);
    // An ended process is gone once nobody holds a handle to it.
    if (found == nullptr ||
        (!found->running && !found->external && !m.processes.HeldByAnyHandle(processId)))
        return m.Fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    return m.handles.Add(ProcessObject{processId, access, false});
}

DWORD SimulatedPlatform::DoGetCurrentProcessId() {
    return machine_->processes.CurrentId();
}

void SimulatedPlatform::DoExitProcess(UINT exitCode) {
    machine_->processes.SetExitProcessCode(exitCode);
}

BOOL SimulatedPlatform::DoCloseHandle(HANDLE handle) {
    Machine &m = *machine_;
    if (handle == CurrentProcessPseudoHandle()) return TRUE;
    if (m.handles.As<FileObject>(handle) == nullptr &&
        m.handles.As<ProcessObject>(handle) == nullptr)
        return m.FailWith(ERROR_INVALID_HANDLE);
    m.Close(handle);
    return TRUE;
}

}  // namespace cvl::sim

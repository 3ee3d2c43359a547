// Processes: the program's own run, the processes it starts, waits, exit
// codes, and the later runs of started copies of the program.
#include "platform/command_tail.h"
#include "platform/sim/sim_machine.h"

namespace cvl::sim {
namespace {

constexpr DWORD kProcessAllAccess = 0x1FFFFF;
constexpr DWORD kProcessQueryLimitedInformation = 0x1000;
constexpr int kMaxProgramRuns = 64;

// Stands for the executable's bytes: whatever holds exactly these is a
// copy of the program.
constexpr char kProgramMarker[] = "MZ cvlsetup simulated program image";

bool HasExtension(std::u16string_view name) {
    const std::size_t lastSeparator = name.find_last_of(u"\\/");
    const std::size_t dot = name.find_last_of(u'.');
    return dot != std::u16string_view::npos &&
           (lastSeparator == std::u16string_view::npos || dot > lastSeparator);
}

bool HasDirectory(std::u16string_view name) {
    return name.find_first_of(u"\\/:") != std::u16string_view::npos;
}

// A running process keeps its image mapped, which the file system sees.
void HoldImage(ProcessState &process, std::shared_ptr<FsNode> image) {
    ++image->runningImages;
    process.image = std::move(image);
}

std::shared_ptr<FsNode> DropImage(ProcessState &process) {
    std::shared_ptr<FsNode> image = std::move(process.image);
    process.image.reset();
    if (image) --image->runningImages;
    return image;
}

}  // namespace

ProcessState &SimulatedPlatform::Machine::Current() {
    return processes.at(currentProcessId);
}

ProcessState &SimulatedPlatform::Machine::AddProcess(DWORD id, std::u16string imagePath) {
    ProcessState &process = processes[id];
    DropImage(process);
    process = ProcessState{};
    process.id = id;
    process.imagePath = std::move(imagePath);
    return process;
}

DWORD SimulatedPlatform::Machine::NewProcessId() {
    DWORD id = currentProcessId + 4;
    while (processes.count(id) != 0) id += 4;
    return id;
}

void SimulatedPlatform::Machine::InstallProgram(const WinPath &path, DWORD processId) {
    const auto folder = files.MakeDirectories(path.Parent());
    if (!folder || path.IsRoot()) return;
    auto node = files.Lookup(path);
    if (node && node->directory) return;
    if (!node) {
        node = files.CreateFileNode(*folder, path.parts.back());
        node->contents = kProgramMarker;
        node->attributes = FILE_ATTRIBUTE_ARCHIVE;
    }
    programPath = path.Text();
    programContents = node->contents;
    // The run being replaced was never started by anyone: it just goes.
    const auto previous = processes.find(currentProcessId);
    if (previous != processes.end() && !previous->second.record) {
        DropImage(previous->second);
        processes.erase(previous);
    }
    ProcessState &process = AddProcess(processId, programPath);
    HoldImage(process, node);
    process.program = true;
    process.hasRun = true;
    currentProcessId = processId;
    handles.SetOwner(processId);
    exitProcessCode.reset();
}

bool SimulatedPlatform::Machine::FindExecutable(std::u16string_view name, WinPath &image) const {
    if (name.empty()) return false;
    std::vector<std::u16string> names;
    // The ".exe" form first, then the name as it stands.
    if (!HasExtension(name)) names.push_back(std::u16string(name) + u".exe");
    names.emplace_back(name);
    for (const auto &candidate : names) {
        std::vector<WinPath> places;
        if (HasDirectory(candidate)) {
            if (auto path = files.Resolve(candidate)) places.push_back(*path);
        } else {
            // A bare name: the program's folder, the current folder, the
            // system folder, the Windows folder.
            if (auto own = files.Resolve(processes.at(currentProcessId).imagePath))
                places.push_back(own->Parent().Child(candidate));
            places.push_back(files.CurrentDirectory().Child(candidate));
            places.push_back(files.WindowsDirectory().Child(u"system32").Child(candidate));
            places.push_back(files.WindowsDirectory().Child(candidate));
        }
        for (const auto &place : places) {
            const auto node = files.Lookup(place);
            if (node && !node->directory) {
                image = place;
                return true;
            }
        }
    }
    return false;
}

DWORD SimulatedPlatform::Machine::ImageFromCommandLine(std::u16string_view commandLine,
                                                       WinPath &image) const {
    // Each shorter prefix is tried first, which is why an unquoted path with
    // blanks can start "C:\Program.exe" instead of the program meant.
    for (const auto &candidate : ImageCandidates(commandLine))
        if (FindExecutable(candidate, image)) return ERROR_SUCCESS;
    return ERROR_FILE_NOT_FOUND;
}

void SimulatedPlatform::Machine::EndProcess(ProcessState &process, DWORD exitCode) {
    process.running = false;
    process.exitCode = exitCode;
    if (process.record) {
        records[*process.record].running = false;
        records[*process.record].exitCode = exitCode;
    }
    // The image is let go before the handles close, as the process is gone
    // by then; a file marked for deletion goes once the last of them closes.
    const std::shared_ptr<FsNode> image = DropImage(process);
    ReleaseHandlesOf(process.id);
    files.RemoveIfReleased(image);
}

ProcessState *SimulatedPlatform::Machine::NextProgramToRun() {
    for (const auto &record : records) {
        ProcessState &process = processes.at(record.processId);
        if (process.program && process.running && !process.hasRun) return &process;
    }
    return nullptr;
}

bool SimulatedPlatform::Machine::HeldByAnyHandle(DWORD processId) const {
    bool held = false;
    handles.ForEach<ProcessObject>([&](const ProcessObject &process) {
        if (process.processId == processId) held = true;
    });
    return held;
}

BOOL SimulatedPlatform::CreateProcessW(const char16_t *applicationName, char16_t *commandLine, BOOL,
                                       DWORD, const StartupInfo *startupInfo,
                                       ProcessInformation *info) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::CreateProcessW)) return m.FailWith(*error);
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
    } else if (const DWORD error = m.ImageFromCommandLine(commandLine, image)) {
        return m.FailWith(error);
    }
    const auto node = m.files.Lookup(image);
    if (node->deletePending) return m.FailWith(ERROR_ACCESS_DENIED);
    if (const DWORD error = m.files.SharingCheck(*node, kImageAccess, kImageShare))
        return m.FailWith(error);

    ProcessRecord record;
    record.processId = m.NewProcessId();
    record.applicationName = applicationName != nullptr ? applicationName : u"";
    record.commandLine = commandLine != nullptr ? commandLine : record.applicationName;
    record.imagePath = image.Text();
    record.startupInfo = *startupInfo;

    ProcessState &process = m.AddProcess(record.processId, record.imagePath);
    process.commandLine = record.commandLine;
    process.record = m.records.size();
    process.program = node->contents == m.programContents;
    if (process.program) {
        HoldImage(process, node);
    } else {
        // Any other executable has done its work by the time anyone looks.
        const auto tool = m.toolExitCodes.find(FoldedName(record.imagePath));
        process.running = false;
        process.exitCode = tool != m.toolExitCodes.end() ? tool->second : 0;
    }
    record.running = process.running;
    record.exitCode = process.exitCode;
    m.records.push_back(record);

    info->hProcess = m.handles.Add(ProcessObject{record.processId, kProcessAllAccess, false});
    info->hThread = m.handles.Add(ProcessObject{record.processId, kProcessAllAccess, true});
    info->dwProcessId = record.processId;
    info->dwThreadId = record.processId + 2;
    return TRUE;
}

DWORD SimulatedPlatform::WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::WaitForSingleObject))
        return m.Fail(*error, WAIT_FAILED);
    // Waiting on oneself never ends.
    if (handle == InvalidHandleValue()) return m.Fail(ERROR_POSSIBLE_DEADLOCK, WAIT_FAILED);
    const ProcessObject *object = m.handles.As<ProcessObject>(handle);
    if (object == nullptr) return m.Fail(ERROR_INVALID_HANDLE, WAIT_FAILED);
    if (!(object->access & SYNCHRONIZE)) return m.Fail(ERROR_ACCESS_DENIED, WAIT_FAILED);
    const ProcessState &process = m.processes.at(object->processId);
    if (!process.running) return WAIT_OBJECT_0;
    if (milliseconds == INFINITE) {
        m.waits.push_back(WaitRecord{process.id, milliseconds, WAIT_FAILED});
        return m.Fail(ERROR_POSSIBLE_DEADLOCK, WAIT_FAILED);
    }
    m.ticks += milliseconds;
    m.waits.push_back(WaitRecord{process.id, milliseconds, WAIT_TIMEOUT});
    return WAIT_TIMEOUT;
}

BOOL SimulatedPlatform::GetExitCodeProcess(HANDLE process, DWORD *exitCode) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::GetExitCodeProcess)) return m.FailWith(*error);
    const ProcessObject *object = m.handles.As<ProcessObject>(process);
    if (object == nullptr || object->thread) return m.FailWith(ERROR_INVALID_HANDLE);
    if (!(object->access & (PROCESS_QUERY_INFORMATION | kProcessQueryLimitedInformation)))
        return m.FailWith(ERROR_ACCESS_DENIED);
    if (exitCode == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    const ProcessState &state = m.processes.at(object->processId);
    *exitCode = state.running ? STILL_ACTIVE : state.exitCode;
    return TRUE;
}

HANDLE SimulatedPlatform::OpenProcess(DWORD access, BOOL, DWORD processId) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::OpenProcess))
        return m.Fail(*error, HANDLE{nullptr});
    const auto found = m.processes.find(processId);
    // An ended process is gone once nobody holds a handle to it.
    if (found == m.processes.end() ||
        (!found->second.running && !found->second.external && !m.HeldByAnyHandle(processId)))
        return m.Fail(ERROR_INVALID_PARAMETER, HANDLE{nullptr});
    return m.handles.Add(ProcessObject{processId, access, false});
}

DWORD SimulatedPlatform::GetCurrentProcessId() {
    machine_->Injected(PlatformOperation::GetCurrentProcessId);
    return machine_->currentProcessId;
}

void SimulatedPlatform::ExitProcess(UINT exitCode) {
    machine_->Injected(PlatformOperation::ExitProcess);
    machine_->exitProcessCode = exitCode;
}

void SimulatedPlatform::SetProgram(std::u16string_view modulePath, DWORD processId) {
    if (const auto path = machine_->files.Resolve(modulePath))
        machine_->InstallProgram(*path, processId);
}

std::u16string SimulatedPlatform::ProgramPath() const {
    return machine_->programPath;
}

std::string SimulatedPlatform::ProgramContents() const {
    return machine_->programContents;
}

void SimulatedPlatform::SetToolExitCode(std::u16string_view imagePath, DWORD exitCode) {
    if (const auto path = machine_->files.Resolve(imagePath))
        machine_->toolExitCodes[FoldedName(path->Text())] = exitCode;
}

const std::vector<ProcessRecord> &SimulatedPlatform::Processes() const {
    return machine_->records;
}

void SimulatedPlatform::FinishRunAndStartChildren(DWORD exitCode, const ProgramEntry &entry) {
    Machine &m = *machine_;
    ProcessState &finished = m.Current();
    if (finished.running) m.EndProcess(finished, m.exitProcessCode.value_or(exitCode));
    for (int run = 0; run < kMaxProgramRuns; ++run) {
        ProcessState *next = m.NextProgramToRun();
        if (next == nullptr) return;
        next->hasRun = true;
        m.currentProcessId = next->id;
        m.handles.SetOwner(next->id);
        m.exitProcessCode.reset();
        const DWORD code =
            entry ? entry(*this, std::u16string(CommandTailOf(next->commandLine))) : 0;
        m.EndProcess(*next, m.exitProcessCode.value_or(code));
    }
}

void SimulatedPlatform::AddForeignProcess(DWORD processId, bool running) {
    ProcessState &process = machine_->AddProcess(processId, u"");
    process.external = true;
    process.running = running;
    process.exitCode = running ? STILL_ACTIVE : 0;
}

std::optional<UINT> SimulatedPlatform::ExitProcessCode() const {
    return machine_->exitProcessCode;
}

DWORD SimulatedPlatform::CurrentProcessId() const {
    return machine_->currentProcessId;
}

std::optional<DWORD> SimulatedPlatform::ExitCodeOf(DWORD processId) const {
    const auto found = machine_->processes.find(processId);
    if (found == machine_->processes.end()) return std::nullopt;
    return found->second.running ? STILL_ACTIVE : found->second.exitCode;
}

const std::vector<WaitRecord> &SimulatedPlatform::Waits() const {
    return machine_->waits;
}

}  // namespace cvl::sim

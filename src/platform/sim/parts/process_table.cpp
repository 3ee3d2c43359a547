// The process table: which process runs, what each started, how each
// ended, and the images they hold.
#include "platform/sim/parts/process_table.h"

namespace cvl::sim {
namespace {

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

ProcessTable::ProcessTable(FileSystem &files, HandleTable &handles)
    : files_(files), handles_(handles) {
    InstallProgram(files_.CurrentDirectory().Child(u"cvlsetup.exe"), 1000);
}

ProcessState &ProcessTable::Current() {
    return processes_.at(currentId_);
}

void ProcessTable::MakeCurrent(ProcessState &process) {
    currentId_ = process.id;
    handles_.SetOwner(process.id);
    exitProcessCode_.reset();
}

ProcessState *ProcessTable::Find(DWORD processId) {
    const auto found = processes_.find(processId);
    return found == processes_.end() ? nullptr : &found->second;
}

const ProcessState *ProcessTable::Find(DWORD processId) const {
    const auto found = processes_.find(processId);
    return found == processes_.end() ? nullptr : &found->second;
}

ProcessState &ProcessTable::Add(DWORD id, std::u16string imagePath) {
    ProcessState &process = processes_[id];
    DropImage(process);
    process = ProcessState{};
    process.id = id;
    process.imagePath = std::move(imagePath);
    return process;
}

DWORD ProcessTable::NewProcessId() const {
    DWORD id = currentId_ + 4;
    while (processes_.count(id) != 0) id += 4;
    return id;
}

void ProcessTable::InstallProgram(const WinPath &path, DWORD processId) {
    const auto folder = files_.MakeDirectories(path.Parent());
    if (!folder || path.IsRoot()) return;
    auto node = files_.Lookup(path);
    if (node && node->directory) return;
    if (!node) {
        node = files_.CreateFileNode(*folder, path.parts.back());
        node->contents = kProgramMarker;
        node->attributes = FILE_ATTRIBUTE_ARCHIVE;
    }
    programPath_ = path.Text();
    programContents_ = node->contents;
    // The run being replaced was never started by anyone: it just goes.
    const auto previous = processes_.find(currentId_);
    if (previous != processes_.end() && !previous->second.record) {
        DropImage(previous->second);
        processes_.erase(previous);
    }
    ProcessState &process = Add(processId, programPath_);
    HoldImage(process, node);
    process.program = true;
    process.hasRun = true;
    MakeCurrent(process);
}

bool ProcessTable::FindExecutable(std::u16string_view name, WinPath &image) const {
    if (name.empty()) return false;
    std::vector<std::u16string> names;
    // The ".exe" form first, then the name as it stands.
    if (!HasExtension(name)) names.push_back(std::u16string(name) + u".exe");
    names.emplace_back(name);
    for (const auto &candidate : names) {
        std::vector<WinPath> places;
        if (HasDirectory(candidate)) {
            if (auto path = files_.Resolve(candidate)) places.push_back(*path);
        } else {
            // A bare name: the program's folder, the current folder, the
            // system folder, the Windows folder.
            if (auto own = files_.Resolve(processes_.at(currentId_).imagePath))
                places.push_back(own->Parent().Child(candidate));
            places.push_back(files_.CurrentDirectory().Child(candidate));
            places.push_back(files_.WindowsDirectory().Child(u"system32").Child(candidate));
            places.push_back(files_.WindowsDirectory().Child(candidate));
        }
        for (const auto &place : places) {
            const auto node = files_.Lookup(place);
            if (node && !node->directory) {
                image = place;
                return true;
            }
        }
    }
    return false;
}

DWORD ProcessTable::ImageFromCommandLine(std::u16string_view commandLine, WinPath &image) const {
    // Each shorter prefix is tried first, which is why an unquoted path with
    // blanks can start "C:\Program.exe" instead of the program meant.
    for (const auto &candidate : ImageCandidates(commandLine))
        if (FindExecutable(candidate, image)) return ERROR_SUCCESS;
    return ERROR_FILE_NOT_FOUND;
}

void ProcessTable::MarkEnded(ProcessState &process, DWORD exitCode) {
    process.running = false;
    process.exitCode = exitCode;
    if (process.record) {
        records_[*process.record].running = false;
        records_[*process.record].exitCode = exitCode;
    }
}

void ProcessTable::End(ProcessState &process, DWORD exitCode) {
    MarkEnded(process, exitCode);
    // The image is let go before the handles close, as the process is gone
    // by then; a file marked for deletion goes once the last of them closes.
    const std::shared_ptr<FsNode> image = DropImage(process);
    for (const HandleObject &object : handles_.RemoveOwnedBy(process.id)) files_.Closed(object);
    files_.RemoveIfReleased(image);
}

void ProcessTable::LosePower(DWORD exitCode) {
    for (auto &[id, process] : processes_) {
        if (const auto image = DropImage(process)) ForgetPendingDelete(*image);
        process.hasRun = true;
        if (!process.running || process.external) continue;
        MarkEnded(process, exitCode);
    }
}

ProcessState *ProcessTable::NextProgramToRun() {
    for (const auto &record : records_) {
        ProcessState &process = processes_.at(record.processId);
        if (process.program && process.running && !process.hasRun) return &process;
    }
    return nullptr;
}

bool ProcessTable::HeldByAnyHandle(DWORD processId) const {
    bool held = false;
    handles_.ForEach<ProcessObject>([&](const ProcessObject &process) {
        if (process.processId == processId) held = true;
    });
    return held;
}

const ProcessRecord &ProcessTable::Start(ProcessRecord record,
                                         const std::shared_ptr<FsNode> &image) {
    record.processId = NewProcessId();
    ProcessState &process = Add(record.processId, record.imagePath);
    process.commandLine = record.commandLine;
    process.record = records_.size();
    process.program = image->contents == programContents_;
    if (process.program) {
        HoldImage(process, image);
    } else {
        // Any other executable has done its work by the time anyone looks.
        const auto tool = toolExitCodes_.find(FoldedName(record.imagePath));
        process.running = false;
        process.exitCode = tool != toolExitCodes_.end() ? tool->second : 0;
    }
    record.running = process.running;
    record.exitCode = process.exitCode;
    records_.push_back(std::move(record));
    return records_.back();
}

void ProcessTable::AddForeign(DWORD processId, bool running) {
    ProcessState &process = Add(processId, u"");
    process.external = true;
    process.running = running;
    process.exitCode = running ? STILL_ACTIVE : 0;
}

void ProcessTable::SetToolExitCode(const WinPath &image, DWORD exitCode) {
    toolExitCodes_[FoldedName(image.Text())] = exitCode;
}

}  // namespace cvl::sim

// Files and folders as a test or a machine image seeds them, and their
// contents read back.
#include "platform/sim/parts/file_system.h"
#include "platform/sim/parts/machine.h"
#include "platform/sim/parts/paths.h"

namespace cvl::sim {

bool SimulatedMachineSetup::SameFileName(std::u16string_view first, std::u16string_view second) {
    return FoldedName(first) == FoldedName(second);
}

bool SimulatedMachineSetup::AddFile(std::u16string_view path, std::string contents,
                                    DWORD attributes) {
    return platform_.machine_->files.AddFile(path, std::move(contents), attributes);
}

bool SimulatedMachineSetup::AddSymbolicLink(std::u16string_view path, std::u16string_view target) {
    return platform_.machine_->files.AddSymbolicLink(path, target);
}

bool SimulatedMachineSetup::AddSecondName(std::u16string_view path, std::u16string_view existing) {
    return platform_.machine_->files.AddSecondName(path, existing);
}

bool SimulatedMachineSetup::AddDirectory(std::u16string_view path) {
    const auto resolved = platform_.machine_->files.Resolve(path);
    return resolved && platform_.machine_->files.MakeDirectories(*resolved) != nullptr;
}

bool SimulatedMachineSetup::AddDirectorySpelledAs(std::u16string_view path) {
    return platform_.machine_->files.AddDirectorySpelledAs(path);
}

bool SimulatedMachineSetup::RemoveFile(std::u16string_view path) {
    const auto resolved = platform_.machine_->files.Resolve(path);
    const auto node = resolved ? platform_.machine_->files.Lookup(*resolved) : nullptr;
    if (!node || node->directory) return false;
    platform_.machine_->files.Unlink(*node);
    return true;
}

bool SimulatedMachineSetup::FileExists(std::u16string_view path) const {
    const auto resolved = platform_.machine_->files.Resolve(path);
    const auto node = resolved ? platform_.machine_->files.Lookup(*resolved) : nullptr;
    return node && !node->directory;
}

bool SimulatedMachineSetup::DirectoryExists(std::u16string_view path) const {
    const auto resolved = platform_.machine_->files.Resolve(path);
    const auto node = resolved ? platform_.machine_->files.Lookup(*resolved) : nullptr;
    return node && node->directory;
}

std::optional<std::string> SimulatedMachineSetup::ReadFileContents(std::u16string_view path) const {
    return platform_.machine_->files.Contents(path);
}

std::optional<std::string> SimulatedMachineSetup::ReadFileAsProgram(
    std::u16string_view path) const {
    return platform_.machine_->files.Contents(path, true);
}

std::optional<DWORD> SimulatedMachineSetup::FileAttributes(std::u16string_view path) const {
    const auto resolved = platform_.machine_->files.Resolve(path);
    const auto node = resolved ? platform_.machine_->files.Lookup(*resolved) : nullptr;
    if (!node) return std::nullopt;
    return ReportedAttributes(*node);
}

const std::vector<std::u16string> &SimulatedMachineSetup::FilesOpenedForWriting() const {
    return platform_.machine_->files.OpenedForWriting();
}

std::map<std::u16string, std::string> SimulatedMachineSetup::AllFiles() const {
    return platform_.machine_->files.AllFiles();
}

void SimulatedMachineSetup::SetCurrentDirectory(std::u16string_view path) {
    platform_.machine_->files.SetCurrentDirectory(path);
}

void SimulatedMachineSetup::SetWindowsDirectory(std::u16string_view path) {
    platform_.machine_->files.SetWindowsDirectory(path);
}

void SimulatedMachineSetup::SetTempPath(std::u16string_view path) {
    platform_.machine_->files.SetTempDirectory(path);
}

std::u16string SimulatedMachineSetup::CurrentDirectory() const {
    return platform_.machine_->files.CurrentDirectory().Text();
}

std::u16string SimulatedMachineSetup::WindowsDirectory() const {
    return platform_.machine_->files.WindowsDirectory().Text();
}

std::u16string SimulatedMachineSetup::TempPath() const {
    return platform_.machine_->files.TempPathText();
}

}  // namespace cvl::sim

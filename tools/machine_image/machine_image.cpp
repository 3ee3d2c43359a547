#include "machine_image/machine_image.h"

#include <fstream>
#include <random>
#include <system_error>

#include "common/text.h"
#include "machine_image/machine_image_device_seeding.h"
#include "machine_image/machine_image_drives.h"
#include "machine_image/machine_image_snapshot.h"
#include "machine_image/machine_image_text.h"
#include "machine_image/reg_file.h"

namespace cvl::image {
namespace fs = std::filesystem;
namespace {

bool ReadWholeFile(const fs::path &file, std::string &bytes) {
    std::error_code failure;
    if (!fs::is_regular_file(file, failure)) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteWholeFile(const fs::path &file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return out.good();
}

// `parse(bytes, line, message)` reads the file's contents; its failure
// becomes an error naming the file and the line.
template <typename Parse>
bool ReadAndParse(const fs::path &file, std::string &error, Parse parse) {
    std::string bytes;
    if (!ReadWholeFile(file, bytes)) {
        error = ImageErrorText(file, 0, "is missing or cannot be read");
        return false;
    }
    std::size_t line = 0;
    std::string message;
    if (parse(bytes, line, message)) return true;
    error = ImageErrorText(file, line, message);
    return false;
}

// Everything an image holds, read and checked before the machine is touched.
struct ImageContents {
    std::vector<RegFileKey> registry;
    MachineSettings settings;
    DriveContents drives;
};

bool ReadImage(const fs::path &dir, ImageContents &image, std::string &error) {
    std::error_code failure;
    if (!fs::is_directory(dir, failure)) {
        error = ImageErrorText(dir, 0, "is not a folder");
        return false;
    }
    const fs::path settingsFile = dir / kSettingsFileName;
    const bool filesRead =
        ReadAndParse(dir / kRegistryFileName, error,
                     [&image](std::string_view bytes, std::size_t &line, std::string &message) {
                         RegFileError failure;
                         if (ParseRegFile(bytes, image.registry, failure)) return true;
                         line = failure.line, message = failure.message;
                         return false;
                     }) &&
        ReadAndParse(settingsFile, error,
                     [&image](std::string_view bytes, std::size_t &line, std::string &message) {
                         TextError failure;
                         if (ParseMachineSettings(bytes, image.settings, failure)) return true;
                         line = failure.line, message = failure.message;
                         return false;
                     });
    if (!filesRead) return false;

    if (!ReadDriveFolders(dir, image.drives, error)) return false;
    for (const DriveFile &file : image.drives.files)
        if (EqualsFoldAZ(file.path, image.settings.program)) return true;
    error = ImageErrorText(settingsFile, 0,
                           "the program " + ToUtf8(image.settings.program) +
                               " is not among the image's files (put it under drive_" +
                               static_cast<char>(FoldAZ(image.settings.program[0])) + "/)");
    return false;
}

// The rows go first and the registry file over them: a value a run changed
// in a device's keys is in the registry file and wins.
void SeedMachine(const ImageContents &image, sim::SimulatedPlatform &machine) {
    for (const std::u16string &folder : image.drives.directories)
        machine.Setup().AddDirectorySpelledAs(folder);
    for (const DriveFile &file : image.drives.files)
        machine.Setup().AddFile(file.path, file.contents, file.attributes);
    SeedDevicesAndServices(image.settings, machine);
    for (const RegFileKey &key : image.registry) {
        // A bare hive root exists on every machine; only its values are set.
        if (key.path.find(u'\\') != std::u16string::npos) machine.Setup().CreateRegKey(key.path);
        for (const RegFileValue &value : key.values)
            machine.Setup().SetRegValue(key.path, value.name, value.value.type, value.value.data);
    }
    ApplyMachineSettings(image.settings, machine);
}

// The image's own entries: the two files and the drive folders.
bool IsImageEntry(const fs::directory_entry &entry) {
    std::error_code failure;
    const std::string name = HostPathText(entry.path().filename());
    if (entry.is_symlink(failure)) return false;
    if (name == kRegistryFileName || name == kSettingsFileName)
        return entry.is_regular_file(failure);
    return IsDriveFolderName(name) && entry.is_directory(failure);
}

// `dir` may be created, or replaced when it is empty or an image.
bool CheckSaveTarget(const fs::path &dir, std::string &error) {
    std::error_code failure;
    const fs::file_status status = fs::symlink_status(dir, failure);
    if (status.type() == fs::file_type::not_found) return true;
    if (status.type() != fs::file_type::directory) {
        error = ImageErrorText(dir, 0, "exists and is not a folder; nothing was saved");
        return false;
    }
    bool empty = true, onlyImageEntries = true, hasRegistry = false, hasSettings = false;
    for (const fs::directory_entry &entry : fs::directory_iterator(dir, failure)) {
        empty = false;
        if (!IsImageEntry(entry)) {
            onlyImageEntries = false;
            break;
        }
        const std::string name = HostPathText(entry.path().filename());
        hasRegistry = hasRegistry || name == kRegistryFileName;
        hasSettings = hasSettings || name == kSettingsFileName;
    }
    if (failure) {
        error = ImageErrorText(dir, 0, "cannot be read: " + failure.message());
        return false;
    }
    if (empty || (onlyImageEntries && hasRegistry && hasSettings)) return true;
    error = ImageErrorText(dir, 0,
                           "is not empty and is not a machine image; nothing was saved (choose a "
                           "new or empty folder)");
    return false;
}

fs::path UnusedSibling(const fs::path &dir, std::string_view purpose) {
    std::random_device random;
    for (;;) {
        const fs::path candidate =
            dir.parent_path() /
            HostPathFromUtf8("." + HostPathText(dir.filename()) + "." + std::string(purpose) + "-" +
                             std::to_string(random()));
        std::error_code failure;
        if (!fs::exists(fs::symlink_status(candidate, failure))) return candidate;
    }
}

bool WriteImage(sim::SimulatedPlatform &machine, const MachineSettings &settings,
                const fs::path &folder, std::string &error) {
    MachineSnapshot snapshot;
    if (!TakeSnapshot(machine, snapshot, error)) return false;
    MachineSettings saved = settings;
    ReadBackRows(snapshot, settings, saved.devices, saved.services);

    // What loading the rows alone makes, to be left out of the registry file.
    sim::SimulatedPlatform rowsOnly;
    MachineSnapshot seeded;
    std::vector<RegFileKey> registry;
    std::string registryBytes;
    SeedDevicesAndServices(saved, rowsOnly);
    if (!TakeSnapshot(rowsOnly, seeded, error) ||
        !RegistryBesideRows(snapshot, seeded, registry, error) ||
        !FormatRegFile(registry, registryBytes, error))
        return false;
    if (!WriteWholeFile(folder / kRegistryFileName, registryBytes) ||
        !WriteWholeFile(folder / kSettingsFileName, FormatMachineSettings(saved))) {
        error = ImageErrorText(folder, 0, "the image files could not be written");
        return false;
    }
    return WriteDriveFolders(snapshot, folder, error);
}

// Puts the finished `staging` folder where `dir` is, keeping the old `dir`
// until the new one is in place.
bool MoveIntoPlace(const fs::path &staging, const fs::path &dir, std::string &error) {
    std::error_code failure;
    fs::path replaced;
    if (fs::exists(fs::symlink_status(dir, failure))) {
        replaced = UnusedSibling(dir, "replaced");
        fs::rename(dir, replaced, failure);
        if (failure) {
            error = ImageErrorText(dir, 0, "could not be replaced: " + failure.message());
            return false;
        }
    }
    fs::rename(staging, dir, failure);
    if (failure) {
        error = ImageErrorText(dir, 0, "could not be written: " + failure.message());
        std::error_code ignored;
        if (!replaced.empty()) fs::rename(replaced, dir, ignored);
        return false;
    }
    if (!replaced.empty()) fs::remove_all(replaced, failure);
    return true;
}

}  // namespace

bool LoadMachineImage(const fs::path &dir, sim::SimulatedPlatform &machine, std::string &error) {
    MachineSettings settings;
    return LoadMachineImage(dir, machine, settings, error);
}

bool LoadMachineImage(const fs::path &dir, sim::SimulatedPlatform &machine,
                      MachineSettings &settings, std::string &error) {
    ImageContents image;
    if (!ReadImage(dir, image, error)) return false;
    SeedMachine(image, machine);
    settings = image.settings;
    return true;
}

bool SaveMachineImage(sim::SimulatedPlatform &machine, const MachineSettings &settings,
                      const fs::path &dir, std::string &error) {
    fs::path target = fs::absolute(dir).lexically_normal();
    if (!target.has_filename()) target = target.parent_path();
    if (!CheckSaveTarget(target, error)) return false;

    std::error_code failure;
    fs::create_directories(target.parent_path(), failure);
    const fs::path staging = UnusedSibling(target, "saving");
    if (failure || !fs::create_directory(staging, failure)) {
        error = ImageErrorText(target.parent_path(), 0, "no folder can be made here");
        return false;
    }
    if (WriteImage(machine, settings, staging, error) && MoveIntoPlace(staging, target, error))
        return true;
    fs::remove_all(staging, failure);
    return false;
}

void ApplyMachineSettings(const MachineSettings &settings, sim::SimulatedPlatform &machine) {
    const auto addFolder = [&machine](std::u16string path) {
        if (path.ends_with(u'\\')) path.pop_back();
        if (path.size() > 2) machine.Setup().AddDirectory(path);
    };
    machine.Setup().SetVersion(settings.platformId, settings.majorVersion, settings.minorVersion,
                               settings.buildNumber, settings.servicePack);
    // Empty folders do not survive every way an image is copied (version
    // control keeps none), so the folders the settings name are made here.
    addFolder(settings.windowsDir);
    addFolder(settings.windowsDir + u"\\system32");
    addFolder(settings.tempDir);
    addFolder(settings.currentDir);
    machine.Setup().SetWindowsDirectory(settings.windowsDir);
    machine.Setup().SetTempPath(settings.tempDir);
    machine.Setup().SetCurrentDirectory(settings.currentDir);
    machine.Setup().SetProgram(settings.program, settings.processId);
    machine.Setup().SetMessageBoxAnswer(settings.messageBoxAnswer);
    for (const ToolExitCode &tool : settings.toolExitCodes)
        machine.Setup().SetToolExitCode(tool.imagePath, tool.exitCode);
    for (const CallFault &fault : settings.faults)
        machine.Setup().Fail(fault.operation, fault.error);
}

}  // namespace cvl::image

#include "capture/machine_capture.h"

#include <map>

#include "capture/capture_roots.h"
#include "common/little_endian.h"
#include "common/multi_string.h"
#include "common/text.h"
#include "machine_image/machine_image_device_rows.h"
#include "system/os_detect.h"

namespace cvl::capture {
namespace {

constexpr ULONG kProblemDisabled = 22;  // CM_PROB_DISABLED
constexpr std::size_t kPathCapacity = 1024;

// A path call's text: the calls return the length written, or 0.
template <typename Call>
std::optional<std::u16string> PathOf(Call call) {
    char16_t buffer[kPathCapacity] = {};
    const auto length = call(buffer, static_cast<DWORD>(kPathCapacity));
    if (length == 0 || length >= kPathCapacity) return std::nullopt;
    return std::u16string(buffer, length);
}

std::u16string FolderOf(std::u16string_view path) {
    const std::size_t slash = path.rfind(u'\\');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(0, slash));
}

bool ReadVersion(Platform &platform, image::MachineSettings &settings) {
    OsVersionInfoEx version{};
    if (!ReadVersionReport(platform, version)) return false;
    settings.platformId = version.dwPlatformId;
    settings.majorVersion = version.dwMajorVersion;
    settings.minorVersion = version.dwMinorVersion;
    // Windows 9x keeps the major and minor version in the build's high word.
    settings.buildNumber = version.dwPlatformId == VER_PLATFORM_WIN32_NT
                               ? version.dwBuildNumber
                               : version.dwBuildNumber & 0xFFFF;
    settings.servicePack =
        std::u16string(TextOf(version.szCSDVersion, std::size(version.szCSDVersion)));
    return true;
}

// What the device tree says of each device it has: the devices of every
// class listed as present, by instance id folded A to Z. A device under Enum
// that is not listed has keys but no hardware (unplugged). The node comes
// from the list, as cvlsetup takes it, not from a lookup by id.
struct NodeState {
    ULONG status = 0;
    ULONG problem = 0;
};

std::map<std::u16string, NodeState> PresentDevices(Platform &platform, CapturedMachine &machine) {
    std::map<std::u16string, NodeState> present;
    const HDEVINFO list =
        platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (list == InvalidHandleValue()) {
        machine.problems.push_back({"the device list", "cannot be read (error " +
                                                           std::to_string(platform.GetLastError()) +
                                                           "); every device is kept as unplugged"});
        return present;
    }
    DevInfoData device{};
    for (DWORD index = 0; platform.SetupDiEnumDeviceInfo(list, index, &device); ++index) {
        char16_t id[kPathCapacity] = {};
        if (!platform.SetupDiGetDeviceInstanceIdW(list, &device, id, kPathCapacity, nullptr))
            continue;
        NodeState node;
        if (platform.CM_Get_DevNode_Status(&node.status, &node.problem, device.DevInst, 0) !=
            CR_SUCCESS)
            node = NodeState{};
        present[LoweredAZ(TextOf(id, kPathCapacity))] = node;
    }
    platform.SetupDiDestroyDeviceInfoList(list);
    return present;
}

bool AllDeviceIds(const std::vector<std::u16string> &ids) {
    for (const std::u16string &id : ids)
        if (!image::IsDeviceId(id)) return false;
    return true;
}

// The ids of a REG_MULTI_SZ value, as the replay reads them back: a last id
// without its ending zero is not one.
std::vector<std::u16string> IdList(const std::optional<sim::RegValue> &value) {
    if (!value || value->type != REG_MULTI_SZ) return {};
    std::vector<std::u16string> ids = MultiStringTexts(value->data);
    std::size_t unitsTaken = 0;
    for (const std::u16string &id : ids) unitsTaken += id.size() + 1;
    if (unitsTaken > value->data.size() / sizeof(char16_t)) ids.pop_back();
    return ids;
}

void SetCondition(const NodeState &node, image::DeviceRow &row) {
    if (node.status & DN_STARTED) {
        row.condition = image::DeviceCondition::Started;
    } else if (node.problem == kProblemDisabled) {
        row.condition = image::DeviceCondition::Disabled;
    } else {
        row.condition = image::DeviceCondition::Stopped;
    }
    row.disableable = (node.status & DN_DISABLEABLE) != 0;
    row.hidden = (node.status & DN_NO_SHOW_IN_DM) != 0;
}

// A device row for every instance under Enum whose class the row can carry;
// the rest of each key is in the registry file. Returns the services of the
// network adapters.
std::vector<std::u16string> CaptureDevices(Platform &platform, CapturedMachine &machine) {
    // The class values are read before the device list is asked for: Wine's
    // SetupAPI writes the ClassGUID (in upper case) and the Class of every
    // device it lists into the device's key, where Windows writes nothing,
    // and a device without a driver yet must keep its missing values.
    struct Instance {
        std::u16string key;
        image::DeviceRow row;
    };
    std::vector<Instance> instances;
    const std::u16string enumRoot(kEnumRoot);
    for (const std::u16string &enumerator : SubkeyNames(platform, enumRoot)) {
        const std::u16string enumeratorKey = enumRoot + u"\\" + enumerator;
        for (const std::u16string &device : SubkeyNames(platform, enumeratorKey)) {
            const std::u16string deviceKey = enumeratorKey + u"\\" + device;
            for (const std::u16string &instance : SubkeyNames(platform, deviceKey)) {
                Instance found{deviceKey + u"\\" + instance, {}};
                found.row.instanceId = enumerator + u"\\" + device + u"\\" + instance;
                // A device without a driver yet may have no Class value,
                // and no ClassGUID either: the row says so.
                found.row.classGuid = ReadText(platform, found.key, u"ClassGUID");
                found.row.className = ReadText(platform, found.key, u"Class");
                instances.push_back(std::move(found));
            }
        }
    }

    std::vector<std::u16string> services;
    const std::map<std::u16string, NodeState> present = PresentDevices(platform, machine);
    for (Instance &found : instances) {
        const std::u16string &instanceKey = found.key;
        image::DeviceRow &row = found.row;
        const auto node = present.find(LoweredAZ(row.instanceId));
        if (node != present.end()) SetCondition(node->second, row);
        const bool isNet = row.classGuid && EqualsFoldAZ(*row.classGuid, sim::kNetClassGuidText);
        if (isNet) {
            if (auto service = ReadText(platform, instanceKey, u"Service"))
                services.push_back(*service);
        }
        // A device without a node needs no row: its keys are in the
        // registry file, and that is what an unplugged device is.
        if (node == present.end()) continue;
        if (!image::IsDeviceId(row.instanceId)) {
            machine.problems.push_back({"device " + ToUtf8(row.instanceId),
                                        "its id cannot be written as a device row; its keys are "
                                        "kept but the replay sees it as unplugged"});
            continue;
        }
        // A class value a row cannot spell is left to the registry file,
        // which holds the instance key as it is and is laid over the row
        // when the image is loaded.
        if (!image::CanCarryClass(row.className, std::nullopt)) row.className.reset();
        if (!image::CanCarryClass(std::nullopt, row.classGuid)) row.classGuid.reset();
        row.hardwareIds = IdList(ReadValue(platform, instanceKey, u"HardwareID"));
        row.compatibleIds = IdList(ReadValue(platform, instanceKey, u"CompatibleIDs"));
        if (!AllDeviceIds(row.hardwareIds) || !AllDeviceIds(row.compatibleIds)) {
            machine.problems.push_back(
                {"device " + ToUtf8(row.instanceId),
                 "a hardware or compatible id holds a blank, a comma or a control "
                 "character and cannot be written as a device row; its keys are kept "
                 "but the replay sees it as unplugged"});
            continue;
        }
        const std::u16string driver = ReadText(platform, instanceKey, u"Driver").value_or(u"");
        const std::size_t slash = driver.rfind(u'\\');
        if (slash != std::u16string::npos && row.classGuid &&
            EqualsFoldAZ(driver.substr(0, slash), *row.classGuid) &&
            image::IsDriverKeyName(driver.substr(slash + 1)))
            row.driverKey = driver.substr(slash + 1);
        machine.settings.devices.push_back(std::move(row));
    }
    return services;
}

std::optional<DWORD> ReadNumber(Platform &platform, std::u16string_view key,
                                std::u16string_view name) {
    const auto value = ReadValue(platform, key, name);
    if (!value || value->type != REG_DWORD || value->data.size() != 4) return std::nullopt;
    return LittleEndianNumber(value->data);
}

void CaptureServices(Platform &platform, std::vector<std::u16string> services,
                     CapturedMachine &machine) {
    std::vector<std::u16string> seen;
    for (const std::u16string &name : services) {
        bool already = false;
        for (const std::u16string &other : seen) already = already || EqualsFoldAZ(name, other);
        if (already || name.empty()) continue;
        seen.push_back(name);
        const std::u16string key = std::u16string(kServicesRoot) + u"\\" + name;
        CaptureRegistryTree(platform, key, machine.keys, machine.problems);
        image::ServiceRow row;
        row.name = name;
        const auto image = ReadText(platform, key, u"ImagePath");
        if (!image) continue;
        if (!image::IsServiceName(name) || !image::CanCarryServiceImage(*image)) {
            machine.problems.push_back(
                {"service " + ToUtf8(name),
                 "its name or image path cannot be written as a service row; its key is kept "
                 "but the replay has no such service"});
            continue;
        }
        row.imagePath = *image;
        row.type = ReadNumber(platform, key, u"Type").value_or(row.type);
        row.start = ReadNumber(platform, key, u"Start").value_or(row.start);
        machine.settings.services.push_back(std::move(row));
    }
}

class FindHandle {
public:
    FindHandle(Platform &platform, const std::u16string &pattern, FindData &data)
        : platform_(platform), handle_(platform.FindFirstFileW(pattern.c_str(), &data)) {}
    ~FindHandle() {
        if (ok()) platform_.FindClose(handle_);
    }
    FindHandle(const FindHandle &) = delete;
    FindHandle &operator=(const FindHandle &) = delete;
    bool ok() const { return handle_ != InvalidHandleValue(); }
    HANDLE get() const { return handle_; }

private:
    Platform &platform_;
    HANDLE handle_;
};

void CaptureFile(FileReader &reader, const std::u16string &readFrom,
                 const std::u16string &recordedAs, DWORD attributes, CapturedMachine &machine) {
    std::optional<std::string> contents = reader.ReadWholeFile(readFrom);
    if (!contents) {
        machine.problems.push_back({"file " + ToUtf8(readFrom), "cannot be read"});
        return;
    }
    machine.files.push_back(
        {recordedAs, std::move(*contents), (attributes & FILE_ATTRIBUTE_READONLY) != 0});
}

// Where a folder's files are read and the path they have in the image: the
// same folder but for the system folder of a 32-bit capture on 64-bit
// Windows.
struct FolderView {
    std::u16string readFrom;
    std::u16string recordedAs;
};

// The files matching `pattern` in `folder`, and with `recurse` every file
// below it.
void CaptureFiles(Platform &platform, FileReader &reader, const FolderView &folder,
                  std::u16string_view pattern, bool recurse, CapturedMachine &machine) {
    FindData data{};
    FindHandle find(platform, folder.readFrom + u"\\" + std::u16string(pattern), data);
    if (!find.ok()) return;
    do {
        const std::u16string name(TextOf(data.cFileName, std::size(data.cFileName)));
        if (name == u"." || name == u"..") continue;
        const FolderView entry{folder.readFrom + u"\\" + name, folder.recordedAs + u"\\" + name};
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (recurse) CaptureFiles(platform, reader, entry, u"*", true, machine);
        } else {
            CaptureFile(reader, entry.readFrom, entry.recordedAs, data.dwFileAttributes, machine);
        }
    } while (platform.FindNextFileW(find.get(), &data));
}

// A 32-bit program on 64-bit Windows that opens the system folder reaches
// SysWOW64, the 32-bit programs' copy, through the file-system redirector.
// The machine's own system folder, the one the 64-bit cvlsetup works in, is
// then reached through the Windows folder's "Sysnative" alias, which exists
// for such a program only (Windows Vista and later).
FolderView SystemFolderView(Platform &platform, const std::u16string &windowsDir,
                            const std::u16string &systemDir) {
    const std::u16string alias = windowsDir + u"\\Sysnative";
    FindData data{};
    const FindHandle probe(platform, alias + u"\\*", data);
    return {probe.ok() ? alias : systemDir, systemDir};
}

}  // namespace

bool CaptureMachine(Platform &platform, FileReader &files, const CaptureOptions &options,
                    CapturedMachine &machine, std::string &error) {
    machine = CapturedMachine{};
    image::MachineSettings &settings = machine.settings;
    if (!ReadVersion(platform, settings)) {
        error = "the version report cannot be read (error " +
                std::to_string(platform.GetLastError()) + ")";
        return false;
    }
    const auto windowsDir = PathOf(
        [&](char16_t *buffer, DWORD size) { return platform.GetWindowsDirectoryW(buffer, size); });
    const auto systemDir = PathOf(
        [&](char16_t *buffer, DWORD size) { return platform.GetSystemDirectoryW(buffer, size); });
    const auto tempDir =
        PathOf([&](char16_t *buffer, DWORD size) { return platform.GetTempPathW(size, buffer); });
    const auto currentDir = PathOf(
        [&](char16_t *buffer, DWORD size) { return platform.GetCurrentDirectoryW(size, buffer); });
    const auto ownPath = PathOf(
        [&](char16_t *buffer, DWORD size) { return platform.GetModuleFileNameW(buffer, size); });
    if (!windowsDir || !systemDir || !tempDir || !currentDir || !ownPath) {
        error =
            "the Windows, system, temporary or current folder or the program's own path "
            "cannot be read";
        return false;
    }
    settings.windowsDir = *windowsDir;
    settings.tempDir = *tempDir;
    settings.currentDir = *currentDir;
    const std::u16string programFolder = FolderOf(*ownPath);
    settings.program = programFolder + u"\\" + kCapturedProgramName;

    for (const std::u16string_view root : kCapturedRoots)
        CaptureRegistryTree(platform, root, machine.keys, machine.problems);
    std::vector<std::u16string> services = CaptureDevices(platform, machine);
    for (const std::u16string &name : SubkeyNames(platform, kServicesRoot))
        if (PrefixEqualsFoldAZ(name, kMakerServicePrefix, kMakerServicePrefix.size()))
            services.push_back(name);
    CaptureServices(platform, std::move(services), machine);

    const FolderView systemFolder = SystemFolderView(platform, *windowsDir, *systemDir);
    for (const FilePattern &pattern : kCapturedFiles) {
        const FolderView base = pattern.base == FileBase::kWindows
                                    ? FolderView{*windowsDir, *windowsDir}
                                    : systemFolder;
        const std::u16string_view relative = pattern.pattern;
        const std::size_t slash = relative.rfind(u'\\');
        const std::u16string below = slash == std::u16string_view::npos
                                         ? u""
                                         : u"\\" + std::u16string(relative.substr(0, slash));
        const std::u16string_view name =
            slash == std::u16string_view::npos ? relative : relative.substr(slash + 1);
        CaptureFiles(platform, files, {base.readFrom + below, base.recordedAs + below}, name, false,
                     machine);
    }
    const FolderView program{programFolder, programFolder};
    if (options.withProgramFolder) {
        CaptureFiles(platform, files, program, u"*", true, machine);
    } else {
        CaptureFiles(platform, files, program, kCapturedProgramName, false, machine);
    }
    // An image names the program it runs, and its file must be there; the
    // replay runs cvlsetup itself, so any content does when none was beside
    // the capture program.
    bool programCaptured = false;
    for (const CapturedFile &file : machine.files)
        programCaptured = programCaptured || EqualsFoldAZ(file.path, settings.program);
    if (!programCaptured)
        machine.files.push_back(
            {settings.program, "cvlsetup.exe was not beside the capture program\r\n", false});
    return true;
}

}  // namespace cvl::capture

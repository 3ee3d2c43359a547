#include "machine_image/machine_image_settings.h"

#include <map>
#include <optional>
#include <set>

#include "common/text.h"

namespace cvl::image {
namespace {

std::u16string NumberText(DWORD value) {
    return DecimalText(value);
}

// Last errors read best in hexadecimal: 0xE000020B.
std::u16string HexNumberText(DWORD value) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string text;
    do {
        text.insert(text.begin(), kDigits[value % 16]);
        value /= 16;
    } while (value != 0);
    return u"0x" + text;
}

bool IsDriveRoot(std::u16string_view path) {
    return path.size() == 3 && path[2] == u'\\';
}

// The kinds of path a setting holds, each with the rule it must follow.
enum class PathKind { Folder, FolderWithBackslash, File };

bool CheckPath(PathKind kind, std::u16string_view value, std::string &problem) {
    const bool absolute = IsAbsoluteWindowsPath(value);
    const bool backslash = value.ends_with(u'\\');
    switch (kind) {
        case PathKind::Folder:
            problem =
                "expected a full Windows path without a trailing backslash, such as "
                "C:\\Windows";
            return absolute && (!backslash || IsDriveRoot(value));
        case PathKind::FolderWithBackslash:
            problem =
                "expected a full Windows path ending with a backslash, such as "
                "C:\\Windows\\Temp\\";
            return absolute && backslash;
        case PathKind::File:
            problem = "expected the full Windows path of a file, such as C:\\setup\\cvlsetup.exe";
            return absolute && !backslash;
    }
    return false;
}

// The names the rows read so far have taken, folded A to Z, so that a
// repeated one is found without going through every earlier row.
struct NamesSeen {
    std::map<std::u16string, std::size_t> devices;     // instance id -> row
    std::map<std::u16string, std::size_t> driverKeys;  // class guid\\key -> row
    std::set<std::u16string> services;
};

bool ReadVersion(std::u16string_view value, MachineSettings &settings, NamesSeen &,
                 std::string &problem) {
    problem = "expected NT or 9x, then major.minor.build, as in \"NT 6.1.7601\"";
    const std::size_t blank = value.find_first_of(u" \t");
    if (blank == std::u16string_view::npos) return false;
    const std::u16string_view family = value.substr(0, blank);
    if (family == u"NT") {
        settings.platformId = VER_PLATFORM_WIN32_NT;
    } else if (family == u"9x") {
        settings.platformId = VER_PLATFORM_WIN32_WINDOWS;
    } else {
        return false;
    }
    const std::u16string_view rest = TrimBlanks(value.substr(blank));
    const std::size_t end = rest.find_first_of(u" \t");
    settings.servicePack =
        end == std::u16string_view::npos ? u"" : std::u16string(TrimBlanks(rest.substr(end)));

    DWORD *const parts[] = {&settings.majorVersion, &settings.minorVersion, &settings.buildNumber};
    settings.buildNumber = 0;
    std::u16string_view numbers = rest.substr(0, end);
    for (std::size_t count = 0; count < 3; ++count) {
        const std::size_t dot = numbers.find(u'.');
        const auto number = ParseImageNumber(numbers.substr(0, dot), false);
        if (!number) return false;
        *parts[count] = *number;
        if (dot == std::u16string_view::npos) return count >= 1;
        numbers.remove_prefix(dot + 1);
    }
    return false;
}

void WriteVersion(const MachineSettings &settings, std::vector<std::u16string> &values) {
    std::u16string text = settings.platformId == VER_PLATFORM_WIN32_WINDOWS ? u"9x " : u"NT ";
    text += NumberText(settings.majorVersion) + u"." + NumberText(settings.minorVersion) + u"." +
            NumberText(settings.buildNumber);
    if (!settings.servicePack.empty()) text += u" " + settings.servicePack;
    values.push_back(text);
}

bool ReadProcessId(std::u16string_view value, MachineSettings &settings, NamesSeen &,
                   std::string &problem) {
    const auto number = ParseImageNumber(value);
    if (!number || *number == 0) {
        problem = "expected a process id above 0";
        return false;
    }
    settings.processId = *number;
    return true;
}

bool ReadMessageBoxAnswer(std::u16string_view value, MachineSettings &settings, NamesSeen &,
                          std::string &problem) {
    if (value == u"ok") {
        settings.messageBoxAnswer = IDOK;
    } else if (value == u"cancel") {
        settings.messageBoxAnswer = IDCANCEL;
    } else {
        problem = "expected ok or cancel";
        return false;
    }
    return true;
}

bool ReadToolExitCode(std::u16string_view value, MachineSettings &settings, NamesSeen &,
                      std::string &problem) {
    const std::size_t blank = value.find_last_of(u" \t");
    const auto code = blank == std::u16string_view::npos
                          ? std::nullopt
                          : ParseImageNumber(value.substr(blank + 1));
    const std::u16string_view path =
        blank == std::u16string_view::npos ? value : TrimBlanks(value.substr(0, blank));
    if (!code || !CheckPath(PathKind::File, path, problem)) {
        problem =
            "expected a program's full path and its exit code, such as "
            "C:\\Windows\\system32\\pnputil.exe 0";
        return false;
    }
    for (const ToolExitCode &tool : settings.toolExitCodes) {
        if (EqualsFoldAZ(tool.imagePath, path)) {
            problem = "the exit code of this program is already given";
            return false;
        }
    }
    settings.toolExitCodes.push_back({std::u16string(path), *code});
    return true;
}

void WriteToolExitCodes(const MachineSettings &settings, std::vector<std::u16string> &values) {
    for (const ToolExitCode &tool : settings.toolExitCodes)
        values.push_back(tool.imagePath + u" " + NumberText(tool.exitCode));
}

bool ReadDevice(std::u16string_view value, MachineSettings &settings, NamesSeen &seen,
                std::string &problem) {
    DeviceRow row;
    if (!ParseDeviceRow(value, row, problem)) return false;
    // The earliest row this one clashes with is named, its instance id before
    // its driver key.
    const std::u16string instance = LoweredAZ(row.instanceId);
    const std::u16string driverKey =
        row.driverKey ? LoweredAZ(row.classGuid.value_or(u"")) + u"\\" + *row.driverKey : u"";
    const auto sameInstance = seen.devices.find(instance);
    const auto sameKey = row.driverKey ? seen.driverKeys.find(driverKey) : seen.driverKeys.end();
    if (sameInstance != seen.devices.end() &&
        (sameKey == seen.driverKeys.end() || sameInstance->second <= sameKey->second)) {
        problem = "the device " + ToUtf8(row.instanceId) + " is already given";
        return false;
    }
    if (sameKey != seen.driverKeys.end()) {
        problem = "the driver key " + ToUtf8(row.classGuid.value_or(u"") + u"\\" + *row.driverKey) +
                  " already belongs to " + ToUtf8(settings.devices[sameKey->second].instanceId);
        return false;
    }
    seen.devices.emplace(instance, settings.devices.size());
    if (row.driverKey) seen.driverKeys.emplace(driverKey, settings.devices.size());
    settings.devices.push_back(std::move(row));
    return true;
}

bool ReadService(std::u16string_view value, MachineSettings &settings, NamesSeen &seen,
                 std::string &problem) {
    ServiceRow row;
    if (!ParseServiceRow(value, row, problem)) return false;
    if (!seen.services.insert(LoweredAZ(row.name)).second) {
        problem = "the service " + ToUtf8(row.name) + " is already given";
        return false;
    }
    settings.services.push_back(std::move(row));
    return true;
}

bool ReadFault(std::u16string_view value, MachineSettings &settings, NamesSeen &,
               std::string &problem) {
    const std::size_t blank = value.find_first_of(u" \t");
    const auto operation = PlatformOperationNamed(ToUtf8(value.substr(0, blank)));
    const auto error = blank == std::u16string_view::npos
                           ? std::nullopt
                           : ParseImageNumber(TrimBlanks(value.substr(blank)));
    if (!operation || !error) {
        problem =
            "expected a platform call's Win32 name and the last error it fails with, such as "
            "UpdateDriverForPlugAndPlayDevicesW 0xE000020B";
        return false;
    }
    for (const CallFault &fault : settings.faults) {
        if (fault.operation == *operation) {
            problem = "this call already fails";
            return false;
        }
    }
    settings.faults.push_back({*operation, *error});
    return true;
}

void WriteFaults(const MachineSettings &settings, std::vector<std::u16string> &values) {
    for (const CallFault &fault : settings.faults)
        values.push_back(Widen(std::string(PlatformOperationName(fault.operation))) + u" " +
                         HexNumberText(fault.error));
}

using SettingReader = bool (*)(std::u16string_view value, MachineSettings &settings,
                               NamesSeen &seen, std::string &problem);
using SettingWriter = void (*)(const MachineSettings &settings,
                               std::vector<std::u16string> &values);

// A row holds either a path member with its rule, or a reader and a writer.
struct SettingRow {
    std::string_view key;
    bool required;
    bool repeatable;
    std::u16string MachineSettings::*path;
    PathKind pathKind;
    SettingReader read;
    SettingWriter write;
};

const SettingRow kRows[] = {
    {"version", true, false, nullptr, PathKind::File, ReadVersion, WriteVersion},
    {"windows_dir", true, false, &MachineSettings::windowsDir, PathKind::Folder, nullptr, nullptr},
    {"temp_dir", true, false, &MachineSettings::tempDir, PathKind::FolderWithBackslash, nullptr,
     nullptr},
    {"current_dir", true, false, &MachineSettings::currentDir, PathKind::Folder, nullptr, nullptr},
    {"program", true, false, &MachineSettings::program, PathKind::File, nullptr, nullptr},
    {"process_id", false, false, nullptr, PathKind::File, ReadProcessId,
     [](const MachineSettings &s, std::vector<std::u16string> &out) {
         out.push_back(NumberText(s.processId));
     }},
    {"message_box_answer", false, false, nullptr, PathKind::File, ReadMessageBoxAnswer,
     [](const MachineSettings &s, std::vector<std::u16string> &out) {
         out.push_back(s.messageBoxAnswer == IDCANCEL ? u"cancel" : u"ok");
     }},
    {"tool_exit_code", false, true, nullptr, PathKind::File, ReadToolExitCode, WriteToolExitCodes},
    {"device", false, true, nullptr, PathKind::File, ReadDevice,
     [](const MachineSettings &s, std::vector<std::u16string> &out) {
         for (const DeviceRow &row : s.devices) out.push_back(FormatDeviceRow(row));
     }},
    {"service", false, true, nullptr, PathKind::File, ReadService,
     [](const MachineSettings &s, std::vector<std::u16string> &out) {
         for (const ServiceRow &row : s.services) out.push_back(FormatServiceRow(row));
     }},
    {"fault", false, true, nullptr, PathKind::File, ReadFault, WriteFaults},
};

bool ReadSetting(const SettingRow &row, std::u16string_view value, MachineSettings &settings,
                 NamesSeen &seen, std::string &problem) {
    if (!row.path) return row.read(value, settings, seen, problem);
    if (!CheckPath(row.pathKind, value, problem)) return false;
    settings.*row.path = value;
    return true;
}

void WriteSetting(const SettingRow &row, const MachineSettings &settings,
                  std::vector<std::u16string> &values) {
    if (row.path) {
        values.push_back(settings.*row.path);
    } else {
        row.write(settings, values);
    }
}

const SettingRow *RowFor(std::u16string_view key) {
    for (const SettingRow &row : kRows)
        if (Widen(row.key) == key) return &row;
    return nullptr;
}

bool IsForbiddenInName(char16_t c) {
    return c < 0x20 || std::u16string_view(u"<>:\"/|?*").find(c) != std::u16string_view::npos;
}

}  // namespace

bool IsAbsoluteWindowsPath(std::u16string_view path) {
    if (path.size() < 3 || FoldAZ(path[0]) < u'a' || FoldAZ(path[0]) > u'z' || path[1] != u':' ||
        path[2] != u'\\')
        return false;
    std::u16string_view rest = path.substr(3);
    while (!rest.empty()) {
        const std::size_t slash = rest.find(u'\\');
        const std::u16string_view name = rest.substr(0, slash);
        if (name.empty() || name == u"." || name == u"..") return false;
        for (const char16_t c : name)
            if (IsForbiddenInName(c)) return false;
        if (slash == std::u16string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    return true;
}

bool ParseMachineSettings(std::string_view bytes, MachineSettings &settings, TextError &error) {
    std::vector<std::u16string> lines;
    if (!DecodeImageText(bytes, lines, error)) return false;
    settings = MachineSettings{};
    std::map<const SettingRow *, std::size_t> seenOnLine;
    NamesSeen seen;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::size_t line = index + 1;
        const std::u16string_view text = TrimBlanks(lines[index]);
        if (text.empty() || text.starts_with(u'#')) continue;
        const std::size_t equals = text.find(u'=');
        if (equals == std::u16string_view::npos) {
            error = {line, "expected key = value"};
            return false;
        }
        const std::u16string_view key = TrimBlanks(text.substr(0, equals));
        const SettingRow *row = RowFor(key);
        if (!row) {
            error = {line, "unknown key \"" + ToUtf8(key) + "\""};
            return false;
        }
        const auto [first, added] = seenOnLine.try_emplace(row, line);
        if (!added && !row->repeatable) {
            error = {line, "\"" + std::string(row->key) + "\" is already given on line " +
                               std::to_string(first->second)};
            return false;
        }
        std::string problem;
        if (!ReadSetting(*row, TrimBlanks(text.substr(equals + 1)), settings, seen, problem)) {
            error = {line, "bad " + std::string(row->key) + ": " + problem};
            return false;
        }
    }
    for (const SettingRow &row : kRows) {
        if (row.required && !seenOnLine.contains(&row)) {
            error = {0, "the key \"" + std::string(row.key) + "\" is missing"};
            return false;
        }
    }
    return true;
}

std::string FormatMachineSettings(const MachineSettings &settings) {
    std::string text = "# System settings and runtime state of a simulated Windows machine.\n";
    for (const SettingRow &row : kRows) {
        std::vector<std::u16string> values;
        WriteSetting(row, settings, values);
        for (const std::u16string &value : values)
            text += std::string(row.key) + " = " + ToUtf8(value) + "\n";
    }
    return text;
}

}  // namespace cvl::image

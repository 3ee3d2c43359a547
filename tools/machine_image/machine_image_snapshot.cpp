#include "machine_image/machine_image_snapshot.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "common/little_endian.h"
#include "common/text.h"
#include "platform/sim/setup/device_key_paths.h"

namespace cvl::image {
namespace {

// The registry's own limits, in characters with the terminator.
constexpr DWORD kKeyNameBuffer = 256;
constexpr DWORD kValueNameBuffer = 16384;

// One pair of name buffers serves the whole walk: a name is copied out of
// its buffer before the walk goes deeper, and a machine has tens of
// thousands of keys, each of which would otherwise fill 32 KiB afresh.
class RegistryReader {
public:
    RegistryReader(Platform &platform, MachineSnapshot &snapshot, std::string &error)
        : platform_(platform),
          snapshot_(snapshot),
          error_(error),
          keyName_(kKeyNameBuffer),
          valueName_(kValueNameBuffer) {}

    bool ReadTree(HKEY key, const std::u16string &path) {
        SnapshotKey entry{path, {}};
        if (!ReadValues(key, entry)) return false;
        // The walk meets keys in the registry's order, which the folded paths
        // keep but for the few characters between 'Z' and 'a': the end is
        // almost always where the key goes, and the hint saves the search.
        snapshot_.keys.insert_or_assign(snapshot_.keys.end(), LoweredAZ(path), std::move(entry));
        for (DWORD index = 0;; ++index) {
            DWORD size = kKeyNameBuffer;
            const LSTATUS status = platform_.RegEnumKeyExW(key, index, keyName_.data(), &size);
            if (status == ERROR_NO_MORE_ITEMS) return true;
            if (status != ERROR_SUCCESS) return Fail("RegEnumKeyExW", path, status);
            const std::u16string childName(keyName_.data(), size);
            HKEY child = nullptr;
            const LSTATUS opened =
                platform_.RegOpenKeyExW(key, childName.c_str(), 0, KEY_READ, &child);
            const std::u16string childPath = path + u"\\" + childName;
            if (opened != ERROR_SUCCESS) return Fail("RegOpenKeyExW", childPath, opened);
            const bool read = ReadTree(child, childPath);
            platform_.RegCloseKey(child);
            if (!read) return false;
        }
    }

private:
    bool Fail(std::string_view call, std::u16string_view path, LSTATUS status) {
        error_ = "reading the registry failed: " + std::string(call) + " on " + ToUtf8(path) +
                 " returned " + std::to_string(status);
        return false;
    }

    bool ReadValues(HKEY key, SnapshotKey &entry) {
        for (DWORD index = 0;; ++index) {
            DWORD nameSize = kValueNameBuffer;
            LSTATUS status = platform_.RegEnumValueW(key, index, valueName_.data(), &nameSize,
                                                     nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) return true;
            if (status != ERROR_SUCCESS) return Fail("RegEnumValueW", entry.path, status);
            SnapshotValue value{std::u16string(valueName_.data(), nameSize), {}};
            DWORD size = 0;
            status = platform_.RegQueryValueExW(key, value.name.c_str(), &value.value.type, nullptr,
                                                &size);
            if (status == ERROR_SUCCESS) {
                value.value.data.resize(size);
                status = platform_.RegQueryValueExW(key, value.name.c_str(), &value.value.type,
                                                    value.value.data.data(), &size);
                value.value.data.resize(size);
            }
            if (status != ERROR_SUCCESS) return Fail("RegQueryValueExW", entry.path, status);
            entry.values[LoweredAZ(value.name)] = std::move(value);
        }
    }

    Platform &platform_;
    MachineSnapshot &snapshot_;
    std::string &error_;
    std::vector<char16_t> keyName_;
    std::vector<char16_t> valueName_;
};

// Folders through FindFirstFileW, the only place a folder without files
// shows; files come from the seeding helpers with their contents.
void ReadFolders(Platform &platform, const std::u16string &folder, MachineSnapshot &snapshot) {
    FindData data{};
    const std::u16string pattern = folder + u"\\*";
    const HANDLE find = platform.FindFirstFileW(pattern.c_str(), &data);
    if (find == InvalidHandleValue()) return;
    std::vector<std::u16string> children;
    do {
        const std::u16string_view name = TextOf(data.cFileName, std::size(data.cFileName));
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != u"." && name != u"..")
            children.push_back(folder + u"\\" + std::u16string(name));
    } while (platform.FindNextFileW(find, &data));
    platform.FindClose(find);
    for (const std::u16string &child : children) {
        snapshot.directories[LoweredAZ(child)] = child;
        ReadFolders(platform, child, snapshot);
    }
}

// Every key three levels below Enum is a device's instance key.
void ReadDevices(const sim::SimulatedPlatform &machine, MachineSnapshot &snapshot) {
    const std::u16string enumPrefix = LoweredAZ(sim::kEnumRoot) + u"\\";
    for (const auto &[folded, key] : snapshot.keys) {
        if (!folded.starts_with(enumPrefix)) continue;
        const std::u16string instanceId = key.path.substr(enumPrefix.size());
        if (std::count(instanceId.begin(), instanceId.end(), u'\\') != 2) continue;
        if (const auto state = machine.Setup().DeviceState(instanceId))
            snapshot.devices[folded.substr(enumPrefix.size())] = {instanceId, *state};
    }
}

std::string ConditionName(const sim::DeviceNodeState &state) {
    if (!state.present) return "absent";
    if (state.disabled) return "disabled";
    return state.started ? "started" : "stopped";
}

std::string TypeName(DWORD type) {
    static const char *const kNames[] = {"REG_NONE",
                                         "REG_SZ",
                                         "REG_EXPAND_SZ",
                                         "REG_BINARY",
                                         "REG_DWORD",
                                         "REG_DWORD_BIG_ENDIAN",
                                         "REG_LINK",
                                         "REG_MULTI_SZ",
                                         "REG_RESOURCE_LIST",
                                         "REG_FULL_RESOURCE_DESCRIPTOR",
                                         "REG_RESOURCE_REQUIREMENTS_LIST",
                                         "REG_QWORD"};
    if (type < std::size(kNames)) return kNames[type];
    char text[32];
    std::snprintf(text, sizeof text, "REG_TYPE_0x%X", type);
    return text;
}

std::string QuotedForDisplay(std::u16string_view text) {
    std::string shown = "\"";
    for (const char16_t c : text) {
        if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(c));
            shown += escape;
        } else {
            shown += ToUtf8(std::u16string_view(&c, 1));
        }
    }
    return shown + "\"";
}

std::u16string CharactersOf(const std::vector<BYTE> &data) {
    return Utf16UnitsOf(data);
}

std::string HexBytes(const std::vector<BYTE> &data) {
    constexpr std::size_t kShownBytes = 32;
    if (data.empty()) return "(empty)";
    std::string text;
    for (std::size_t i = 0; i < data.size() && i < kShownBytes; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        if (i != 0) text += ' ';
        text += byte;
    }
    if (data.size() > kShownBytes) text += " ... (" + std::to_string(data.size()) + " bytes)";
    return text;
}

std::string Payload(const sim::RegValue &value) {
    const auto &data = value.data;
    const bool wholeCharacters = data.size() % 2 == 0;
    if ((value.type == REG_SZ || value.type == REG_EXPAND_SZ) && wholeCharacters) {
        const std::u16string text = CharactersOf(data);
        return QuotedForDisplay(TextOf(text.data(), text.size()));
    }
    if (value.type == REG_MULTI_SZ && wholeCharacters) {
        const std::u16string text = CharactersOf(data);
        std::string shown = "[";
        std::size_t start = 0;
        while (start < text.size() && text[start] != u'\0') {
            const std::size_t end = std::min(text.find(u'\0', start), text.size());
            if (start != 0) shown += ", ";
            shown += QuotedForDisplay(std::u16string_view(text).substr(start, end - start));
            start = end + 1;
        }
        return shown + "]";
    }
    if (value.type == REG_DWORD && data.size() == 4) {
        const std::uint32_t number = LittleEndianNumber(data);
        char text[32];
        std::snprintf(text, sizeof text, "0x%08x (%u)", number, number);
        return text;
    }
    return HexBytes(data);
}

std::string AttributeNames(DWORD attributes) {
    static const std::pair<DWORD, const char *> kNames[] = {
        {FILE_ATTRIBUTE_READONLY, "READONLY"}, {FILE_ATTRIBUTE_HIDDEN, "HIDDEN"},
        {FILE_ATTRIBUTE_SYSTEM, "SYSTEM"},     {FILE_ATTRIBUTE_DIRECTORY, "DIRECTORY"},
        {FILE_ATTRIBUTE_ARCHIVE, "ARCHIVE"},   {FILE_ATTRIBUTE_NORMAL, "NORMAL"}};
    std::string text;
    for (const auto &[bit, name] : kNames) {
        if (!(attributes & bit)) continue;
        if (!text.empty()) text += '|';
        text += name;
        attributes &= ~bit;
    }
    if (attributes != 0 || text.empty()) {
        char rest[16];
        std::snprintf(rest, sizeof rest, "0x%X", attributes);
        text += (text.empty() ? "" : "|") + std::string(rest);
    }
    return text;
}

std::string ValuePath(const SnapshotKey &key, const SnapshotValue &value) {
    return ToUtf8(key.path) + "\\" + (value.name.empty() ? "(Default)" : ToUtf8(value.name));
}

// Walks two sorted maps together, calling `onlyBefore`, `onlyAfter` or
// `inBoth` for each map key in order.
template <typename Map, typename Before, typename After, typename Both>
void MergeWalk(const Map &before, const Map &after, Before onlyBefore, After onlyAfter,
               Both inBoth) {
    auto b = before.begin();
    auto a = after.begin();
    while (b != before.end() || a != after.end()) {
        if (a == after.end() || (b != before.end() && b->first < a->first)) {
            onlyBefore((b++)->second);
        } else if (b == before.end() || a->first < b->first) {
            onlyAfter((a++)->second);
        } else {
            inBoth((b++)->second, (a++)->second);
        }
    }
}

void DiffDevices(const MachineSnapshot &before, const MachineSnapshot &after,
                 std::vector<std::string> &lines) {
    MergeWalk(
        before.devices, after.devices,
        [&](const SnapshotDevice &gone) { lines.push_back("- device " + ToUtf8(gone.instanceId)); },
        [&](const SnapshotDevice &added) {
            lines.push_back("+ device " + ToUtf8(added.instanceId) + ": " +
                            ConditionName(added.state));
        },
        [&](const SnapshotDevice &was, const SnapshotDevice &is) {
            const std::string old = ConditionName(was.state), now = ConditionName(is.state);
            if (old != now)
                lines.push_back("~ device " + ToUtf8(is.instanceId) + ": " + old + " -> " + now);
        });
}

void DiffKeys(const MachineSnapshot &before, const MachineSnapshot &after,
              std::vector<std::string> &lines) {
    const auto listValues = [&lines](const SnapshotKey &key, const char *mark) {
        for (const auto &[folded, value] : key.values)
            lines.push_back(std::string(mark) + " value " + ValuePath(key, value) + ": " +
                            DescribeRegValue(value.value));
    };
    MergeWalk(
        before.keys, after.keys,
        [&](const SnapshotKey &gone) {
            lines.push_back("- key " + ToUtf8(gone.path));
            listValues(gone, "-");
        },
        [&](const SnapshotKey &added) {
            lines.push_back("+ key " + ToUtf8(added.path));
            listValues(added, "+");
        },
        [&](const SnapshotKey &was, const SnapshotKey &is) {
            MergeWalk(
                was.values, is.values,
                [&](const SnapshotValue &gone) {
                    lines.push_back("- value " + ValuePath(was, gone) + ": " +
                                    DescribeRegValue(gone.value));
                },
                [&](const SnapshotValue &added) {
                    lines.push_back("+ value " + ValuePath(is, added) + ": " +
                                    DescribeRegValue(added.value));
                },
                [&](const SnapshotValue &old, const SnapshotValue &now) {
                    if (old.value.type == now.value.type && old.value.data == now.value.data)
                        return;
                    const std::string change =
                        old.value.type == now.value.type
                            ? TypeName(now.value.type) + " " + Payload(old.value) + " -> " +
                                  Payload(now.value)
                            : DescribeRegValue(old.value) + " -> " + DescribeRegValue(now.value);
                    lines.push_back("~ value " + ValuePath(is, now) + ": " + change);
                });
        });
}

void DiffFiles(const MachineSnapshot &before, const MachineSnapshot &after,
               std::vector<std::string> &lines) {
    MergeWalk(
        before.files, after.files,
        [&](const SnapshotFile &gone) { lines.push_back("- file " + ToUtf8(gone.path)); },
        [&](const SnapshotFile &added) {
            lines.push_back("+ file " + ToUtf8(added.path) + " (" +
                            std::to_string(added.contents.size()) + " bytes)");
        },
        [&](const SnapshotFile &was, const SnapshotFile &is) {
            std::string change;
            if (was.contents != is.contents)
                change = "contents changed (" + std::to_string(was.contents.size()) + " -> " +
                         std::to_string(is.contents.size()) + " bytes)";
            if (was.attributes != is.attributes)
                change += (change.empty() ? "" : "; ") + std::string("attributes ") +
                          AttributeNames(was.attributes) + " -> " + AttributeNames(is.attributes);
            if (!change.empty()) lines.push_back("~ file " + ToUtf8(is.path) + ": " + change);
        });
}

}  // namespace

bool TakeSnapshot(sim::SimulatedPlatform &machine, MachineSnapshot &snapshot, std::string &error) {
    snapshot = MachineSnapshot{};
    RegistryReader registry(machine, snapshot, error);
    if (!registry.ReadTree(HKeyLocalMachine(), u"HKLM")) return false;
    if (!registry.ReadTree(HKeyCurrentUser(), u"HKCU")) return false;

    std::set<char16_t> drives = {u'C'};
    for (auto &[path, contents] : machine.Setup().AllFiles()) {
        const std::u16string folded = LoweredAZ(path);
        if (folded[0] >= u'a' && folded[0] <= u'z')
            drives.insert(static_cast<char16_t>(folded[0] - u'a' + u'A'));
        snapshot.files[folded] = {path, std::move(contents),
                                  machine.Setup().FileAttributes(path).value_or(0)};
    }
    for (const char16_t drive : drives)
        ReadFolders(machine, std::u16string(1, drive) + u":", snapshot);
    ReadDevices(machine, snapshot);
    return true;
}

bool SameSnapshot(const MachineSnapshot &a, const MachineSnapshot &b) {
    const auto sameKey = [](const auto &x, const auto &y) {
        const auto sameValue = [](const auto &v, const auto &w) {
            return v.first == w.first && v.second.name == w.second.name &&
                   v.second.value.type == w.second.value.type &&
                   v.second.value.data == w.second.value.data;
        };
        return x.first == y.first && x.second.path == y.second.path &&
               std::equal(x.second.values.begin(), x.second.values.end(), y.second.values.begin(),
                          y.second.values.end(), sameValue);
    };
    const auto sameFile = [](const auto &x, const auto &y) {
        return x.first == y.first && x.second.path == y.second.path &&
               x.second.contents == y.second.contents && x.second.attributes == y.second.attributes;
    };
    const auto sameDevice = [](const auto &x, const auto &y) {
        const sim::DeviceNodeState &s = x.second.state, &t = y.second.state;
        return x.first == y.first && x.second.instanceId == y.second.instanceId &&
               s.present == t.present && s.started == t.started && s.disabled == t.disabled;
    };
    return std::equal(a.keys.begin(), a.keys.end(), b.keys.begin(), b.keys.end(), sameKey) &&
           std::equal(a.files.begin(), a.files.end(), b.files.begin(), b.files.end(), sameFile) &&
           a.directories == b.directories &&
           std::equal(a.devices.begin(), a.devices.end(), b.devices.begin(), b.devices.end(),
                      sameDevice);
}

std::vector<std::string> DiffSnapshots(const MachineSnapshot &before,
                                       const MachineSnapshot &after) {
    std::vector<std::string> lines;
    DiffDevices(before, after, lines);
    DiffKeys(before, after, lines);
    DiffFiles(before, after, lines);
    return lines;
}

std::string DescribeRegValue(const sim::RegValue &value) {
    return TypeName(value.type) + " " + Payload(value);
}

}  // namespace cvl::image

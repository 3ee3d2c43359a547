#include "capture/registry_capture.h"

#include "common/little_endian.h"
#include "common/text.h"

namespace cvl::capture {
namespace {

// A 32-bit capture on 64-bit Windows must see the machine's own registry,
// not the 32-bit view, as the 64-bit cvlsetup does.
constexpr REGSAM kReadSam = KEY_READ | 0x0100;  // KEY_WOW64_64KEY
// Key names are at most 255 characters; value names at most 16383.
constexpr DWORD kKeyNameCapacity = 256;
constexpr DWORD kValueNameCapacity = 16384;

// A name as a problem line shows it: a line break in it would break the
// line, so control characters are written as \r, \n or \xNN.
std::string Describe(std::u16string_view path) {
    std::u16string shown;
    for (const char16_t c : path) {
        if (c == u'\r') {
            shown += u"\\r";
        } else if (c == u'\n') {
            shown += u"\\n";
        } else if (c < 0x20) {
            constexpr char16_t kDigits[] = u"0123456789abcdef";
            shown += {u'\\', u'x', kDigits[c >> 4], kDigits[c & 0xF]};
        } else {
            shown.push_back(c);
        }
    }
    return ToUtf8(shown);
}

std::u16string_view LastName(std::u16string_view path) {
    const std::size_t slash = path.rfind(u'\\');
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

std::string ErrorText(LSTATUS status) {
    return "error " + std::to_string(status);
}

// Splits "HKLM\\A\\B" into the hive and "A\\B".
bool SplitRoot(std::u16string_view path, HKEY &hive, std::u16string &subKey) {
    const std::size_t slash = path.find(u'\\');
    const std::u16string_view hiveName = path.substr(0, slash);
    if (EqualsFoldAZ(hiveName, u"HKLM")) {
        hive = HKeyLocalMachine();
    } else if (EqualsFoldAZ(hiveName, u"HKCU")) {
        hive = HKeyCurrentUser();
    } else {
        return false;
    }
    subKey = slash == std::u16string_view::npos ? u"" : std::u16string(path.substr(slash + 1));
    return true;
}

class OpenKey {
public:
    OpenKey(Platform &platform, std::u16string_view path) : platform_(platform) {
        HKEY hive{};
        std::u16string subKey;
        if (!SplitRoot(path, hive, subKey)) {
            status_ = ERROR_FILE_NOT_FOUND;
            return;
        }
        status_ = platform_.RegOpenKeyExW(hive, subKey.c_str(), 0, kReadSam, &key_);
    }
    ~OpenKey() {
        if (status_ == ERROR_SUCCESS) platform_.RegCloseKey(key_);
    }
    OpenKey(const OpenKey &) = delete;
    OpenKey &operator=(const OpenKey &) = delete;

    bool ok() const { return status_ == ERROR_SUCCESS; }
    LSTATUS status() const { return status_; }
    HKEY get() const { return key_; }

private:
    Platform &platform_;
    HKEY key_{};
    LSTATUS status_ = ERROR_FILE_NOT_FOUND;
};

std::vector<std::u16string> EnumSubkeys(Platform &platform, HKEY key, LSTATUS &failure) {
    std::vector<std::u16string> names;
    failure = ERROR_SUCCESS;
    for (DWORD index = 0;; ++index) {
        char16_t name[kKeyNameCapacity];
        DWORD size = kKeyNameCapacity;
        const LSTATUS status = platform.RegEnumKeyExW(key, index, name, &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) {
            failure = status;
            break;
        }
        names.emplace_back(name, size);
    }
    return names;
}

// One value by index, growing the data buffer as the registry asks.
LSTATUS EnumValue(Platform &platform, HKEY key, DWORD index, image::RegFileValue &value) {
    std::u16string name(kValueNameCapacity, u'\0');
    std::vector<BYTE> data(512);
    for (;;) {
        DWORD nameSize = kValueNameCapacity;
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LSTATUS status = platform.RegEnumValueW(key, index, name.data(), &nameSize, &type,
                                                      data.data(), &dataSize);
        if (status == ERROR_MORE_DATA && dataSize > data.size()) {
            data.resize(dataSize);
            continue;
        }
        if (status != ERROR_SUCCESS) return status;
        value.name.assign(name.data(), nameSize);
        value.value.type = type;
        value.value.data.assign(data.begin(), data.begin() + dataSize);
        return ERROR_SUCCESS;
    }
}

// Windows lets only the system itself read a device's property store (the
// "Properties" key of an instance); cvlsetup never reads it either.
bool IsPropertyStore(std::u16string_view path) {
    const std::size_t slash = path.rfind(u'\\');
    return slash != std::u16string_view::npos &&
           EqualsFoldAZ(path.substr(slash + 1), u"Properties");
}

void CaptureKey(Platform &platform, const std::u16string &path,
                std::vector<image::RegFileKey> &keys, std::vector<CaptureProblem> &problems,
                int depth) {
    if (!image::CanNameInRegFile(LastName(path))) {
        problems.push_back({"key " + Describe(path),
                            "its name holds a line break, which a .reg file cannot hold; the key "
                            "and the keys below it are left out"});
        return;
    }
    OpenKey key(platform, path);
    if (!key.ok() && key.status() == ERROR_ACCESS_DENIED && IsPropertyStore(path)) return;
    if (!key.ok()) {
        problems.push_back(
            {"key " + Describe(path), "cannot be opened: " + ErrorText(key.status())});
        return;
    }
    image::RegFileKey captured{path, {}};
    for (DWORD index = 0;; ++index) {
        image::RegFileValue value;
        const LSTATUS status = EnumValue(platform, key.get(), index, value);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) {
            problems.push_back(
                {"values of " + Describe(path), "cannot be read: " + ErrorText(status)});
            break;
        }
        if (!image::CanNameInRegFile(value.name)) {
            problems.push_back({"value " + Describe(value.name) + " of " + Describe(path),
                                "its name holds a line break, which a .reg file cannot hold"});
            continue;
        }
        captured.values.push_back(std::move(value));
    }
    keys.push_back(std::move(captured));

    LSTATUS failure = ERROR_SUCCESS;
    const std::vector<std::u16string> subkeys = EnumSubkeys(platform, key.get(), failure);
    if (failure != ERROR_SUCCESS)
        problems.push_back(
            {"subkeys of " + Describe(path), "cannot be listed: " + ErrorText(failure)});
    // The registry nests at most 512 levels; a deeper walk is a loop of links.
    if (depth >= 512) return;
    for (const std::u16string &name : subkeys)
        CaptureKey(platform, path + u"\\" + name, keys, problems, depth + 1);
}

}  // namespace

void CaptureRegistryTree(Platform &platform, std::u16string_view root,
                         std::vector<image::RegFileKey> &keys,
                         std::vector<CaptureProblem> &problems) {
    // The keys above the root are kept without their values: whether a
    // parent exists decides whether a run creates it, and so what it changes.
    for (std::size_t slash = root.find(u'\\'); slash != std::u16string_view::npos;
         slash = root.find(u'\\', slash + 1)) {
        const std::u16string_view ancestor = root.substr(0, slash);
        if (ancestor.find(u'\\') == std::u16string_view::npos) continue;  // a hive
        bool known = false;
        for (const image::RegFileKey &key : keys) known = known || EqualsFoldAZ(key.path, ancestor);
        if (!known && OpenKey(platform, ancestor).ok())
            keys.push_back({std::u16string(ancestor), {}});
    }
    {
        OpenKey probe(platform, root);
        if (probe.status() == ERROR_FILE_NOT_FOUND) return;
    }
    CaptureKey(platform, std::u16string(root), keys, problems, 0);
}

std::vector<std::u16string> SubkeyNames(Platform &platform, std::u16string_view path) {
    OpenKey key(platform, path);
    if (!key.ok()) return {};
    LSTATUS ignored = ERROR_SUCCESS;
    return EnumSubkeys(platform, key.get(), ignored);
}

std::optional<sim::RegValue> ReadValue(Platform &platform, std::u16string_view path,
                                       std::u16string_view name) {
    OpenKey key(platform, path);
    if (!key.ok()) return std::nullopt;
    const std::u16string valueName(name);
    DWORD type = 0;
    DWORD size = 0;
    if (platform.RegQueryValueExW(key.get(), valueName.c_str(), &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    sim::RegValue value{type, std::vector<BYTE>(size)};
    if (platform.RegQueryValueExW(key.get(), valueName.c_str(), &type, value.data.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

std::optional<std::u16string> ReadText(Platform &platform, std::u16string_view key,
                                       std::u16string_view name) {
    const std::optional<sim::RegValue> value = ReadValue(platform, key, name);
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return std::nullopt;
    std::u16string text;
    for (std::size_t at = 0; at + 1 < value->data.size(); at += 2) {
        const char16_t unit = Utf16UnitAt(value->data.data(), at);
        if (unit == u'\0') break;
        text.push_back(unit);
    }
    return text;
}

}  // namespace cvl::capture

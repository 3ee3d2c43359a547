#include "platform/sim/parts/paths.h"

#include "common/text.h"

namespace cvl::sim {
namespace {

bool IsDriveLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

char16_t UpperDrive(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

// Applies the names of `text` to `path`, one by one.
void AppendNames(WinPath &path, std::u16string_view text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = start;
        while (end < text.size() && !IsSeparator(text[end])) ++end;
        std::u16string name(text.substr(start, end - start));
        if (name == u"..") {
            if (!path.parts.empty()) path.parts.pop_back();
        } else if (name != u".") {
            // Win32 drops the trailing dots and blanks of a name.
            while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
            if (!name.empty()) path.parts.push_back(std::move(name));
        }
        start = end + 1;
    }
}

bool MatchFrom(std::u16string_view pattern, std::u16string_view name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starAt = std::u16string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            starName = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || FoldAZ(pattern[p]) == FoldAZ(name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::u16string_view::npos) {
            p = starAt + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

}  // namespace

std::u16string FoldedName(std::u16string_view name) {
    return LoweredAZ(name);
}

std::u16string WinPath::Text() const {
    std::u16string text{drive, u':'};
    if (parts.empty()) return text + u'\\';
    for (const auto &part : parts) {
        text += u'\\';
        text += part;
    }
    return text;
}

WinPath WinPath::Parent() const {
    WinPath parent = *this;
    if (!parent.parts.empty()) parent.parts.pop_back();
    return parent;
}

WinPath WinPath::Child(std::u16string_view name) const {
    WinPath child = *this;
    child.parts.emplace_back(name);
    return child;
}

std::optional<WinPath> ResolveWinPath(std::u16string_view text, const WinPath &current) {
    if (text.empty()) return std::nullopt;
    // The "\\?\X:\" form names a plain drive path.
    if (text.size() >= 6 && text.substr(0, 4) == u"\\\\?\\") text.remove_prefix(4);
    if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) return std::nullopt;

    WinPath path;
    if (text.size() >= 2 && text[1] == u':') {
        if (!IsDriveLetter(text[0])) return std::nullopt;
        path.drive = UpperDrive(text[0]);
        text.remove_prefix(2);
        // "X:name" continues the current directory when X is its drive.
        if ((text.empty() || !IsSeparator(text[0])) && path.drive == current.drive) path = current;
    } else if (IsSeparator(text[0])) {
        path.drive = current.drive;
    } else {
        path = current;
    }
    AppendNames(path, text);
    return path;
}

bool HasInvalidNameCharacter(const WinPath &path) {
    for (const auto &part : path.parts)
        for (char16_t c : part)
            if (c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' ||
                c == u'?' || c == u'*')
                return true;
    return false;
}

bool WildcardMatch(std::u16string_view pattern, std::u16string_view name) {
    if (MatchFrom(pattern, name)) return true;
    // "*.*" and "name.*" also match a name that has no extension.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == u".*" &&
        name.find(u'.') == std::u16string_view::npos)
        return MatchFrom(pattern.substr(0, pattern.size() - 2), name);
    return false;
}

std::optional<RegPathView> SplitRegPath(std::u16string_view keyPath) {
    const std::size_t cut = keyPath.find(u'\\');
    const std::u16string_view hive = keyPath.substr(0, cut);
    RegPathView path;
    if (EqualsFoldAZ(hive, u"hklm") || EqualsFoldAZ(hive, u"hkey_local_machine")) {
        path.hive = RegHive::LocalMachine;
    } else if (EqualsFoldAZ(hive, u"hkcu") || EqualsFoldAZ(hive, u"hkey_current_user")) {
        path.hive = RegHive::CurrentUser;
    } else {
        return std::nullopt;
    }
    if (cut != std::u16string_view::npos) path.below = keyPath.substr(cut + 1);
    return path;
}

std::u16string_view TakeRegPathName(std::u16string_view &rest) {
    while (!rest.empty()) {
        const std::size_t end = rest.find(u'\\');
        const std::u16string_view name = rest.substr(0, end);
        rest.remove_prefix(end == std::u16string_view::npos ? rest.size() : end + 1);
        if (!name.empty()) return name;
    }
    return {};
}

std::optional<RegPath> ParseRegPath(std::u16string_view keyPath) {
    const auto view = SplitRegPath(keyPath);
    if (!view) return std::nullopt;
    RegPath path{view->hive, {}};
    std::u16string_view rest = view->below;
    for (auto name = TakeRegPathName(rest); !name.empty(); name = TakeRegPathName(rest))
        path.parts.emplace_back(name);
    return path;
}

std::optional<std::vector<std::u16string>> SplitSubKey(const char16_t *subKey) {
    std::vector<std::u16string> names;
    if (subKey == nullptr) return names;
    std::u16string_view rest(subKey);
    if (!rest.empty() && rest[0] == u'\\') return std::nullopt;
    while (!rest.empty()) {
        const std::size_t end = rest.find(u'\\');
        if (end != 0) names.emplace_back(rest.substr(0, end));
        if (end == std::u16string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return names;
}

std::vector<std::u16string> ImageCandidates(std::u16string_view commandLine) {
    if (!commandLine.empty() && commandLine[0] == u'"') {
        const std::size_t close = commandLine.find(u'"', 1);
        if (close != std::u16string_view::npos) {
            std::u16string_view name = commandLine.substr(1, close - 1);
            while (!name.empty() && name.back() == u' ') name.remove_suffix(1);
            return {std::u16string(name)};
        }
    }
    std::vector<std::u16string> candidates;
    std::size_t end = 0;
    while (true) {
        while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
        candidates.emplace_back(commandLine.substr(0, end));
        while (end < commandLine.size() && IsBlank(commandLine[end])) ++end;
        if (end >= commandLine.size()) break;
    }
    return candidates;
}

bool IsFullWinPath(std::u16string_view path) {
    return path.size() >= 3 && path[1] == u':' && (path[2] == u'\\' || path[2] == u'/');
}

}  // namespace cvl::sim

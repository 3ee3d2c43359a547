#include "uninstall/cleanup_paths.h"

#include "common/limits.h"
#include "common/text.h"

namespace cvl {

std::optional<std::u16string> WindowsDirectoryText(Platform &platform) {
    char16_t buffer[limits::kPathChars] = {};
    const UINT length = platform.GetWindowsDirectoryW(buffer, limits::kPathChars);
    if (length == 0 || length >= limits::kPathChars) return std::nullopt;
    return std::u16string(TextOf(buffer, limits::kPathChars));
}

std::optional<std::u16string> JoinWithin(std::size_t capacity,
                                         std::initializer_list<std::u16string_view> parts) {
    std::u16string path;
    for (const std::u16string_view part : parts) path += part;
    if (path.size() + 1 > capacity) return std::nullopt;
    return path;
}

bool IsBareFileName(std::u16string_view name) {
    if (name.empty()) return false;
    if (name.find_first_of(u"\\/:") != std::u16string_view::npos) return false;
    return name.find(u"..") == std::u16string_view::npos;
}

bool IsPublishedOemInfName(std::u16string_view name) {
    constexpr std::u16string_view kPrefix = u"oem";
    constexpr std::u16string_view kSuffix = u".inf";
    if (name.size() <= kPrefix.size() + kSuffix.size()) return false;
    if (!EqualsFoldAZ(name.substr(0, kPrefix.size()), kPrefix)) return false;
    if (!EqualsFoldAZ(name.substr(name.size() - kSuffix.size()), kSuffix)) return false;
    const std::u16string_view digits =
        name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
    for (const char16_t c : digits)
        if (c < u'0' || c > u'9') return false;
    return true;
}

bool IsPathBelow(std::u16string_view path, std::u16string_view directory) {
    if (path.find(u"..") != std::u16string_view::npos) return false;
    while (!directory.empty() && directory.back() == u'\\') directory.remove_suffix(1);
    if (directory.empty() || path.size() <= directory.size() + 1) return false;
    return EqualsFoldAZ(path.substr(0, directory.size()), directory) &&
           path[directory.size()] == u'\\';
}

std::u16string PnfNameOf(std::u16string_view infName) {
    return std::u16string(infName.substr(0, infName.find(u'.'))) + u".PNF";
}

}  // namespace cvl

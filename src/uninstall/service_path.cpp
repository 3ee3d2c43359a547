#include "uninstall/service_path.h"

#include "common/limits.h"
#include "common/text.h"
#include "system/scoped_handle.h"
#include "uninstall/cleanup_paths.h"

namespace cvl {
namespace {

constexpr std::size_t kServiceConfigBytes = 4096;
static_assert(sizeof(ServiceConfig) <= kServiceConfigBytes);

using ScopedService = ScopedHandle<SC_HANDLE, &Platform::CloseServiceHandle>;

bool StartsWithFoldAZ(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && EqualsFoldAZ(text.substr(0, prefix.size()), prefix);
}

bool IsFullPath(std::u16string_view path) {
    return path.size() >= 3 && path[1] == u':' && path[2] == u'\\';
}

std::optional<std::u16string> FullPathOf(std::u16string_view windowsDirectory,
                                         std::u16string_view imagePath) {
    const std::u16string windows(windowsDirectory);
    for (const std::u16string_view root : {u"\\SystemRoot\\", u"%SystemRoot%\\"})
        if (StartsWithFoldAZ(imagePath, root))
            return windows + u"\\" + std::u16string(imagePath.substr(root.size()));
    if (StartsWithFoldAZ(imagePath, u"\\??\\")) {
        const std::u16string_view rest = imagePath.substr(4);
        if (IsFullPath(rest)) return std::u16string(rest);
        return std::nullopt;
    }
    if (IsFullPath(imagePath)) return std::u16string(imagePath);
    if (imagePath.empty() || imagePath.front() == u'\\' ||
        imagePath.find(u':') != std::u16string_view::npos)
        return std::nullopt;
    return windows + u"\\" + std::u16string(imagePath);
}

}  // namespace

bool GetServiceImagePath(Platform &platform, const char16_t *serviceName,
                         std::u16string &imagePath) {
    ScopedService manager(platform,
                          platform.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager.IsOpen()) return false;
    ScopedService service(platform,
                          platform.OpenServiceW(manager.Get(), serviceName, SERVICE_QUERY_CONFIG));
    if (!service.IsOpen()) return false;
    ScopedLocal block(platform, platform.LocalAlloc(LPTR, kServiceConfigBytes));
    if (!block.IsOpen()) return false;
    auto *config = static_cast<ServiceConfig *>(block.Get());
    DWORD needed = 0;
    if (!platform.QueryServiceConfigW(service.Get(), config, kServiceConfigBytes, &needed))
        return false;
    const std::u16string_view path =
        TextOf(config->lpBinaryPathName, std::size(config->lpBinaryPathName));
    if (path.size() >= limits::kPathChars) return false;
    imagePath = path;
    return true;
}

std::optional<std::u16string> ResolveDriverFilePath(std::u16string_view windowsDirectory,
                                                    std::u16string_view imagePath) {
    if (windowsDirectory.empty() || imagePath.find(u"..") != std::u16string_view::npos)
        return std::nullopt;
    const auto path = FullPathOf(windowsDirectory, imagePath);
    if (!path || path->size() >= limits::kPathChars) return std::nullopt;
    const std::u16string drivers = std::u16string(windowsDirectory) + u"\\system32\\drivers";
    if (!IsPathBelow(*path, drivers)) return std::nullopt;
    const std::u16string_view fileName = std::u16string_view(*path).substr(drivers.size() + 1);
    constexpr std::u16string_view kDriverExtension = u".sys";
    if (!IsBareFileName(fileName) || fileName.size() <= kDriverExtension.size() ||
        !EqualsFoldAZ(fileName.substr(fileName.size() - kDriverExtension.size()), kDriverExtension))
        return std::nullopt;
    return path;
}

}  // namespace cvl

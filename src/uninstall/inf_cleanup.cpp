#include "uninstall/inf_cleanup.h"

#include <array>
#include <optional>
#include <string>

#include "common/family_code.h"
#include "common/limits.h"
#include "common/multi_string.h"
#include "common/text.h"
#include "device/family_tables.h"
#include "system/scoped_handle.h"
#include "uninstall/cleanup_paths.h"
#include "uninstall/device_removal.h"
#include "uninstall/service_path.h"

namespace cvl {
namespace {

// The INF scan reads fields and builds paths in 256 characters.
constexpr std::size_t kScanChars = 256;
constexpr std::array<std::u16string_view, 3> kInfDirectories{u"\\INF\\", u"\\INF\\OTHER\\",
                                                             u"\\INF\\INTERNET\\"};
constexpr std::array<std::u16string_view, 3> kMakerInfPrefixes{u"net", u"oem", u"cor"};
constexpr std::u16string_view kSystemSubfolder = u"\\SYSTEM32\\";

void ResetAndDelete(Platform &platform, const std::u16string &path) {
    platform.SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    platform.DeleteFileW(path.c_str());
}

std::optional<std::u16string> StringField(Platform &platform, HINF inf, const char16_t *section,
                                          DWORD field) {
    InfContext context{};
    if (!platform.SetupFindFirstLineW(inf, section, nullptr, &context)) return std::nullopt;
    char16_t buffer[kScanChars] = {};
    if (!platform.SetupGetStringFieldW(&context, field, buffer, kScanChars, nullptr))
        return std::nullopt;
    return std::u16string(TextOf(buffer, kScanChars));
}

// The first model's hardware id, read through the Manufacturer section.
std::optional<std::u16string> FirstModelId(Platform &platform, HINF inf) {
    const auto models = StringField(platform, inf, u"Manufacturer", 1);
    if (!models) return std::nullopt;
    return StringField(platform, inf, models->c_str(), 2);
}

// "pci\ven_1f3a" and "dev_b701" of "PCI\VEN_1F3A&DEV_B701&CC_0200".
bool ContainsFirstTwoPieces(std::u16string_view loweredId, std::u16string_view familyId) {
    const std::u16string lowered = LoweredAZ(familyId);
    const std::size_t first = lowered.find(u'&');
    const std::u16string_view all(lowered);
    const std::u16string_view vendor = all.substr(0, first);
    std::u16string_view device;
    if (first != std::u16string_view::npos) {
        device = all.substr(first + 1);
        device = device.substr(0, device.find(u'&'));
    }
    return loweredId.find(vendor) != std::u16string_view::npos &&
           loweredId.find(device) != std::u16string_view::npos;
}

bool BelongsToFamily(std::u16string_view firstModelId, DeviceFamily family) {
    if (family != FamilyPci && family != FamilyPcie) return false;
    const std::u16string lowered = LoweredAZ(firstModelId);
    for (const std::u16string_view id : FamilyHardwareIds(family))
        if (ContainsFirstTwoPieces(lowered, id)) return true;
    return false;
}

// The maker's INF: a first [Strings] value that was read and does not name
// Microsoft.
bool FirstStringIsNotMicrosofts(Platform &platform, HINF inf) {
    const auto firstString = StringField(platform, inf, u"Strings", 1);
    return firstString && firstString->find(u"Microsoft") == std::u16string::npos;
}

bool HasMakerInfPrefix(std::u16string_view name) {
    if (name.size() < 3) return false;
    const std::u16string prefix = LoweredAZ(name.substr(0, 3));
    for (const std::u16string_view candidate : kMakerInfPrefixes)
        if (prefix == candidate) return true;
    return false;
}

void DeleteInSystemDirectory(Platform &platform, std::u16string_view fileName) {
    const auto windows = WindowsDirectoryText(platform);
    if (!windows) return;
    if (const auto path = JoinWithin(limits::kPathChars, {*windows, kSystemSubfolder, fileName}))
        platform.DeleteFileW(path->c_str());
}

}  // namespace

void DeleteMakerInfFiles(Platform &platform, std::u16string_view directory, DeviceFamily family) {
    const std::u16string folder(directory);
    DWORD required = 0;
    if (!platform.SetupGetInfFileListW(folder.c_str(), INF_STYLE_WIN4, nullptr, 0, &required) ||
        required == 0)
        return;
    ScopedLocal block(platform, platform.LocalAlloc(LPTR, required * sizeof(char16_t)));
    if (!block.IsOpen()) return;
    auto *names = static_cast<char16_t *>(block.Get());
    if (!platform.SetupGetInfFileListW(folder.c_str(), INF_STYLE_WIN4, names, required, nullptr))
        return;
    const std::span<const std::uint8_t> list(static_cast<const std::uint8_t *>(block.Get()),
                                             required * sizeof(char16_t));
    for (const std::u16string &name : MultiStringTexts(list)) {
        if (!HasMakerInfPrefix(name)) continue;
        const auto infPath = JoinWithin(kScanChars, {directory, name});
        const auto pnfPath = JoinWithin(kScanChars, {directory, PnfNameOf(name)});
        if (!infPath || !pnfPath || !IsBareFileName(name)) continue;
        bool isMakers = false;
        {
            ScopedInf inf(platform);
            inf.Adopt(
                platform.SetupOpenInfFileW(infPath->c_str(), nullptr, INF_STYLE_WIN4, nullptr));
            if (!inf.IsOpen()) continue;
            const auto modelId = FirstModelId(platform, inf.Get());
            isMakers = modelId && BelongsToFamily(*modelId, family) &&
                       FirstStringIsNotMicrosofts(platform, inf.Get());
        }
        if (!isMakers) continue;
        ResetAndDelete(platform, *infPath);
        ResetAndDelete(platform, *pnfPath);
    }
}

void DeleteMakerInfFilesInAllInfDirs(Platform &platform, DeviceFamily family) {
    const auto windows = WindowsDirectoryText(platform);
    if (!windows) return;
    for (const std::u16string_view folder : kInfDirectories)
        if (const auto directory = JoinWithin(kScanChars, {*windows, folder}))
            DeleteMakerInfFiles(platform, *directory, family);
}

void DeleteInfAndPnf(Platform &platform, std::u16string_view infName) {
    if (!IsBareFileName(infName)) return;
    const auto windows = WindowsDirectoryText(platform);
    if (!windows) return;
    const auto infPath = JoinWithin(limits::kPathChars, {*windows, u"\\INF\\", infName});
    const auto pnfPath = JoinWithin(limits::kPathChars, {*windows, u"\\INF\\", PnfNameOf(infName)});
    if (!infPath || !pnfPath) return;
    ResetAndDelete(platform, *infPath);
    ResetAndDelete(platform, *pnfPath);
}

bool MayDeleteAdapterInf(Platform &platform, OsKind osKind, std::u16string_view infName) {
    if (!IsBareFileName(infName)) return false;
    if (IsNtFrom2000On(osKind)) return IsPublishedOemInfName(infName);
    const auto windows = WindowsDirectoryText(platform);
    if (!windows) return false;
    const auto infPath = JoinWithin(limits::kPathChars, {*windows, u"\\INF\\", infName});
    if (!infPath) return false;
    ScopedInf inf(platform);
    inf.Adopt(platform.SetupOpenInfFileW(infPath->c_str(), nullptr, INF_STYLE_WIN4, nullptr));
    return inf.IsOpen() && FirstStringIsNotMicrosofts(platform, inf.Get());
}

void DeleteDriverPackageFiles(Platform &platform, OsKind osKind, std::u16string_view infBaseName,
                              std::u16string_view imagePath) {
    const auto windows = WindowsDirectoryText(platform);
    if (!windows) return;
    const std::u16string infName = std::u16string(infBaseName) + u".inf";
    if (MayDeleteAdapterInf(platform, osKind, infName)) {
        for (const std::u16string_view extension : {u".inf", u".pnf"}) {
            if (const auto path =
                    JoinWithin(limits::kPathChars, {*windows, u"\\INF\\", infBaseName, extension}))
                platform.DeleteFileW(path->c_str());
        }
    }
    if (const auto driverFile = ResolveDriverFilePath(*windows, imagePath))
        platform.DeleteFileW(driverFile->c_str());
}

void DeleteUninstallDlls(Platform &platform) {
    DeleteInSystemDirectory(platform, u"CVNUninst32.dll");
    DeleteInSystemDirectory(platform, u"CVNUninst64.dll");
}

void DeletePropertyPageDlls(Platform &platform) {
    DeleteInSystemDirectory(platform, u"CvNicProp32.dll");
    DeleteInSystemDirectory(platform, u"CvNicProp64.dll");
}

}  // namespace cvl

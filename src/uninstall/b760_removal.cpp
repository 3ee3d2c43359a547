#include "uninstall/b760_removal.h"

#include <vector>

#include "common/family_code.h"
#include "common/os_kind.h"
#include "common/registry_text.h"
#include "common/scoped_handle.h"
#include "common/text.h"
#include "device/family_tables.h"
#include "uninstall/cleanup_paths.h"
#include "uninstall/service_path.h"

namespace cvl {
namespace {

// Windows Me reads the id list into a fixed buffer of 512 bytes.
constexpr DWORD kMeIdListBytes = 512;
constexpr std::size_t kInfNameBytes = 520;

bool ReadIdListInto(Platform &platform, HDEVINFO list, const DevInfoData &data, OsKind osKind,
                    std::vector<BYTE> &buffer, DWORD &size) {
    DWORD required = 0;
    if (osKind == Os9xMe) {
        buffer.assign(kMeIdListBytes, 0);
        if (!platform.SetupDiGetDeviceRegistryPropertyW(list, &data, SPDRP_HARDWAREID, nullptr,
                                                        buffer.data(), kMeIdListBytes, &required))
            return false;
    } else {
        buffer.clear();
        while (!platform.SetupDiGetDeviceRegistryPropertyW(
            list, &data, SPDRP_HARDWAREID, nullptr, buffer.empty() ? nullptr : buffer.data(),
            static_cast<DWORD>(buffer.size()), &required)) {
            if (platform.GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= buffer.size())
                return false;
            buffer.assign(required, 0);
        }
    }
    size = required != 0 && required < buffer.size() ? required : static_cast<DWORD>(buffer.size());
    return true;
}

// The first service of a pair that can be found; the second is asked only
// when the first is missing.
bool FirstServiceImagePath(Platform &platform, const char16_t *first, const char16_t *second,
                           std::u16string &imagePath) {
    return GetServiceImagePath(platform, first, imagePath) ||
           GetServiceImagePath(platform, second, imagePath);
}

bool FindDriverService(Platform &platform, const InstallOptions &options,
                       std::u16string &imagePath) {
    bool found = false;
    if (options.x86) found = FirstServiceImagePath(platform, u"USB-100", u"USB-PG", imagePath);
    if (options.x64)
        found = FirstServiceImagePath(platform, u"USB-100x64", u"USB-PGx64", imagePath);
    return found;
}

}  // namespace

bool RemoveB760Adapter(Platform &platform, RunState &state, const InstallOptions &options,
                       DeviceFamily family, std::u16string &infBaseName,
                       std::u16string &driverImagePath) {
    ScopedDeviceList list(platform,
                          platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_ALLCLASSES));
    if (!list.IsOpen()) return false;
    const std::u16string_view b760Id = FamilyHardwareIds(FamilyVistaB760)[0];
    DevInfoData data{};
    bool found = false;
    std::vector<BYTE> buffer;
    for (DWORD index = 0; !found && platform.SetupDiEnumDeviceInfo(list.Get(), index, &data);
         ++index) {
        DWORD size = 0;
        if (!ReadIdListInto(platform, list.Get(), data, state.osKind, buffer, size)) continue;
        if (family != FamilyVistaB760) continue;
        for (const std::u16string &text : MultiStringTexts(buffer.data(), size)) {
            const std::u16string lowered = LoweredAZ(text);
            LogLine(state.log, lowered);
            if (EqualsFoldAZ(lowered, b760Id)) {
                LogLine(state.log, u"Found..");
                found = true;
            }
        }
    }
    if (!found) return false;

    if (state.osKind == Os9xMe) {
        platform.SetupDiCallClassInstaller(DIF_REMOVE, list.Get(), &data);
        return false;
    }
    bool withFiles = false;
    {
        ScopedKey key(platform);
        key.Adopt(platform.SetupDiOpenDevRegKey(list.Get(), &data, DICS_FLAG_GLOBAL, 0, DIREG_DRV,
                                                KEY_READ));
        if (!key.IsOpen()) {
            LogLine(state.log, u"Could not open reg");
            return false;
        }
        std::u16string infName;
        if (!ReadRegistryText(platform, key.Get(), u"InfPath", kInfNameBytes, infName)) {
            LogLine(state.log, u"read reg failed");
            return false;
        }
        const std::size_t dot = infName.find(u'.');
        if (dot == std::u16string::npos) return false;
        std::u16string baseName = LoweredAZ(infName.substr(0, dot));
        if (baseName.rfind(u"oem", 0) != 0) return false;
        std::u16string imagePath;
        withFiles = family == FamilyVistaB760 && FindDriverService(platform, options, imagePath);
        if (!withFiles) {
            LogLine(state.log, u"get service failed");
            return false;
        }
        infBaseName = std::move(baseName);
        driverImagePath = std::move(imagePath);
    }
    platform.SetupDiCallClassInstaller(DIF_REMOVE, list.Get(), &data);
    return true;
}

}  // namespace cvl

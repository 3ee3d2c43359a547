#include "uninstall/b760_removal.h"

#include "common/family_code.h"
#include "common/os_kind.h"
#include "common/text.h"
#include "device/device_property.h"
#include "device/device_walks.h"
#include "device/family_tables.h"
#include "system/registry_text.h"
#include "system/scoped_handle.h"
#include "uninstall/service_path.h"

namespace cvl {
namespace {

// Windows Me reads the id list into a fixed buffer of 512 bytes.
constexpr DWORD kMeIdListBytes = 512;
constexpr std::size_t kInfNameBytes = 520;

// Every read but Windows Me's follows the size-query protocol.
PropertyRead ReadIds(MultiStringProperty &ids, const PresentDevice &device, OsKind osKind) {
    if (osKind == Os9xMe) return ids.ReadFixed(device, SPDRP_HARDWAREID, kMeIdListBytes);
    return ids.Read(device, SPDRP_HARDWAREID);
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

// Asks for the found adapter's removal; with its files only when it came
// from a published OEM INF and its driver service is found.
bool RemoveFoundAdapter(Platform &platform, RunState &state, const InstallOptions &options,
                        DeviceFamily family, const PresentDevice &device,
                        std::u16string &infBaseName, std::u16string &driverImagePath) {
    if (state.osKind == Os9xMe) {
        platform.SetupDiCallClassInstaller(DIF_REMOVE, device.list, &device.data);
        return false;
    }
    {
        ScopedKey key(platform);
        if (!OpenDeviceDriverKey(platform, device, KEY_READ, key)) {
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
        if (!(family == FamilyVistaB760 && FindDriverService(platform, options, imagePath))) {
            LogLine(state.log, u"get service failed");
            return false;
        }
        infBaseName = std::move(baseName);
        driverImagePath = std::move(imagePath);
    }
    platform.SetupDiCallClassInstaller(DIF_REMOVE, device.list, &device.data);
    return true;
}

}  // namespace

bool RemoveB760Adapter(Platform &platform, RunState &state, const InstallOptions &options,
                       DeviceFamily family, std::u16string &infBaseName,
                       std::u16string &driverImagePath) {
    const std::u16string_view b760Id = FamilyHardwareIds(FamilyVistaB760)[0];
    MultiStringProperty ids(platform, PropertyMemory::ProgramMemory);
    bool removedWithFiles = false;
    const auto removeFirstB760 = [&](const PresentDevice &device) {
        if (ReadIds(ids, device, state.osKind) != PropertyRead::Read) return true;
        if (family != FamilyVistaB760) return true;
        bool found = false;
        for (const std::u16string &text : ids.Texts()) {
            const std::u16string lowered = LoweredAZ(text);
            LogLine(state.log, lowered);
            if (EqualsFoldAZ(lowered, b760Id)) {
                LogLine(state.log, u"Found..");
                found = true;
            }
        }
        if (!found) return true;
        removedWithFiles = RemoveFoundAdapter(platform, state, options, family, device, infBaseName,
                                              driverImagePath);
        return false;
    };
    WalkDevices(platform, {nullptr, DIGCF_ALLCLASSES}, removeFirstB760);
    return removedWithFiles;
}

}  // namespace cvl

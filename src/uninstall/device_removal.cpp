#include "uninstall/device_removal.h"

#include <array>
#include <vector>

#include "common/os_kind.h"
#include "common/scoped_handle.h"
#include "common/text.h"
#include "uninstall/cleanup_paths.h"

namespace cvl {
namespace {

constexpr DWORD kDeleteDevRegKeyEveryProfile = 0xFFFFFFFF;

enum class PropertyRead { Read, Missing, Failed };

// Reads a multi-string property with the size-query protocol.
PropertyRead ReadIdList(Platform &platform, HDEVINFO list, const DevInfoData &data, DWORD property,
                        std::vector<BYTE> &buffer, DWORD &size, DWORD &error) {
    buffer.clear();
    DWORD required = 0;
    while (!platform.SetupDiGetDeviceRegistryPropertyW(
        list, &data, property, nullptr, buffer.empty() ? nullptr : buffer.data(),
        static_cast<DWORD>(buffer.size()), &required)) {
        error = platform.GetLastError();
        if (error == ERROR_INVALID_DATA) return PropertyRead::Missing;
        // A size that does not grow would ask again for ever.
        if (error != ERROR_INSUFFICIENT_BUFFER || required <= buffer.size())
            return PropertyRead::Failed;
        buffer.assign(required, 0);
    }
    size = required != 0 && required < buffer.size() ? required : static_cast<DWORD>(buffer.size());
    return PropertyRead::Read;
}

bool CarriesId(const std::vector<BYTE> &buffer, DWORD size, std::u16string_view hardwareId) {
    for (const std::u16string &text : MultiStringTexts(buffer.data(), size))
        if (EqualsFoldAZ(text, hardwareId)) return true;
    return false;
}

void RemoveDevice(Platform &platform, InstallLog &log, HDEVINFO list, const DevInfoData &data,
                  OsKind osKind) {
    if (!platform.SetupDiCallClassInstaller(DIF_REMOVE, list, &data))
        LogLine(log, u"FindExistingDevice() -> SetupDiCallClassInstaller() fail");
    if (IsNtFrom2000On(osKind)) return;
    if (!platform.SetupDiDeleteDevRegKey(list, &data, DICS_FLAG_CONFIGSPECIFIC,
                                         kDeleteDevRegKeyEveryProfile, DIREG_BOTH))
        LogLine(log, u"FindExistingDevice() -> SetupDiDeleteDevRegKey() fail");
}

}  // namespace

FindDeviceResult FindExistingDevice(Platform &platform, InstallLog &log,
                                    std::u16string_view hardwareId, OsKind osKind) {
    ScopedDeviceList list(platform,
                          platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_ALLCLASSES));
    if (!list.IsOpen()) {
        LogLine(log, u"FindExistingDevice() -> SetupDiGetClassDevs() fail");
        return FindDeviceListFailed;
    }
    constexpr std::array<DWORD, 2> kIdProperties{SPDRP_HARDWAREID, SPDRP_COMPATIBLEIDS};
    bool anyCarried = false;
    std::vector<BYTE> buffer;
    DevInfoData data{};
    for (DWORD index = 0; platform.SetupDiEnumDeviceInfo(list.Get(), index, &data); ++index) {
        for (const DWORD property : kIdProperties) {
            DWORD size = 0;
            DWORD error = 0;
            const PropertyRead read =
                ReadIdList(platform, list.Get(), data, property, buffer, size, error);
            if (read == PropertyRead::Missing) continue;
            if (read == PropertyRead::Failed) {
                list.Reset();
                platform.SetLastError(error);
                LogLine(log,
                        u"FindExistingDevice() -> SetupDiGetDeviceRegistryProperty(): "
                        u"unknown error");
                return FindDevicePropertyFailed;
            }
            if (!CarriesId(buffer, size, hardwareId)) continue;
            anyCarried = true;
            LogText(log, u"Found 1 adapter...", hardwareId);
            LogText(log, u"STRING : ", hardwareId);
            RemoveDevice(platform, log, list.Get(), data, osKind);
            break;
        }
    }
    const DWORD enumerationError = platform.GetLastError();
    list.Reset();
    platform.SetLastError(enumerationError);
    return anyCarried ? FindDeviceRemoved : FindDeviceNotFound;
}

}  // namespace cvl

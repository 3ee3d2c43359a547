#include "install/install_steps.h"

#include <algorithm>

#include "common/limits.h"
#include "common/text.h"
#include "device/device_control.h"
#include "device/family_match.h"
#include "device/family_tables.h"
#include "log/install_log.h"
#include "state/setup_state.h"

namespace cvl {
namespace {

constexpr std::size_t kOwnPathChars = limits::kLongPathChars;
// VdevInfPath holds 512 characters and its terminator.
constexpr std::size_t kVdevInfPathChars = limits::kLongPathChars;
constexpr std::u16string_view kVdevInfName = u"Cvlhvdev.inf";
constexpr DWORD kAfterUpdateMs = 3000;

// What the update's last error means, for the log.
void LogUpdateFailure(InstallLog &log, DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            LogLine(log, u"Newer driver is present ...");
            break;
        case ERROR_NO_SUCH_DEVINST:
            LogLine(log, u"Found no devices, preinstalll driver ...");
            break;
        case ERROR_FILE_NOT_FOUND:
            LogLine(log, u"ERROR_FILE_NOT_FOUND");
            break;
        case ERROR_IN_WOW64:
            LogLine(log, u"ERROR_IN_WOW64");
            break;
        case ERROR_INVALID_FLAGS:
            LogLine(log, u"ERROR_INVALID_FLAGS");
            break;
        default:
            LogLine(log, u"Unknown error");
            LogNumber(log, u"ErrorCode", static_cast<std::int32_t>(error));
            break;
    }
}

// No device with the id, or a driver newer than the package already in
// place, leaves nothing undone: the package waits in the driver store for
// adapters plugged in later. Every other error left a present adapter
// without the package's driver.
bool LeavesAdapterWithoutDriver(DWORD error) {
    return error != ERROR_SUCCESS && error != ERROR_NO_SUCH_DEVINST;
}

}  // namespace

bool ReadProgramPath(Platform &platform, std::u16string &ownPath) {
    char16_t buffer[kOwnPathChars] = {};
    const DWORD length = platform.GetModuleFileNameW(buffer, kOwnPathChars);
    if (length == 0 || length >= kOwnPathChars) return false;
    ownPath.assign(TextOf(buffer, kOwnPathChars));
    return true;
}

std::u16string VdevInfPathOf(std::u16string_view infPath) {
    const std::size_t lastBackslash = infPath.rfind(u'\\');
    std::u16string path(lastBackslash == std::u16string_view::npos
                            ? std::u16string_view()
                            : infPath.substr(0, lastBackslash + 1));
    path += kVdevInfName;
    if (path.size() > kVdevInfPathChars) path.resize(kVdevInfPathChars);
    return path;
}

void RegisterInstallSource(Platform &platform, std::u16string_view sourceDir, DeviceFamily family) {
    const std::u16string source(sourceDir);
    platform.SetupAddToSourceListW(SRCLIST_SYSIFADMIN, source.c_str());
    WriteSetupValue(platform, u"SourcePath", source, family);
}

bool CopyInfToStore(Platform &platform, RunState &state, const std::u16string &infPath,
                    const char16_t *mediaLocation, DeviceFamily selector) {
    char16_t destination[limits::kPathChars] = {};
    if (!platform.SetupCopyOEMInfW(infPath.c_str(), mediaLocation, SPOST_PATH, 0, destination,
                                   limits::kPathChars, nullptr)) {
        LogLine(state.log, u"Copy INF failed ...");
        return false;
    }
    LogLine(state.log, u"Copy INF success ...");
    WriteSetupValue(platform, u"InfName", TextOf(destination, limits::kPathChars), selector);
    return true;
}

bool UpdateDevicesWithId(Platform &platform, RunState &state, const char16_t *hardwareId,
                         const std::u16string &infPath, DeviceUpdates &updates) {
    LogText(state.log, u"Installing ", hardwareId);
    if (!platform.UpdateDriverForPlugAndPlayDevicesW(hardwareId, infPath.c_str(), INSTALLFLAG_FORCE,
                                                     nullptr)) {
        const DWORD error = platform.GetLastError();
        LogUpdateFailure(state.log, error);
        if (LeavesAdapterWithoutDriver(error)) updates.anyFailed = true;
        return false;
    }
    // Kept off until the install is over; the install action switches them
    // on again.
    SetAdapterStateById(platform, state, hardwareId, AdapterSwitch::Off);
    std::vector<std::u16string> &switchedOff = updates.switchedOff;
    if (std::find(switchedOff.begin(), switchedOff.end(), hardwareId) == switchedOff.end())
        switchedOff.emplace_back(hardwareId);
    platform.Sleep(kAfterUpdateMs);
    LogLine(state.log, u"Driver installed successfully...");
    return true;
}

bool UpdateDevicesOfList(Platform &platform, RunState &state, const HardwareIdList &ids,
                         const std::u16string &infPath, DeviceUpdates &updates) {
    bool anyUpdated = false;
    for (std::size_t i = 0; i < ids.Count(); ++i)
        if (UpdateDevicesWithId(platform, state, ids.At(i), infPath, updates)) anyUpdated = true;
    return anyUpdated;
}

bool UpdateVirtualFunctions(Platform &platform, RunState &state, const std::u16string &vdevInfPath,
                            DeviceUpdates &updates) {
    HardwareIdList functions(platform);
    if (!functions.AssignFamily(FamilyVdevQ2dp)) return false;
    UpdateDevicesOfList(platform, state, functions, vdevInfPath, updates);
    return true;
}

void EnableUpdatedAdapters(Platform &platform, RunState &state, const DeviceUpdates &updates) {
    if (updates.switchedOff.empty()) return;
    LogLine(state.log, u"Enable updated adapters...");
    for (const std::u16string &hardwareId : updates.switchedOff)
        SetAdapterStateById(platform, state, hardwareId, AdapterSwitch::On);
}

}  // namespace cvl

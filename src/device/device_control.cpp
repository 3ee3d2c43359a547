#include "device/device_control.h"

#include <algorithm>
#include <string>

#include "common/limits.h"
#include "common/registry_text.h"
#include "common/text.h"
#include "device/device_family.h"
#include "device/device_walks.h"
#include "log/install_log.h"

namespace cvl {
namespace {

constexpr DWORD kAfterEnableMs = 2000;
constexpr std::size_t kNetCfgInstanceIdBytes = 512;

void SendPropertyChange(Platform &platform, const PresentDevice &device, int enable) {
    ClassInstallParams request{};
    request.InstallFunction = DIF_PROPERTYCHANGE;
    request.StateChange = enable == 1 ? DICS_ENABLE : DICS_DISABLE;
    request.Scope = DICS_FLAG_CONFIGSPECIFIC;
    request.HwProfile = 0;
    platform.SetupDiSetClassInstallParamsW(device.list, &device.data, &request);
    platform.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, device.list, &device.data);
}

class FamilyStateChange : public NetworkAdapterVisitor {
public:
    FamilyStateChange(Platform &platform, RunState &state, std::uint8_t family, int enable)
        : platform_(platform), state_(state), family_(family), enable_(enable) {}

    bool Matches(const PresentDevice &, HKEY driverKey) override {
        std::u16string componentId;
        if (!ReadComponentId(platform_, driverKey, componentId)) return false;
        LogText(state_.log, u"ComponentId", componentId);
        return MatchComponentPrefix(family_, componentId, state_.ids);
    }
    bool OnMatch(const PresentDevice &device) override {
        SendPropertyChange(platform_, device, enable_);
        return true;
    }

private:
    Platform &platform_;
    RunState &state_;
    std::uint8_t family_;
    int enable_;
};

class IdStateChange : public NetworkAdapterVisitor {
public:
    IdStateChange(Platform &platform, RunState &state, std::u16string_view idText, int enable)
        : platform_(platform), state_(state), idText_(idText), enable_(enable) {}

    void OnDriverKeyNotOpened(const PresentDevice &) override {
        LogLine(state_.log, u"Not Run as Administrator ?");
    }
    bool Matches(const PresentDevice &, HKEY driverKey) override {
        std::u16string instanceId;
        if (ReadRegistryText(platform_, driverKey, u"NetCfgInstanceId", kNetCfgInstanceIdBytes,
                             instanceId)) {
            LowerAZ(instanceId);
            LogText(state_.log, u"NetCfgInstanceId", instanceId);
            LogText(state_.log, u"NicId", idText_);
            if (EqualsFoldAZ(instanceId, idText_)) return true;
        }
        std::u16string componentId;
        if (!ReadRegistryText(platform_, driverKey, u"ComponentId", limits::kComponentIdBytes,
                              componentId))
            return false;
        const std::u16string_view shortened =
            idText_.substr(0, std::min(idText_.size(), limits::kPrefixCompareChars));
        LogText(state_.log, u"ComponentId", componentId);
        LogText(state_.log, u"NicId", shortened);
        return PrefixEqualsFoldAZ(componentId, shortened, shortened.size());
    }
    bool OnMatch(const PresentDevice &device) override {
        LogLine(state_.log, u"Found!!!");
        SendPropertyChange(platform_, device, enable_);
        return true;
    }

private:
    Platform &platform_;
    RunState &state_;
    std::u16string_view idText_;
    int enable_;
};

}  // namespace

int SetFamilyAdaptersState(Platform &platform, RunState &state, std::uint8_t family, int enable) {
    FamilyStateChange visitor(platform, state, family, enable);
    ForEachNetworkAdapter(platform, FilterForEnableFlag(enable), visitor);
    return 1;
}

int EnableSelectedFamilies(Platform &platform, RunState &state, const InstallOptions &options) {
    struct Selection {
        std::uint32_t InstallOptions::*flag;
        std::uint8_t family;
    };
    const std::uint8_t legacyPci = options.b703 ? FamilyVistaB703 : FamilyPci;
    const Selection order[] = {
        {&InstallOptions::b701, legacyPci},
        {&InstallOptions::b702, FamilyPcie},
        {&InstallOptions::vistaB703, FamilyVistaB703},
        {&InstallOptions::vistaB701, FamilyVistaB701},
        {&InstallOptions::vistaB760, FamilyVistaB760},
        {&InstallOptions::vistaB761, FamilyVistaB761},
        {&InstallOptions::vistaB762, FamilyVistaB762},
        {&InstallOptions::vistaB76x, FamilyVistaB76x},
    };
    for (const Selection &selection : order)
        if (options.*selection.flag) SetFamilyAdaptersState(platform, state, selection.family, 1);
    platform.Sleep(kAfterEnableMs);
    return 1;
}

int SetAdapterStateById(Platform &platform, RunState &state, std::u16string_view idText,
                        int enable) {
    IdStateChange visitor(platform, state, idText, enable);
    ForEachNetworkAdapter(platform, FilterForEnableFlag(enable), visitor);
    return 1;
}

}  // namespace cvl

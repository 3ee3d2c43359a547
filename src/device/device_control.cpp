#include "device/device_control.h"

#include <algorithm>
#include <string>

#include "common/limits.h"
#include "common/text.h"
#include "device/device_walks.h"
#include "device/family_match.h"
#include "log/install_log.h"
#include "system/registry_text.h"

namespace cvl {
namespace {

constexpr DWORD kAfterEnableMs = 2000;

AdapterFilter FilterFor(AdapterSwitch to) {
    return to == AdapterSwitch::On ? AdapterFilter::NotStarted : AdapterFilter::Started;
}

void SendPropertyChange(Platform &platform, const PresentDevice &device, AdapterSwitch to) {
    ClassInstallParams request{};
    request.InstallFunction = DIF_PROPERTYCHANGE;
    request.StateChange = to == AdapterSwitch::On ? DICS_ENABLE : DICS_DISABLE;
    request.Scope = DICS_FLAG_CONFIGSPECIFIC;
    request.HwProfile = 0;
    platform.SetupDiSetClassInstallParamsW(device.list, &device.data, &request);
    platform.SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, device.list, &device.data);
}

class FamilyStateChange : public NetworkAdapterVisitor {
public:
    FamilyStateChange(Platform &platform, RunState &state, DeviceFamily family, AdapterSwitch to)
        : platform_(platform), state_(state), family_(family), to_(to) {}

    bool Matches(const PresentDevice &, HKEY driverKey) override {
        std::u16string componentId;
        if (!ReadComponentId(platform_, driverKey, componentId)) return false;
        LogText(state_.log, u"ComponentId", componentId);
        return MatchComponentPrefix(family_, componentId, state_.ids);
    }
    bool OnMatch(const PresentDevice &device) override {
        SendPropertyChange(platform_, device, to_);
        return true;
    }

private:
    Platform &platform_;
    RunState &state_;
    DeviceFamily family_;
    AdapterSwitch to_;
};

class IdStateChange : public NetworkAdapterVisitor {
public:
    IdStateChange(Platform &platform, RunState &state, std::u16string_view idText, AdapterSwitch to)
        : platform_(platform), state_(state), idText_(idText), to_(to) {}

    void OnDriverKeyNotOpened(const PresentDevice &) override {
        LogLine(state_.log, u"Not Run as Administrator ?");
    }
    bool Matches(const PresentDevice &, HKEY driverKey) override {
        std::u16string instanceId;
        if (ReadRegistryText(platform_, driverKey, u"NetCfgInstanceId",
                             limits::kNetCfgInstanceIdBytes, instanceId)) {
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
        SendPropertyChange(platform_, device, to_);
        return true;
    }

private:
    Platform &platform_;
    RunState &state_;
    std::u16string_view idText_;
    AdapterSwitch to_;
};

}  // namespace

void SetFamilyAdaptersState(Platform &platform, RunState &state, DeviceFamily family,
                            AdapterSwitch to) {
    FamilyStateChange visitor(platform, state, family, to);
    ForEachNetworkAdapter(platform, FilterFor(to), visitor);
}

void EnableSelectedFamilies(Platform &platform, RunState &state,
                            std::span<const DeviceFamily> families) {
    for (DeviceFamily family : families)
        SetFamilyAdaptersState(platform, state, family, AdapterSwitch::On);
    platform.Sleep(kAfterEnableMs);
}

void SetAdapterStateById(Platform &platform, RunState &state, std::u16string_view idText,
                         AdapterSwitch to) {
    IdStateChange visitor(platform, state, idText, to);
    ForEachNetworkAdapter(platform, FilterFor(to), visitor);
}

}  // namespace cvl

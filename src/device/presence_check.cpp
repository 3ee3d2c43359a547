#include "device/presence_check.h"

#include <algorithm>
#include <array>
#include <string>

#include "common/hardware_id_layout.h"
#include "common/limits.h"
#include "common/text.h"
#include "device/device_walks.h"
#include "log/install_log.h"

namespace cvl {
namespace {

using Id = std::u16string_view;

constexpr std::array<Id, 5> kGenericIds{
    u"pci\\ven_1f3a&dev_b701&subsys_00000000", u"pci\\ven_1f3a&dev_b704&subsys_00000000",
    u"pci\\ven_1f3a&dev_b702&subsys_00000000", u"pci\\ven_1f3a&dev_b705&subsys_00000000",
    u"pci\\ven_1f3a&dev_b706&subsys_00000000"};
constexpr std::array<Id, 5> kGenericPrefixes{u"pci\\ven_1f3a&dev_b702", u"pci\\ven_1f3a&dev_b705",
                                             u"pci\\ven_1f3a&dev_b706", u"pci\\ven_1f3a&dev_b701",
                                             u"pci\\ven_1f3a&dev_b704"};
constexpr std::array<Id, 6> kOemBoardIds{
    u"pci\\ven_1432&dev_9230&subsys_14329230", u"pci\\ven_1432&dev_9230&subsys_14320105",
    u"pci\\ven_1432&dev_9230&subsys_14329604", u"pci\\ven_1b9d&dev_4300&subsys_1b9d4300",
    u"pci\\ven_1737&dev_1032&subsys_17370024", u"pci\\ven_16ec&dev_0116&subsys_16ec0116"};
constexpr std::array<Id, 2> kDriverlessPrefixes{u"pci\\ven_1f3a&dev_b707",
                                                u"pci\\ven_1f3a&dev_b709"};

using hardware_id_layout::kQueryIdLength;
using hardware_id_layout::kRevisionFieldAt;

template <std::size_t N>
bool IsOneOf(const std::array<Id, N> &list, std::u16string_view text) {
    return std::find(list.begin(), list.end(), text) != list.end();
}

class DriverAdapterSearch : public NetworkAdapterVisitor {
public:
    DriverAdapterSearch(Platform &platform, RunState &state) : platform_(platform), state_(state) {}

    bool Matches(const PresentDevice &, HKEY driverKey) override {
        std::u16string componentId;
        if (!ReadComponentId(platform_, driverKey, componentId)) return false;
        LogText(state_.log, u"ChkNicExist : ComponentId", componentId);
        HardwareIdLists &ids = state_.ids;
        if (ids.checkCount == 0) return false;
        LowerAZ(ids.CheckHardwareIds[0]);
        if (IsOneOf(kGenericIds, SlotText(ids.CheckHardwareIds[0])))
            return MatchesGeneric(componentId);
        for (std::uint32_t i = 0; i < ids.checkCount && i < ids.CheckHardwareIds.size(); ++i) {
            LowerAZ(ids.CheckHardwareIds[i]);
            const std::u16string_view entry = SlotText(ids.CheckHardwareIds[i]);
            LogText(state_.log, u"ComponentId", entry);
            if (entry == componentId) return true;
        }
        return false;
    }
    bool OnMatch(const PresentDevice &) override {
        found = true;
        return false;
    }

    bool found = false;

private:
    // Any generic prefix is accepted, whichever generic id was asked for.
    bool MatchesGeneric(std::u16string_view componentId) {
        const std::u16string_view cut =
            componentId.substr(0, std::min(componentId.size(), limits::kPrefixCompareChars));
        for (Id prefix : kGenericPrefixes) {
            LogText(state_.log, u"S1", cut);
            if (cut == prefix) {
                LogLine(state_.log, u"EQUAL");
                return true;
            }
        }
        return false;
    }

    Platform &platform_;
    RunState &state_;
};

class HardwareIdSearch : public HardwareIdVisitor {
public:
    HardwareIdSearch(RunState &state, bool deviceQuery)
        : state_(state), deviceQuery_(deviceQuery) {}

    bool OnHardwareId(const PresentDevice &, std::u16string_view hardwareId) override {
        const std::u16string lowered = LoweredAZ(hardwareId);
        LogLine(state_.log, lowered);
        if (deviceQuery_) {
            if (MatchesQuery(lowered)) {
                LogLine(state_.log, u"EQUAL");
                deviceMatched_ = true;
            }
        } else if (!deviceMatched_ && IsOneOf(kOemBoardIds, lowered)) {
            deviceMatched_ = true;
        } else if (IsOneOf(kDriverlessPrefixes,
                           std::u16string_view(lowered).substr(
                               0, std::min(lowered.size(), limits::kPrefixCompareChars)))) {
            LogLine(state_.log, u"EQUAL");
            deviceMatched_ = true;
        }
        return true;
    }
    bool OnDeviceDone(const PresentDevice &) override {
        if (deviceMatched_) {
            found = true;
            return false;
        }
        return true;
    }

    bool found = false;

private:
    bool MatchesQuery(std::u16string_view hardwareId) const {
        if (hardwareId.size() < kQueryIdLength) return false;
        const std::u16string_view query = SlotText(state_.QueryDeviceId);
        if (query.size() < kQueryIdLength) return false;
        // "PCI\VEN_vvvv&DEV_dddd" and "REV_rr".
        const std::size_t revisionLength = kQueryIdLength - kRevisionFieldAt;
        return EqualsFoldAZ(hardwareId.substr(0, limits::kPrefixCompareChars),
                            query.substr(0, limits::kPrefixCompareChars)) &&
               EqualsFoldAZ(hardwareId.substr(kRevisionFieldAt, revisionLength),
                            query.substr(kRevisionFieldAt, revisionLength));
    }

    RunState &state_;
    bool deviceQuery_;
    bool deviceMatched_ = false;
};

}  // namespace

PresenceAnswer LookForAdapter(Platform &platform, RunState &state, PresenceQuery query) {
    DriverAdapterSearch withDriver(platform, state);
    const bool adaptersWalked =
        ForEachNetworkAdapter(platform, AdapterFilter::AnyState, withDriver);
    if (withDriver.found) return PresenceAnswer::Present;
    HardwareIdSearch anyDevice(state, query == PresenceQuery::QueryDeviceId);
    const bool devicesWalked = ForEachPresentDevice(platform, anyDevice);
    if (anyDevice.found) return PresenceAnswer::Present;
    return adaptersWalked && devicesWalked ? PresenceAnswer::Absent : PresenceAnswer::NotLooked;
}

bool ChkNicExist(Platform &platform, RunState &state, PresenceQuery query) {
    return LookForAdapter(platform, state, query) == PresenceAnswer::Present;
}

}  // namespace cvl

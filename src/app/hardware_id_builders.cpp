#include "app/hardware_id_builders.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "common/hardware_id_layout.h"
#include "common/text.h"

namespace cvl {
namespace {

using namespace hardware_id_layout;

constexpr std::u16string_view kEmptyId = kEmptyPciHardwareId;
// The network-controller class code stands in for a subsystem that was not
// given, so that every network adapter of that vendor and device matches.
constexpr std::u16string_view kNetworkClassSuffix = u"&CC_0200";

// Fragments are copied as four characters even when they hold zeros: a
// short fragment ends the text inside it.
template <std::size_t N>
void PutFragment(std::array<char16_t, N> &slot, std::size_t at, const IdFragment &fragment) {
    static_assert(N > kSubsystemAt + 2 * limits::kIdFragmentChars);
    for (std::size_t i = 0; i < fragment.size(); ++i) slot[at + i] = fragment[i];
}

// Every build starts again from the empty id, so a slot never keeps a
// piece of an earlier text. `putSubsystem` finishes each slot.
template <typename FragmentList, typename SlotArray, typename PutSubsystem>
std::uint32_t BuildSlots(const FragmentList &list, SlotArray &slots, PutSubsystem putSubsystem) {
    for (std::size_t i = 0; i < list.count; ++i) {
        const auto &entry = list.entries[i];
        auto &slot = slots[i];
        StoreInSlot(slot, kEmptyId);
        PutFragment(slot, kVendorAt, entry.vendorId);
        PutFragment(slot, kDeviceAt, entry.deviceId);
        putSubsystem(slot, entry);
    }
    return list.count;
}

}  // namespace

void BuildOemHardwareIds(RunState &state) {
    state.ids.oemCount = BuildSlots(
        state.oemFragments, state.ids.OemHardwareIds,
        [](OemHardwareIdSlot &slot, const OemIdFragments &entry) {
            if (entry.subsystemDeviceId[0] != 0 && entry.subsystemVendorId[0] != 0) {
                PutFragment(slot, kSubsystemAt, entry.subsystemDeviceId);
                PutFragment(slot, kSubsystemAt + limits::kIdFragmentChars, entry.subsystemVendorId);
            } else {
                kNetworkClassSuffix.copy(&slot[kSubsystemAnd], kNetworkClassSuffix.size());
                slot[kSubsystemAnd + kNetworkClassSuffix.size()] = 0;
            }
        });
}

void BuildCheckHardwareIds(RunState &state) {
    state.ids.checkCount = BuildSlots(state.checkFragments, state.ids.CheckHardwareIds,
                                      [](CheckHardwareIdSlot &slot, const CheckIdFragments &entry) {
                                          PutFragment(slot, kSubsystemAt, entry.subsystemId);
                                          PutFragment(slot, kSubsystemAt + limits::kIdFragmentChars,
                                                      entry.subsystemVendorId);
                                      });
}

}  // namespace cvl

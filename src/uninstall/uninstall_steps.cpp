#include "uninstall/uninstall_steps.h"

#include <new>

#include "common/text.h"
#include "state/setup_state.h"
#include "uninstall/adapter_lookup.h"
#include "uninstall/device_removal.h"
#include "uninstall/inf_cleanup.h"

namespace cvl {
namespace {

constexpr char16_t kUninstallKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

}  // namespace

bool RemovalIdList::Allocate(std::size_t capacity) {
    block_.Adopt(platform_.LocalAlloc(LPTR, capacity * sizeof(std::u16string_view)));
    if (!block_.IsOpen()) return false;
    items_ = static_cast<std::u16string_view *>(block_.Get());
    for (std::size_t i = 0; i < capacity; ++i) new (items_ + i) std::u16string_view();
    capacity_ = capacity;
    count_ = 0;
    return true;
}

void RemovalIdList::Append(std::u16string_view id) {
    if (count_ < capacity_) items_[count_++] = id;
}

void RemovalIdList::AppendAll(std::span<const std::u16string_view> ids) {
    for (const std::u16string_view id : ids) Append(id);
}

void RemovalIdList::AppendOemIds(const RunState &state) {
    for (std::uint32_t i = 0; i < state.ids.oemCount && i < state.ids.OemHardwareIds.size(); ++i)
        Append(SlotText(state.ids.OemHardwareIds[i]));
}

PathBuffer::PathBuffer(Platform &platform)
    : block_(platform, platform.LocalAlloc(LPTR, kCapacityBytes)) {}

void RemoveSourcePath(Platform &platform, const PathBuffer &buffer, DeviceFamily family) {
    DWORD size = PathBuffer::kCapacityBytes;
    if (!ReadSetupValue(platform, u"SourcePath", buffer.Bytes(), size, family)) return;
    const std::u16string path(TextOf(reinterpret_cast<const char16_t *>(buffer.Bytes()),
                                     PathBuffer::kCapacityBytes / sizeof(char16_t)));
    platform.SetupRemoveFromSourceListW(SRCLIST_SYSIFADMIN, path.c_str());
}

void DeleteUninstallEntry(Platform &platform, const char16_t *entry) {
    ScopedKey uninstall(platform);
    if (platform.RegOpenKeyExW(HKeyLocalMachine(), kUninstallKey, 0, KEY_ALL_ACCESS,
                               uninstall.Receive()) == ERROR_SUCCESS)
        platform.RegDeleteKeyW(uninstall.Get(), entry);
}

void RemoveDevicesWithIds(Platform &platform, RunState &state,
                          std::span<const std::u16string_view> ids) {
    for (const std::u16string_view id : ids)
        FindExistingDevice(platform, state.log, id, state.osKind);
}

bool NoAdapterLeft(Platform &platform, RunState &state, DeviceFamily first, DeviceFamily second) {
    FamilyAdapterLookup answer = LookUpFamilyAdapter(platform, state, first);
    if (answer == FamilyAdapterAbsent) answer = LookUpFamilyAdapter(platform, state, second);
    if (answer != FamilyAdapterAbsent) return false;
    DeleteUninstallDlls(platform);
    DeletePropertyPageDlls(platform);
    return true;
}

}  // namespace cvl

#include "state/setup_state.h"

#include <array>

#include "family/family_orders.h"
#include "family/family_table.h"
#include "system/registry_text.h"

namespace cvl {
namespace {

constexpr char16_t kSoftware[] = u"Software";
constexpr char16_t kSetupKey[] = u"CVLSetup";

bool OpenExisting(Platform &platform, HKEY parent, const char16_t *name, ScopedKey &key) {
    return platform.RegOpenKeyExW(parent, name, 0, KEY_ALL_ACCESS, key.Receive()) == ERROR_SUCCESS;
}

bool CreateOrOpen(Platform &platform, HKEY parent, const char16_t *name, ScopedKey &key) {
    return platform.RegCreateKeyExW(parent, name, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                    key.Receive(), nullptr) == ERROR_SUCCESS;
}

bool HasAnySubkey(Platform &platform, HKEY key) {
    char16_t name[256] = {};
    DWORD length = 256;
    const LSTATUS status = platform.RegEnumKeyExW(key, 0, name, &length);
    return status == ERROR_SUCCESS || status == ERROR_MORE_DATA;
}

void ApplyStatus(Platform &platform, const char16_t *keyPath, StatusOperation operation,
                 OsKind osKind, std::u16string_view packageDriverVersion) {
    if (operation == StatusWrite) {
        ScopedKey key(platform);
        if (!CreateOrOpen(platform, HKeyLocalMachine(), keyPath, key)) return;
        const bool restartAsked = IsWindows98OrMe(osKind);
        WriteRegistryText(platform, key.Get(), u"install", u"success");
        WriteRegistryText(platform, key.Get(), u"reboot", restartAsked ? u"yes" : u"no");
        WriteRegistryText(platform, key.Get(), u"version", packageDriverVersion);
    } else if (operation == StatusDelete) {
        platform.RegDeleteKeyW(HKeyLocalMachine(), keyPath);
    }
}

}  // namespace

const char16_t *SetupFamilySubkey(DeviceFamily family) {
    const FamilyRow *row = FamilyRowOf(family);
    return row != nullptr ? row->setupSubkey : nullptr;
}

bool ReadSetupValue(Platform &platform, const char16_t *valueName, BYTE *data, DWORD &size,
                    DeviceFamily family) {
    const DWORD capacity = size;
    size = 0;
    const char16_t *subkey = SetupFamilySubkey(family);
    if (subkey == nullptr || family == FamilyVdevQ2dp) return false;
    ScopedKey software(platform);
    ScopedKey setup(platform);
    ScopedKey familyKey(platform);
    if (!OpenExisting(platform, HKeyLocalMachine(), kSoftware, software) ||
        !OpenExisting(platform, software.Get(), kSetupKey, setup) ||
        !OpenExisting(platform, setup.Get(), subkey, familyKey))
        return false;
    DWORD needed = 0;
    if (platform.RegQueryValueExW(familyKey.Get(), valueName, nullptr, nullptr, &needed) !=
        ERROR_SUCCESS)
        return false;
    if (needed > capacity) {
        size = needed;
        return false;
    }
    DWORD stored = capacity;
    if (platform.RegQueryValueExW(familyKey.Get(), valueName, nullptr, data, &stored) !=
        ERROR_SUCCESS)
        return false;
    size = stored;
    return true;
}

bool WriteSetupValue(Platform &platform, const char16_t *valueName, std::u16string_view text,
                     DeviceFamily family) {
    ScopedKey software(platform);
    ScopedKey setup(platform);
    if (!CreateOrOpen(platform, HKeyLocalMachine(), kSoftware, software) ||
        !CreateOrOpen(platform, software.Get(), kSetupKey, setup))
        return false;
    const char16_t *subkey = SetupFamilySubkey(family);
    ScopedKey familyKey(platform);
    if (subkey == nullptr || !CreateOrOpen(platform, setup.Get(), subkey, familyKey)) return false;
    return WriteRegistryText(platform, familyKey.Get(), valueName, text) == ERROR_SUCCESS;
}

void DeleteSetupFamily(Platform &platform, DeviceFamily family) {
    ScopedKey software(platform);
    ScopedKey setup(platform);
    if (!OpenExisting(platform, HKeyLocalMachine(), kSoftware, software) ||
        !OpenExisting(platform, software.Get(), kSetupKey, setup))
        return;
    if (const char16_t *subkey = SetupFamilySubkey(family))
        platform.RegDeleteKeyW(setup.Get(), subkey);
    for (const DeviceFamily holder : family_order::kSetupKeyHolders) {
        ScopedKey probe(platform);
        if (OpenExisting(platform, setup.Get(), SetupFamilySubkey(holder), probe)) return;
    }
    // Windows 9x deletes a key with all its subkeys, so a key that still
    // holds the "PCI" or "PCIE" state stays; Windows NT refuses that
    // deletion anyway.
    if (HasAnySubkey(platform, setup.Get())) return;
    setup.Reset();
    platform.RegDeleteKeyW(software.Get(), kSetupKey);
}

void SetFamilyStatus(Platform &platform, DeviceFamily family, StatusOperation operation,
                     OsKind osKind, std::u16string_view packageDriverVersion) {
    const FamilyRow *row = FamilyRowOf(family);
    if (row != nullptr && row->statusKey != nullptr)
        ApplyStatus(platform, row->statusKey, operation, osKind, packageDriverVersion);
}

}  // namespace cvl

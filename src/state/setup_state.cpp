#include "state/setup_state.h"

#include <array>

#include "common/registry_text.h"

namespace cvl {
namespace {

constexpr char16_t kSoftware[] = u"Software";
constexpr char16_t kSetupKey[] = u"CVLSetup";

struct SubkeyRow {
    SetupFamilySelector selector;
    const char16_t *name;
};

constexpr std::array<SubkeyRow, 9> kSubkeys{{
    {1, u"PCIE"},
    {2, u"PCI"},
    {3, u"VISTA_B701"},
    {4, u"VISTA_B703"},
    {5, u"VISTA_B760"},
    {6, u"VDEV_Q2DP"},
    {7, u"VISTA_B761"},
    {8, u"VISTA_B762"},
    {9, u"VISTA_B76x"},
}};

// The subkeys whose absence lets CVLSetup go.
constexpr std::array<const char16_t *, 7> kPerFamilySubkeys{
    u"VISTA_B701", u"VISTA_B703", u"VISTA_B760", u"VISTA_B761",
    u"VISTA_B762", u"VISTA_B76x", u"VDEV_Q2DP"};

constexpr SetupFamilySelector kVdevSelector = 6;

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

void ApplyStatus(Platform &platform, const char16_t *keyPath, int operation, std::uint32_t osKind,
                 std::u16string_view packageDriverVersion) {
    constexpr std::uint32_t kOs9xMe = 6;
    constexpr std::uint32_t kOs9x98 = 7;
    if (operation == StatusWrite) {
        ScopedKey key(platform);
        if (!CreateOrOpen(platform, HKeyLocalMachine(), keyPath, key)) return;
        const bool restartAsked = osKind == kOs9xMe || osKind == kOs9x98;
        WriteRegistryText(platform, key.Get(), u"install", u"success");
        WriteRegistryText(platform, key.Get(), u"reboot", restartAsked ? u"yes" : u"no");
        WriteRegistryText(platform, key.Get(), u"version", packageDriverVersion);
    } else if (operation == StatusDelete) {
        platform.RegDeleteKeyW(HKeyLocalMachine(), keyPath);
    }
}

}  // namespace

const char16_t *SetupFamilySubkey(SetupFamilySelector selector) {
    for (const SubkeyRow &row : kSubkeys)
        if (row.selector == selector) return row.name;
    return nullptr;
}

bool ReadSetupValue(Platform &platform, const char16_t *valueName, BYTE *data, DWORD &size,
                    SetupFamilySelector selector) {
    const DWORD capacity = size;
    size = 0;
    const char16_t *subkey = SetupFamilySubkey(selector);
    if (subkey == nullptr || selector == kVdevSelector) return false;
    ScopedKey software(platform);
    ScopedKey setup(platform);
    ScopedKey family(platform);
    if (!OpenExisting(platform, HKeyLocalMachine(), kSoftware, software) ||
        !OpenExisting(platform, software.Get(), kSetupKey, setup) ||
        !OpenExisting(platform, setup.Get(), subkey, family))
        return false;
    DWORD needed = 0;
    if (platform.RegQueryValueExW(family.Get(), valueName, nullptr, nullptr, &needed) !=
        ERROR_SUCCESS)
        return false;
    if (needed > capacity) {
        size = needed;
        return false;
    }
    DWORD stored = capacity;
    if (platform.RegQueryValueExW(family.Get(), valueName, nullptr, data, &stored) != ERROR_SUCCESS)
        return false;
    size = stored;
    return true;
}

bool WriteSetupValue(Platform &platform, const char16_t *valueName, std::u16string_view text,
                     SetupFamilySelector selector) {
    ScopedKey software(platform);
    ScopedKey setup(platform);
    ScopedKey family(platform);
    if (!CreateOrOpen(platform, HKeyLocalMachine(), kSoftware, software) ||
        !CreateOrOpen(platform, software.Get(), kSetupKey, setup))
        return false;
    const char16_t *subkey = SetupFamilySubkey(selector);
    if (subkey == nullptr || !CreateOrOpen(platform, setup.Get(), subkey, family)) return false;
    return WriteRegistryText(platform, family.Get(), valueName, text) == ERROR_SUCCESS;
}

void DeleteSetupFamily(Platform &platform, SetupFamilySelector selector) {
    ScopedKey software(platform);
    ScopedKey setup(platform);
    if (!OpenExisting(platform, HKeyLocalMachine(), kSoftware, software) ||
        !OpenExisting(platform, software.Get(), kSetupKey, setup))
        return;
    if (const char16_t *subkey = SetupFamilySubkey(selector))
        platform.RegDeleteKeyW(setup.Get(), subkey);
    for (const char16_t *name : kPerFamilySubkeys) {
        ScopedKey probe(platform);
        if (OpenExisting(platform, setup.Get(), name, probe)) return;
    }
    // Windows 9x deletes a key with all its subkeys, so a key that still
    // holds the "PCI" or "PCIE" state stays; Windows NT refuses that
    // deletion anyway.
    if (HasAnySubkey(platform, setup.Get())) return;
    setup.Reset();
    platform.RegDeleteKeyW(software.Get(), kSetupKey);
}

void SetNetworkStatus(Platform &platform, int operation, std::uint32_t osKind,
                      std::u16string_view packageDriverVersion) {
    ApplyStatus(platform, u"Software\\Corvane\\Network", operation, osKind, packageDriverVersion);
}

void SetUsbFeStatus(Platform &platform, int operation, std::uint32_t osKind,
                    std::u16string_view packageDriverVersion) {
    ApplyStatus(platform, u"Software\\Corvane\\USBFENetwork", operation, osKind,
                packageDriverVersion);
}

void SetUsbGbeStatus(Platform &platform, int operation, std::uint32_t osKind,
                     std::u16string_view packageDriverVersion) {
    ApplyStatus(platform, u"Software\\Corvane\\USBGBENetwork", operation, osKind,
                packageDriverVersion);
}

}  // namespace cvl

#include "state/setup_state.h"

#include <array>

#include "common/registry_text.h"

namespace cvl {
namespace {

constexpr char16_t kSoftware[] = u"Software";
constexpr char16_t kSetupKey[] = u"CVLSetup";

struct SubkeyRow {
    DeviceFamily family;
    const char16_t *name;
};

constexpr std::array<SubkeyRow, 9> kSubkeys{{
    {FamilyPcie, u"PCIE"},
    {FamilyPci, u"PCI"},
    {FamilyVistaB701, u"VISTA_B701"},
    {FamilyVistaB703, u"VISTA_B703"},
    {FamilyVistaB760, u"VISTA_B760"},
    {FamilyVdevQ2dp, u"VDEV_Q2DP"},
    {FamilyVistaB761, u"VISTA_B761"},
    {FamilyVistaB762, u"VISTA_B762"},
    {FamilyVistaB76x, u"VISTA_B76x"},
}};

// The subkeys whose absence lets CVLSetup go.
constexpr std::array<const char16_t *, 7> kPerFamilySubkeys{
    u"VISTA_B701", u"VISTA_B703", u"VISTA_B760", u"VISTA_B761",
    u"VISTA_B762", u"VISTA_B76x", u"VDEV_Q2DP"};

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
    for (const SubkeyRow &row : kSubkeys)
        if (row.family == family) return row.name;
    return nullptr;
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

void SetNetworkStatus(Platform &platform, StatusOperation operation, OsKind osKind,
                      std::u16string_view packageDriverVersion) {
    ApplyStatus(platform, u"Software\\Corvane\\Network", operation, osKind, packageDriverVersion);
}

void SetUsbFeStatus(Platform &platform, StatusOperation operation, OsKind osKind,
                    std::u16string_view packageDriverVersion) {
    ApplyStatus(platform, u"Software\\Corvane\\USBFENetwork", operation, osKind,
                packageDriverVersion);
}

void SetUsbGbeStatus(Platform &platform, StatusOperation operation, OsKind osKind,
                     std::u16string_view packageDriverVersion) {
    ApplyStatus(platform, u"Software\\Corvane\\USBGBENetwork", operation, osKind,
                packageDriverVersion);
}

}  // namespace cvl

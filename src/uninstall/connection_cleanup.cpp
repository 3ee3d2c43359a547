#include "uninstall/connection_cleanup.h"

#include <string>
#include <vector>

#include "common/limits.h"
#include "common/text.h"
#include "family/family_orders.h"
#include "family/family_table.h"
#include "system/registry_text.h"
#include "system/scoped_handle.h"
#include "uninstall/cleanup_paths.h"
#include "uninstall/description_tables.h"

namespace cvl {
namespace {

constexpr char16_t kNetworkClassKey[] =
    u"SYSTEM\\CurrentControlSet\\Control\\Network\\{4d36e972-e325-11ce-bfc1-08002be10318}";
constexpr char16_t kLegacyNetClassKey[] = u"System\\CurrentControlSet\\Services\\Class\\Net";
constexpr char16_t kB760Description[] = u"Corvane CVLB760 USB 10/100 Fast Ethernet Adapter";
constexpr std::u16string_view kDescriptionsName = u"Descriptions";
constexpr DWORD kNameBufferChars = 261;
constexpr DWORD kValueNameChars = 260;
constexpr std::size_t kPnpInstanceIdBytes = 522;
constexpr std::size_t kDriverDescBytes = 512;
constexpr int kLegacyEntryCount = 9;

bool HasManagementFunctions(DeviceFamily family, const InstallOptions &options) {
    return options.families.Has(FamilyVdevQ2dp) && FamilyRowOf(family)->carriesVirtualDevice;
}

bool ConnectionIsSelected(std::u16string_view pnpInstanceId,
                          const std::vector<DeviceFamily> &families) {
    for (const DeviceFamily family : families)
        for (const std::u16string_view prefix : FamilyComponentPrefixes(family))
            if (PrefixEqualsFoldAZ(pnpInstanceId, prefix, limits::kPrefixCompareChars)) return true;
    return false;
}

// True when the connection subkey was deleted.
bool CleanConnection(Platform &platform, HKEY classKey, std::u16string_view subkey,
                     const std::vector<DeviceFamily> &families) {
    const auto connectionPath =
        JoinWithin(kNameBufferChars, {kNetworkClassKey, u"\\", subkey, u"\\Connection"});
    if (!connectionPath) return false;
    ScopedKey connection(platform);
    if (platform.RegOpenKeyExW(HKeyLocalMachine(), connectionPath->c_str(), 0, KEY_ALL_ACCESS,
                               connection.Receive()) != ERROR_SUCCESS)
        return false;
    std::u16string pnpInstanceId;
    if (!ReadRegistryText(platform, connection.Get(), u"PnpInstanceID", kPnpInstanceIdBytes,
                          pnpInstanceId))
        return false;
    LowerAZ(pnpInstanceId);
    if (!ConnectionIsSelected(pnpInstanceId, families)) return false;
    connection.Reset();
    return DeleteRegistryTree(platform, classKey, subkey);
}

void DeleteExactDescriptions(Platform &platform, HKEY descriptions,
                             std::span<const std::u16string_view> rows) {
    for (const std::u16string_view row : rows) {
        const std::u16string name(row);
        if (platform.RegQueryValueExW(descriptions, name.c_str(), nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS)
            platform.RegDeleteValueW(descriptions, name.c_str());
    }
}

bool BeginsWithAnyPrefix(std::u16string_view name, const std::vector<DeviceFamily> &families) {
    for (const DeviceFamily family : families)
        for (const std::u16string_view prefix : DescriptionListsFor(family).prefixes)
            if (PrefixEqualsFoldAZ(name, prefix, prefix.size())) return true;
    return false;
}

void CleanDescriptions(Platform &platform, HKEY classKey, const InstallOptions &options,
                       const std::vector<DeviceFamily> &families) {
    ScopedKey descriptions(platform);
    if (platform.RegOpenKeyExW(classKey, u"Descriptions", 0, KEY_ALL_ACCESS,
                               descriptions.Receive()) != ERROR_SUCCESS)
        return;
    for (const DeviceFamily family : families) {
        DeleteExactDescriptions(platform, descriptions.Get(), DescriptionListsFor(family).exact);
        if (HasManagementFunctions(family, options))
            DeleteExactDescriptions(platform, descriptions.Get(),
                                    DescriptionListsFor(FamilyVdevQ2dp).exact);
    }
    for (DWORD index = 0;;) {
        char16_t name[kNameBufferChars] = {};
        DWORD nameSize = kValueNameChars;
        const LSTATUS status = platform.RegEnumValueW(descriptions.Get(), index, name, &nameSize,
                                                      nullptr, nullptr, nullptr);
        // A name that does not fit is passed over; it is no description of
        // the tables.
        if (status == ERROR_MORE_DATA) {
            ++index;
            continue;
        }
        if (status != ERROR_SUCCESS) break;
        const std::u16string_view valueName = TextOf(name, kNameBufferChars);
        if (BeginsWithAnyPrefix(valueName, families) &&
            platform.RegDeleteValueW(descriptions.Get(), name) == ERROR_SUCCESS)
            continue;
        ++index;
    }
}

}  // namespace

bool CleanNetworkConnectionEntries(Platform &platform, const InstallOptions &options) {
    ScopedKey classKey(platform);
    if (platform.RegOpenKeyExW(HKeyLocalMachine(), kNetworkClassKey, 0, KEY_ALL_ACCESS,
                               classKey.Receive()) != ERROR_SUCCESS)
        return false;
    const std::vector<DeviceFamily> families = options.families.InOrder(family_order::kRemoval);
    for (DWORD index = 0;;) {
        char16_t name[kNameBufferChars] = {};
        DWORD nameSize = kNameBufferChars;
        const LSTATUS status = platform.RegEnumKeyExW(classKey.Get(), index, name, &nameSize);
        if (status == ERROR_NO_MORE_ITEMS) return true;
        if (status != ERROR_SUCCESS) return false;
        const std::u16string_view subkey = TextOf(name, kNameBufferChars);
        if (PrefixEqualsFoldAZ(subkey, kDescriptionsName, kDescriptionsName.size())) {
            CleanDescriptions(platform, classKey.Get(), options, families);
        } else if (CleanConnection(platform, classKey.Get(), subkey, families)) {
            continue;
        }
        ++index;
    }
}

void CleanLegacyNetClassEntries(Platform &platform, RunState &state) {
    ScopedKey legacy(platform);
    if (platform.RegOpenKeyExW(HKeyLocalMachine(), kLegacyNetClassKey, 0, KEY_ALL_ACCESS,
                               legacy.Receive()) != ERROR_SUCCESS)
        return;
    LogLine(state.log, u"OPEN NET SUCC");
    for (int entry = 0; entry < kLegacyEntryCount; ++entry) {
        const std::u16string name = u"000" + DecimalText(entry);
        ScopedKey subkey(platform);
        if (platform.RegOpenKeyExW(legacy.Get(), name.c_str(), 0, KEY_ALL_ACCESS,
                                   subkey.Receive()) != ERROR_SUCCESS)
            continue;
        LogLine(state.log, u"OPEN NET SERIAL SUCC");
        std::u16string description;
        if (ReadRegistryText(platform, subkey.Get(), u"DriverDesc", kDriverDescBytes,
                             description) &&
            EqualsFoldAZ(description, kB760Description))
            platform.RegDeleteKeyW(legacy.Get(), name.c_str());
    }
}

}  // namespace cvl

#include "install/signing_policy.h"

#include <optional>

#include "system/scoped_handle.h"

namespace cvl {
namespace {

constexpr char16_t kPolicyKey[] = u"Software\\Microsoft\\Driver Signing";
constexpr char16_t kPolicyValue[] = u"Policy";
// The policy is one byte or one number; anything much larger is not a
// policy this program knows how to put back.
constexpr DWORD kMaxPolicyBytes = 64;
constexpr DWORD kIgnore = 0;

struct PolicyHive {
    HKEY hive;
    DWORD relaxedType;
};

std::optional<std::vector<BYTE>> ReadPolicy(Platform &platform, HKEY key, DWORD &type) {
    DWORD size = 0;
    if (platform.RegQueryValueExW(key, kPolicyValue, &type, nullptr, &size) != ERROR_SUCCESS ||
        size > kMaxPolicyBytes)
        return std::nullopt;
    std::vector<BYTE> data(kMaxPolicyBytes);
    size = kMaxPolicyBytes;
    if (platform.RegQueryValueExW(key, kPolicyValue, &type, data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size);
    return data;
}

void WritePolicy(Platform &platform, HKEY key, DWORD type, const std::vector<BYTE> &data) {
    platform.RegSetValueExW(key, kPolicyValue, type, data.data(), static_cast<DWORD>(data.size()));
}

std::vector<BYTE> RelaxedData(DWORD type) {
    if (type == REG_DWORD) {
        const DWORD value = kIgnore;
        const BYTE *bytes = reinterpret_cast<const BYTE *>(&value);
        return std::vector<BYTE>(bytes, bytes + sizeof(value));
    }
    return {static_cast<BYTE>(kIgnore)};
}

}  // namespace

bool SigningPolicyGuard::Relax() {
    const PolicyHive hives[] = {{HKeyLocalMachine(), REG_BINARY}, {HKeyCurrentUser(), REG_DWORD}};
    for (const PolicyHive &hive : hives) {
        ScopedKey key(platform_);
        if (platform_.RegOpenKeyExW(hive.hive, kPolicyKey, 0, KEY_ALL_ACCESS, key.Receive()) !=
            ERROR_SUCCESS)
            continue;
        DWORD type = REG_NONE;
        std::optional<std::vector<BYTE>> data = ReadPolicy(platform_, key.Get(), type);
        if (!data) continue;
        saved_.push_back({hive.hive, type, std::move(*data)});
        WritePolicy(platform_, key.Get(), hive.relaxedType, RelaxedData(hive.relaxedType));
    }
    return !saved_.empty();
}

void SigningPolicyGuard::Restore() {
    for (const SavedValue &value : saved_) {
        ScopedKey key(platform_);
        if (platform_.RegOpenKeyExW(value.hive, kPolicyKey, 0, KEY_ALL_ACCESS, key.Receive()) ==
            ERROR_SUCCESS)
            WritePolicy(platform_, key.Get(), value.type, value.data);
    }
    saved_.clear();
}

}  // namespace cvl

// The registry named by paths, for the calls that name keys by path and for
// the seeding and read-back.
#include "platform/sim/parts/registry_paths.h"
#include <algorithm>
#include "common/text.h"
#include "platform/sim/parts/registry.h"

namespace cvl::sim {
namespace {

std::vector<BYTE> TextBytes(std::u16string_view text) {
    std::vector<BYTE> bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    return bytes;
}

void AppendZero(std::vector<BYTE> &bytes) {
    bytes.push_back(0);
    bytes.push_back(0);
}

}  // namespace

bool RegistryPaths::SetRegValue(std::u16string_view keyPath, std::u16string_view name, DWORD type,
                                std::vector<BYTE> data) {
    const auto key = registry_.MakeKey(keyPath);
    if (!key) return false;
    key->SetValue(name, RegValue{type, std::move(data)});
    return true;
}

bool RegistryPaths::SetRegString(std::u16string_view keyPath, std::u16string_view name,
                                 std::u16string_view text, DWORD type) {
    std::vector<BYTE> bytes = TextBytes(text);
    AppendZero(bytes);
    return SetRegValue(keyPath, name, type, std::move(bytes));
}

bool RegistryPaths::SetRegMultiString(std::u16string_view keyPath, std::u16string_view name,
                                      const std::vector<std::u16string> &texts) {
    std::vector<BYTE> bytes;
    for (const auto &text : texts) {
        const std::vector<BYTE> one = TextBytes(text);
        bytes.insert(bytes.end(), one.begin(), one.end());
        AppendZero(bytes);
    }
    AppendZero(bytes);
    return SetRegValue(keyPath, name, REG_MULTI_SZ, std::move(bytes));
}

bool RegistryPaths::SetRegDword(std::u16string_view keyPath, std::u16string_view name,
                                DWORD value) {
    std::vector<BYTE> bytes(4);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(value >> (8 * i));
    return SetRegValue(keyPath, name, REG_DWORD, std::move(bytes));
}

bool RegistryPaths::DeleteRegValue(std::u16string_view keyPath, std::u16string_view name) {
    const auto key = registry_.FindKey(keyPath);
    return key && key->RemoveValue(name);
}

bool RegistryPaths::CreateRegKey(std::u16string_view keyPath) {
    return registry_.MakeKey(keyPath) != nullptr;
}

bool RegistryPaths::DeleteRegTree(std::u16string_view keyPath) {
    const auto key = registry_.FindKey(keyPath);
    return key && registry_.DeleteTree(*key);
}

bool RegistryPaths::RegKeyExists(std::u16string_view keyPath) const {
    return registry_.FindKey(keyPath) != nullptr;
}

std::optional<RegValue> RegistryPaths::GetRegValue(std::u16string_view keyPath,
                                                   std::u16string_view name) const {
    const auto key = registry_.FindKey(keyPath);
    if (!key) return std::nullopt;
    const RegValue *value = key->Value(name);
    if (value == nullptr) return std::nullopt;
    return *value;
}

std::optional<std::u16string> RegistryPaths::GetRegString(std::u16string_view keyPath,
                                                          std::u16string_view name) const {
    const auto key = registry_.FindKey(keyPath);
    if (!key) return std::nullopt;
    const RegValue *value = key->Value(name);
    if (value == nullptr) return std::nullopt;
    return RegStringOf(*value);
}

std::optional<DWORD> RegistryPaths::GetRegDword(std::u16string_view keyPath,
                                                std::u16string_view name) const {
    const auto value = GetRegValue(keyPath, name);
    if (!value || value->type != REG_DWORD || value->data.size() < 4) return std::nullopt;
    DWORD result = 0;
    for (int i = 0; i < 4; ++i) result |= static_cast<DWORD>(value->data[i]) << (8 * i);
    return result;
}

std::vector<std::u16string> RegistryPaths::RegSubkeyNames(std::u16string_view keyPath) const {
    std::vector<std::u16string> names;
    if (const auto key = registry_.FindKey(keyPath))
        for (const auto &subkey : key->subkeys) names.push_back(subkey->name);
    return names;
}

std::vector<std::pair<std::u16string, RegValue>> RegistryPaths::RegValues(
    std::u16string_view keyPath) const {
    if (const auto key = registry_.FindKey(keyPath)) return key->values;
    return {};
}

}  // namespace cvl::sim

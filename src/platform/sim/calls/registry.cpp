// The registry calls. They return their error instead of setting the last
// error, as the Win32 registry functions do.
#include <cstring>

#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

constexpr DWORD ERROR_NOACCESS = 998;

bool IsModelledRoot(HKEY key) {
    return key == HKeyLocalMachine() || key == HKeyCurrentUser();
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Copies a value into a caller's buffer that is known to be large enough.
// Like NT, a string stored without its final zero gets one when it fits.
void CopyValueData(const RegValue &value, BYTE *data, DWORD capacity) {
    const std::size_t size = value.data.size();
    if (size > 0) std::memcpy(data, value.data.data(), size);
    if (IsStringType(value.type) && size >= 2 && size + 2 <= capacity &&
        (value.data[size - 2] != 0 || value.data[size - 1] != 0)) {
        data[size] = 0;
        data[size + 1] = 0;
    }
}

}  // namespace

LSTATUS SimulatedPlatform::DoRegOpenKeyExW(HKEY key, const char16_t *subKey, DWORD, REGSAM sam,
                                           HKEY *result) {
    Machine &m = *machine_;
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    // An empty name on a root key gives that root key back, not a new handle.
    if ((subKey == nullptr || *subKey == u'\0') && IsModelledRoot(key)) {
        *result = key;
        return ERROR_SUCCESS;
    }
    std::shared_ptr<RegKeyNode> node;
    if (const LSTATUS status = m.registry.ExistingKey(key, subKey, node); status != ERROR_SUCCESS)
        return status;
    *result = m.registry.OpenHandle(node, sam);
    return ERROR_SUCCESS;
}

LSTATUS SimulatedPlatform::DoRegCreateKeyExW(HKEY key, const char16_t *subKey, DWORD, REGSAM sam,
                                             HKEY *result, DWORD *disposition) {
    Machine &m = *machine_;
    if (result == nullptr) return static_cast<LSTATUS>(ERROR_BADKEY);
    std::shared_ptr<RegKeyNode> node;
    REGSAM access = 0;
    if (const LSTATUS status = m.registry.KeyOf(key, node, access); status != ERROR_SUCCESS)
        return status;
    const auto names = SplitSubKey(subKey);
    if (!names) return static_cast<LSTATUS>(ERROR_BAD_PATHNAME);
    std::size_t existing = 0;
    std::shared_ptr<RegKeyNode> walk = node;
    while (existing < names->size()) {
        auto next = walk->Subkey((*names)[existing]);
        if (!next) break;
        walk = next;
        ++existing;
    }
    const bool creates = existing < names->size();
    if (creates && !(access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    for (std::size_t i = existing; i < names->size(); ++i) walk = walk->AddSubkey((*names)[i]);
    *result = m.registry.OpenHandle(walk, sam);
    if (disposition != nullptr)
        *disposition = creates ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LSTATUS SimulatedPlatform::DoRegQueryValueExW(HKEY key, const char16_t *valueName, DWORD *type,
                                              BYTE *data, DWORD *dataSize) {
    Machine &m = *machine_;
    if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<RegKeyNode> node;
    REGSAM access = 0;
    if (const LSTATUS status = m.registry.KeyOf(key, node, access); status != ERROR_SUCCESS)
        return status;
    if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const RegValue *value = node->Value(valueName != nullptr ? valueName : u"");
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    const auto size = static_cast<DWORD>(value->data.size());
    LSTATUS status = ERROR_SUCCESS;
    if (data != nullptr) {
        // Too small: nothing is copied, the size needed comes back.
        if (*dataSize < size) {
            status = ERROR_MORE_DATA;
        } else {
            CopyValueData(*value, data, *dataSize);
        }
    }
    if (type != nullptr) *type = value->type;
    if (dataSize != nullptr) *dataSize = size;
    return status;
}

LSTATUS SimulatedPlatform::DoRegSetValueExW(HKEY key, const char16_t *valueName, DWORD type,
                                            const BYTE *data, DWORD dataSize) {
    Machine &m = *machine_;
    std::shared_ptr<RegKeyNode> node;
    REGSAM access = 0;
    if (const LSTATUS status = m.registry.KeyOf(key, node, access); status != ERROR_SUCCESS)
        return status;
    if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (data == nullptr && dataSize > 0) return static_cast<LSTATUS>(ERROR_NOACCESS);
    RegValue value{type, {}};
    if (dataSize > 0) value.data.assign(data, data + dataSize);
    node->SetValue(valueName != nullptr ? valueName : u"", std::move(value));
    return ERROR_SUCCESS;
}

LSTATUS SimulatedPlatform::DoRegDeleteKeyW(HKEY key, const char16_t *subKey) {
    Machine &m = *machine_;
    if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<RegKeyNode> node;
    if (const LSTATUS status = m.registry.ExistingKey(key, subKey, node); status != ERROR_SUCCESS)
        return status;
    return m.registry.DeleteKey(*node);
}

LSTATUS SimulatedPlatform::DoRegDeleteValueW(HKEY key, const char16_t *valueName) {
    Machine &m = *machine_;
    std::shared_ptr<RegKeyNode> node;
    REGSAM access = 0;
    if (const LSTATUS status = m.registry.KeyOf(key, node, access); status != ERROR_SUCCESS)
        return status;
    if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    return node->RemoveValue(valueName != nullptr ? valueName : u"") ? ERROR_SUCCESS
                                                                     : ERROR_FILE_NOT_FOUND;
}

LSTATUS SimulatedPlatform::DoRegEnumKeyExW(HKEY key, DWORD index, char16_t *name, DWORD *nameSize) {
    Machine &m = *machine_;
    if (name == nullptr || nameSize == nullptr) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<RegKeyNode> node;
    REGSAM access = 0;
    if (const LSTATUS status = m.registry.KeyOf(key, node, access); status != ERROR_SUCCESS)
        return status;
    if (!(access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    if (index >= node->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const std::u16string &subkeyName = node->subkeys[index]->name;
    // The size stays as it was when the name does not fit.
    if (subkeyName.size() >= *nameSize) return ERROR_MORE_DATA;
    subkeyName.copy(name, subkeyName.size());
    name[subkeyName.size()] = u'\0';
    *nameSize = static_cast<DWORD>(subkeyName.size());
    return ERROR_SUCCESS;
}

LSTATUS SimulatedPlatform::DoRegEnumValueW(HKEY key, DWORD index, char16_t *name, DWORD *nameSize,
                                           DWORD *type, BYTE *data, DWORD *dataSize) {
    Machine &m = *machine_;
    if ((data != nullptr && dataSize == nullptr) || name == nullptr || nameSize == nullptr)
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<RegKeyNode> node;
    REGSAM access = 0;
    if (const LSTATUS status = m.registry.KeyOf(key, node, access); status != ERROR_SUCCESS)
        return status;
    if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    if (index >= node->values.size()) return ERROR_NO_MORE_ITEMS;
    const auto &[valueName, value] = node->values[index];
    const auto size = static_cast<DWORD>(value.data.size());
    LSTATUS status = ERROR_SUCCESS;
    if (valueName.size() >= *nameSize) {
        // The name does not fit: neither it nor its length is written.
        status = ERROR_MORE_DATA;
    } else {
        valueName.copy(name, valueName.size());
        name[valueName.size()] = u'\0';
        *nameSize = static_cast<DWORD>(valueName.size());
        if (data != nullptr) {
            if (size > *dataSize) {
                status = ERROR_MORE_DATA;
            } else {
                CopyValueData(value, data, *dataSize);
            }
        }
    }
    if (type != nullptr) *type = value.type;
    if (dataSize != nullptr) *dataSize = size;
    return status;
}

LSTATUS SimulatedPlatform::DoRegCloseKey(HKEY key) {
    Machine &m = *machine_;
    if (IsModelledRoot(key)) return ERROR_SUCCESS;
    if (m.handles.As<KeyObject>(key) == nullptr) return ERROR_INVALID_HANDLE;
    m.Close(key);
    return ERROR_SUCCESS;
}

}  // namespace cvl::sim

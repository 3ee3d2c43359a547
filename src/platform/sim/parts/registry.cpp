// The registry part: the key tree, the hives and what a key handle leads to.
#include <algorithm>

#include "common/text.h"

#include "platform/sim/parts/paths.h"
#include "platform/sim/parts/registry.h"

namespace cvl::sim {
namespace {

constexpr REGSAM kMaximumAllowed = 0x02000000;
constexpr REGSAM kGenericAll = 0x10000000;
constexpr REGSAM kGenericRead = 0x80000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericExecute = 0x20000000;

constexpr char16_t UpperAZ(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Where a subkey of that name is or would go.
auto SubkeySlot(const std::vector<std::shared_ptr<RegKeyNode>> &subkeys,
                std::u16string_view subkeyName) {
    return std::lower_bound(subkeys.begin(), subkeys.end(), subkeyName,
                            [](const std::shared_ptr<RegKeyNode> &key, std::u16string_view name) {
                                return RegNameBefore(key->name, name);
                            });
}

}  // namespace

bool RegNameBefore(std::u16string_view a, std::u16string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const char16_t ca = UpperAZ(a[i]);
        const char16_t cb = UpperAZ(b[i]);
        if (ca != cb) return ca < cb;
    }
    return a.size() < b.size();
}

const std::shared_ptr<RegKeyNode> *RegKeyNode::SubkeyEntry(std::u16string_view subkeyName) const {
    const auto slot = SubkeySlot(subkeys, subkeyName);
    if (slot != subkeys.end() && EqualsFoldAZ((*slot)->name, subkeyName)) return &*slot;
    return nullptr;
}

std::shared_ptr<RegKeyNode> RegKeyNode::Subkey(std::u16string_view subkeyName) const {
    const std::shared_ptr<RegKeyNode> *entry = SubkeyEntry(subkeyName);
    return entry ? *entry : nullptr;
}

std::vector<std::uint32_t>::const_iterator RegKeyNode::ValueSlot(
    std::u16string_view valueName) const {
    return std::lower_bound(valueIndex_.begin(), valueIndex_.end(), valueName,
                            [this](std::uint32_t position, std::u16string_view name) {
                                return RegNameBefore(values[position].first, name);
                            });
}

RegValue *RegKeyNode::Value(std::u16string_view valueName) {
    const auto slot = ValueSlot(valueName);
    if (slot == valueIndex_.end() || !EqualsFoldAZ(values[*slot].first, valueName)) return nullptr;
    return &values[*slot].second;
}

std::shared_ptr<RegKeyNode> RegKeyNode::AddSubkey(std::u16string_view subkeyName) {
    const auto slot = SubkeySlot(subkeys, subkeyName);
    if (slot != subkeys.end() && EqualsFoldAZ((*slot)->name, subkeyName)) return *slot;
    auto subkey = std::make_shared<RegKeyNode>();
    subkey->name = std::u16string(subkeyName);
    subkey->parent = this;
    subkeys.insert(slot, subkey);
    return subkey;
}

void RegKeyNode::SetValue(std::u16string_view valueName, RegValue value) {
    const auto slot = ValueSlot(valueName);
    if (slot != valueIndex_.end() && EqualsFoldAZ(values[*slot].first, valueName)) {
        values[*slot].second = std::move(value);
        return;
    }
    valueIndex_.insert(slot, static_cast<std::uint32_t>(values.size()));
    values.emplace_back(std::u16string(valueName), std::move(value));
}

bool RegKeyNode::RemoveValue(std::u16string_view valueName) {
    const auto slot = ValueSlot(valueName);
    if (slot == valueIndex_.end() || !EqualsFoldAZ(values[*slot].first, valueName)) return false;
    const std::uint32_t removed = *slot;
    values.erase(values.begin() + removed);
    valueIndex_.erase(slot);
    // The values after it moved up by one.
    for (std::uint32_t &position : valueIndex_)
        if (position > removed) --position;
    return true;
}

void RegKeyNode::RemoveSubkey(const RegKeyNode *child) {
    if (const auto slot = SubkeySlot(subkeys, child->name);
        slot != subkeys.end() && slot->get() == child)
        subkeys.erase(slot);
}

void MarkTreeDeleted(RegKeyNode &key) {
    key.deleted = true;
    for (const auto &subkey : key.subkeys) MarkTreeDeleted(*subkey);
}

Registry::Registry(HandleTable &handles, const VersionReport &version)
    : handles_(handles),
      version_(version),
      localMachine_(std::make_shared<RegKeyNode>()),
      currentUser_(std::make_shared<RegKeyNode>()) {
    localMachine_->name = u"HKEY_LOCAL_MACHINE";
    currentUser_->name = u"HKEY_CURRENT_USER";
}

std::shared_ptr<RegKeyNode> Registry::FindKey(std::u16string_view keyPath) const {
    const auto path = SplitRegPath(keyPath);
    if (!path) return nullptr;
    const std::shared_ptr<RegKeyNode> *key =
        path->hive == RegHive::LocalMachine ? &localMachine_ : &currentUser_;
    std::u16string_view rest = path->below;
    for (auto name = TakeRegPathName(rest); !name.empty(); name = TakeRegPathName(rest)) {
        key = (*key)->SubkeyEntry(name);
        if (key == nullptr) return nullptr;
    }
    return *key;
}

std::shared_ptr<RegKeyNode> Registry::MakeKey(std::u16string_view keyPath) {
    const auto path = ParseRegPath(keyPath);
    if (!path) return nullptr;
    std::shared_ptr<RegKeyNode> key =
        path->hive == RegHive::LocalMachine ? localMachine_ : currentUser_;
    for (const auto &name : path->parts) key = key->AddSubkey(name);
    return key;
}

REGSAM Registry::GrantedKeyAccess(REGSAM requested) const {
    // The 9x family has no key security: every handle can do everything.
    if (NineXFamily() || (requested & (kMaximumAllowed | kGenericAll))) return KEY_ALL_ACCESS;
    REGSAM granted = requested & KEY_ALL_ACCESS;
    if (requested & (kGenericRead | kGenericExecute)) granted |= KEY_READ;
    if (requested & kGenericWrite) granted |= KEY_WRITE;
    return granted;
}

LSTATUS Registry::KeyOf(HKEY key, std::shared_ptr<RegKeyNode> &node, REGSAM &access) const {
    if (key == HKeyLocalMachine() || key == HKeyCurrentUser()) {
        node = key == HKeyLocalMachine() ? localMachine_ : currentUser_;
        access = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    const KeyObject *object = handles_.As<KeyObject>(key);
    if (object == nullptr) return ERROR_INVALID_HANDLE;
    if (object->key->deleted) return ERROR_KEY_DELETED;
    node = object->key;
    access = object->access;
    return ERROR_SUCCESS;
}

LSTATUS Registry::ExistingKey(HKEY key, const char16_t *subKey,
                              std::shared_ptr<RegKeyNode> &node) const {
    REGSAM access = 0;
    if (const LSTATUS status = KeyOf(key, node, access); status != ERROR_SUCCESS) return status;
    const auto names = SplitSubKey(subKey);
    if (!names) return static_cast<LSTATUS>(ERROR_BAD_PATHNAME);
    for (const auto &name : *names) {
        node = node->Subkey(name);
        if (!node) return ERROR_FILE_NOT_FOUND;
    }
    return ERROR_SUCCESS;
}

HKEY Registry::OpenHandle(std::shared_ptr<RegKeyNode> key, REGSAM sam) {
    return static_cast<HKEY>(handles_.Add(KeyObject{std::move(key), GrantedKeyAccess(sam)}));
}

LSTATUS Registry::DeleteKey(RegKeyNode &key) {
    if (!NineXFamily() && !key.subkeys.empty()) return ERROR_ACCESS_DENIED;
    return DeleteTree(key) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

bool Registry::DeleteTree(RegKeyNode &key) {
    if (key.parent == nullptr) return false;
    key.parent->RemoveSubkey(&key);
    MarkTreeDeleted(key);
    return true;
}

std::optional<std::u16string> RegStringOf(const RegValue &value) {
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return std::nullopt;
    std::u16string text;
    for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
        const auto c = static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8));
        if (c == u'\0') break;
        text.push_back(c);
    }
    return text;
}

}  // namespace cvl::sim

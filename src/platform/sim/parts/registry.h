// The registry: the two hives as trees of keys, and what a key handle
// leads to. Key and value names keep their spelling and compare folded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/parts/handle_table.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {

// Windows keeps a key's subkeys sorted by their upper-cased names and
// enumerates them in that order; true when `a` sorts before `b`. Only A to Z
// fold, so "aB" < "a_b" < "_under" ('_' sorts after the upper-case letters).
bool RegNameBefore(std::u16string_view a, std::u16string_view b);

struct RegKeyNode {
    std::u16string name;
    RegKeyNode *parent = nullptr;
    // Sorted as RegNameBefore orders them: enumeration walks them by index
    // and a lookup is a binary search. Added only through AddSubkey.
    std::vector<std::shared_ptr<RegKeyNode>> subkeys;
    // In the order they were first written, as Windows enumerates them.
    std::vector<std::pair<std::u16string, RegValue>> values;
    bool deleted = false;

    std::shared_ptr<RegKeyNode> Subkey(std::u16string_view subkeyName) const;
    // The subkey's own entry in `subkeys`, or null: a walk down a path
    // holds these and takes a reference only to the key it ends on.
    const std::shared_ptr<RegKeyNode> *SubkeyEntry(std::u16string_view subkeyName) const;
    RegValue *Value(std::u16string_view valueName);
    std::shared_ptr<RegKeyNode> AddSubkey(std::u16string_view subkeyName);
    void SetValue(std::u16string_view valueName, RegValue value);
    bool RemoveValue(std::u16string_view valueName);
    void RemoveSubkey(const RegKeyNode *child);

private:
    // Positions in `values`, sorted by folded name, so a value is found by a
    // binary search without copying names; rebuilt when a value goes.
    std::vector<std::uint32_t> valueIndex_;
    std::vector<std::uint32_t>::const_iterator ValueSlot(std::u16string_view valueName) const;
};

// Marks a key and everything below it as gone; handles still open on any of
// them then report ERROR_KEY_DELETED.
void MarkTreeDeleted(RegKeyNode &key);

class Registry {
public:
    // The version decides the rules that differ between the 9x and the NT
    // family; it is read at every call, as the machine's report may change.
    Registry(HandleTable &handles, const VersionReport &version);

    // Paths as "HKLM\\Software\\X"; nothing for a path that names no hive.
    std::shared_ptr<RegKeyNode> FindKey(std::u16string_view keyPath) const;
    // Makes the key with every missing parent.
    std::shared_ptr<RegKeyNode> MakeKey(std::u16string_view keyPath);

    // The key behind a handle (or a root key) and the access it grants.
    LSTATUS KeyOf(HKEY key, std::shared_ptr<RegKeyNode> &node, REGSAM &access) const;
    // The existing key a subkey path names below a handle's key.
    LSTATUS ExistingKey(HKEY key, const char16_t *subKey, std::shared_ptr<RegKeyNode> &node) const;
    // A new handle to the key with the access a request for `sam` gets.
    HKEY OpenHandle(std::shared_ptr<RegKeyNode> key, REGSAM sam);

    // Deletes a key as RegDeleteKeyW does: a hive's root never goes, and on
    // the NT family neither does a key with subkeys; the 9x family removes
    // the whole tree. ERROR_ACCESS_DENIED when the key stays.
    LSTATUS DeleteKey(RegKeyNode &key);
    // Removes a key with everything below it, whichever the family. False
    // for a hive's root.
    bool DeleteTree(RegKeyNode &key);

private:
    bool NineXFamily() const { return version_.platformId == VER_PLATFORM_WIN32_WINDOWS; }
    REGSAM GrantedKeyAccess(REGSAM requested) const;

    HandleTable &handles_;
    const VersionReport &version_;
    std::shared_ptr<RegKeyNode> localMachine_;
    std::shared_ptr<RegKeyNode> currentUser_;
};

}  // namespace cvl::sim

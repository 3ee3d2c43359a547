// The handles the running program holds and its LocalAlloc blocks. The
// table only keeps the objects; what closing one does to the machine is
// for the part that owns what the object points to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl::sim {

struct RegKeyNode;
struct FsNode;
struct InfFile;

struct KeyObject {
    std::shared_ptr<RegKeyNode> key;
    REGSAM access = 0;
};

struct FileObject {
    std::shared_ptr<FsNode> node;
    DWORD access = 0;
    DWORD share = 0;
    std::uint64_t position = 0;
};

struct FindObject {
    std::vector<FindData> entries;
    std::size_t next = 0;
};

struct ProcessObject {
    DWORD processId = 0;
    DWORD access = 0;
    bool thread = false;
};

// One member of a device list. The list is a snapshot: a member keeps its
// place after the device goes, and the calls about it then fail.
struct DeviceListMember {
    DEVINST devInst = 0;
    std::u16string instanceId;
    Guid classGuid{};
    std::optional<ClassInstallParams> installParams;
};

struct DeviceListObject {
    std::vector<DeviceListMember> members;
    // Set with no device named; kept as Windows keeps them, used by nothing.
    std::optional<ClassInstallParams> installParams;
};

struct InfObject {
    std::u16string path;
    std::shared_ptr<const InfFile> file;
};

struct ServiceManagerObject {};

struct ServiceObject {
    std::u16string name;
    DWORD access = 0;
};

struct MachineConnectionObject {};

// In the order of HandleKind.
using HandleObject =
    std::variant<KeyObject, FileObject, FindObject, ProcessObject, DeviceListObject, InfObject,
                 ServiceManagerObject, ServiceObject, MachineConnectionObject>;

template <HandleKind kind, typename T>
inline constexpr bool kKindHolds =
    std::is_same_v<std::variant_alternative_t<static_cast<std::size_t>(kind), HandleObject>, T>;
static_assert(kKindHolds<HandleKind::Key, KeyObject> && kKindHolds<HandleKind::File, FileObject> &&
              kKindHolds<HandleKind::Process, ProcessObject> &&
              kKindHolds<HandleKind::DeviceList, DeviceListObject> &&
              kKindHolds<HandleKind::MachineConnection, MachineConnectionObject>);

class HandleTable {
public:
    // Handles made from now on belong to this process; they close when it
    // ends.
    void SetOwner(DWORD processId) { owner_ = processId; }

    void *Add(HandleObject object);

    // The object behind a handle when it is of that kind.
    template <typename T>
    T *As(const void *handle) {
        const auto found = handles_.find(reinterpret_cast<std::uintptr_t>(handle));
        return found == handles_.end() ? nullptr : std::get_if<T>(&found->second.object);
    }
    template <typename T>
    const T *As(const void *handle) const {
        const auto found = handles_.find(reinterpret_cast<std::uintptr_t>(handle));
        return found == handles_.end() ? nullptr : std::get_if<T>(&found->second.object);
    }

    // Takes a handle out of the table and gives its object back.
    std::optional<HandleObject> Remove(const void *handle);
    std::vector<HandleObject> RemoveOwnedBy(DWORD processId);
    // Every handle of every process, as a power loss takes them.
    std::vector<HandleObject> RemoveAll();

    // Calls `visit` with every open object of kind T.
    template <typename T, typename Visit>
    void ForEach(Visit visit) const {
        for (const auto &[value, entry] : handles_)
            if (const T *object = std::get_if<T>(&entry.object)) visit(*object);
    }

    std::size_t Count() const { return handles_.size(); }
    std::size_t Count(HandleKind kind) const;

private:
    struct Entry {
        DWORD ownerProcessId = 0;
        HandleObject object;
    };
    std::map<std::uintptr_t, Entry> handles_;
    std::uintptr_t next_ = 0x1000;
    DWORD owner_ = 0;
};

// LocalAlloc and LocalFree.
class LocalMemory {
public:
    void *Allocate(UINT flags, std::size_t bytes);
    // False for an address that is no live block.
    bool Free(void *address);
    // Whatever the program had not given back goes with its process.
    void Clear() { blocks_.clear(); }
    std::size_t Count() const { return blocks_.size(); }

private:
    std::map<void *, std::unique_ptr<unsigned char[]>> blocks_;
};

}  // namespace cvl::sim

#include "platform/sim/parts/handle_table.h"

#include <algorithm>
#include <cstring>

namespace cvl::sim {
namespace {

constexpr UINT kZeroInit = 0x40;  // LMEM_ZEROINIT, the part of LPTR that matters
constexpr unsigned char kUninitialisedFill = 0xCD;

}  // namespace

void *HandleTable::Add(HandleObject object) {
    const std::uintptr_t value = next_;
    next_ += 4;
    handles_.emplace(value, Entry{owner_, std::move(object)});
    return reinterpret_cast<void *>(value);
}

std::optional<HandleObject> HandleTable::Remove(const void *handle) {
    const auto found = handles_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == handles_.end()) return std::nullopt;
    HandleObject object = std::move(found->second.object);
    handles_.erase(found);
    return object;
}

std::vector<HandleObject> HandleTable::RemoveOwnedBy(DWORD processId) {
    std::vector<HandleObject> removed;
    for (auto entry = handles_.begin(); entry != handles_.end();) {
        if (entry->second.ownerProcessId != processId) {
            ++entry;
            continue;
        }
        removed.push_back(std::move(entry->second.object));
        entry = handles_.erase(entry);
    }
    return removed;
}

std::vector<HandleObject> HandleTable::RemoveAll() {
    std::vector<HandleObject> removed;
    for (auto &[value, entry] : handles_) removed.push_back(std::move(entry.object));
    handles_.clear();
    return removed;
}

std::size_t HandleTable::Count(HandleKind kind) const {
    return static_cast<std::size_t>(
        std::count_if(handles_.begin(), handles_.end(), [kind](const auto &entry) {
            return entry.second.object.index() == static_cast<std::size_t>(kind);
        }));
}

void *LocalMemory::Allocate(UINT flags, std::size_t bytes) {
    const std::size_t size = std::max<std::size_t>(bytes, 1);
    auto block = std::make_unique<unsigned char[]>(size);
    // Memory that is not asked to be zeroed is not: reading it shows.
    std::memset(block.get(), (flags & kZeroInit) ? 0 : kUninitialisedFill, size);
    void *address = block.get();
    blocks_.emplace(address, std::move(block));
    return address;
}

bool LocalMemory::Free(void *address) {
    return blocks_.erase(address) != 0;
}

}  // namespace cvl::sim

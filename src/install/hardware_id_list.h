// The hardware ids an install flow updates, one after the other. The list
// only points at texts that outlive it (the family tables and the run's OEM
// ids); its memory comes from the platform so that a machine without any
// ends the flow with its own result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "common/family_code.h"
#include "platform/platform.h"
#include "run/run_state.h"
#include "system/scoped_handle.h"

namespace cvl {

class HardwareIdList {
public:
    explicit HardwareIdList(Platform &platform) : platform_(platform), block_(platform) {}

    // The family's own ids.
    bool AssignFamily(DeviceFamily family);
    // Every OEM id of the command line.
    bool AssignOem(const HardwareIdLists &ids);

    std::size_t Count() const { return count_; }
    // A terminated text.
    const char16_t *At(std::size_t index) const { return Entries()[index]; }
    void Release();

private:
    // False when the memory is not available; the list is then empty.
    bool Allocate(std::size_t count);
    const char16_t **Entries() const { return static_cast<const char16_t **>(block_.Get()); }

    Platform &platform_;
    ScopedLocal block_;
    std::size_t count_ = 0;
};

}  // namespace cvl

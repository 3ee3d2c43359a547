// A device's multi-string property (hardware ids, compatible ids), read with
// the size-query protocol of SetupDiGetDeviceRegistryPropertyW.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/device_walks.h"
#include "platform/platform.h"
#include "system/scoped_handle.h"

namespace cvl {

// Where a read keeps the property's bytes.
enum class PropertyMemory {
    // Blocks from the platform's LocalAlloc, freed with the reader: each
    // block is an allocation the platform sees and can refuse.
    PlatformBlocks,
    // The program's own memory; the platform sees only the property calls.
    ProgramMemory,
};

enum class PropertyRead {
    Read,
    Missing,  // the device has no such property (ERROR_INVALID_DATA)
    Failed,
};

class MultiStringProperty {
public:
    MultiStringProperty(Platform &platform, PropertyMemory memory);

    // Asks with what is held (nothing at first), and while the answer is
    // ERROR_INSUFFICIENT_BUFFER grows to the size named and asks again; a
    // size that does not grow ends the read, as it would ask for ever.
    PropertyRead Read(const PresentDevice &device, DWORD property);

    // One ask into `bytes` zeroed bytes, never grown; the error of a failed
    // ask is not read. Windows Me reads the hardware ids so.
    PropertyRead ReadFixed(const PresentDevice &device, DWORD property, DWORD bytes);

    // The bytes the last read stored: the size the system named when it is
    // smaller than what is held, else all that is held.
    std::span<const std::uint8_t> Bytes() const;
    std::vector<std::u16string> Texts() const;

    // The error that ended a read as Missing or Failed (0 for ReadFixed).
    DWORD Error() const { return error_; }

private:
    BYTE *Data();
    DWORD Capacity() const;
    bool Grow(DWORD bytes);
    PropertyRead Finish(DWORD required);

    Platform &platform_;
    PropertyMemory memory_;
    ScopedLocal block_;
    DWORD blockBytes_ = 0;
    std::vector<BYTE> program_;
    DWORD size_ = 0;
    DWORD error_ = 0;
};

}  // namespace cvl

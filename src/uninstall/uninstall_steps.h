// Steps the two uninstall flows share.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "common/family_code.h"
#include "options/install_options.h"
#include "platform/platform.h"
#include "run/run_state.h"
#include "system/scoped_handle.h"

namespace cvl {

// The hardware ids a flow removes, held in one block taken for the flow so
// that a shortage of memory ends it before any device is touched.
class RemovalIdList {
public:
    explicit RemovalIdList(Platform &platform) : platform_(platform), block_(platform) {}
    // False when the block could not be allocated.
    bool Allocate(std::size_t capacity);
    void Append(std::u16string_view id);
    void AppendAll(std::span<const std::u16string_view> ids);
    void AppendOemIds(const RunState &state);
    std::span<const std::u16string_view> Ids() const { return {items_, count_}; }

private:
    Platform &platform_;
    ScopedLocal block_;
    std::u16string_view *items_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t count_ = 0;
};

// The setup-state path buffer of a flow: 261 characters, taken from the
// heap like the id list. Null when it could not be allocated.
class PathBuffer {
public:
    explicit PathBuffer(Platform &platform);
    bool IsAvailable() const { return block_.IsOpen(); }
    BYTE *Bytes() const { return static_cast<BYTE *>(block_.Get()); }
    static constexpr DWORD kCapacityBytes = 522;

private:
    ScopedLocal block_;
};

// Reads the family's "SourcePath" into the buffer and takes that folder off
// the installation-source list.
void RemoveSourcePath(Platform &platform, const PathBuffer &buffer, DeviceFamily family);

// Deletes a subkey of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall.
void DeleteUninstallEntry(Platform &platform, const char16_t *entry);

// FindExistingDevice for each id, in order.
void RemoveDevicesWithIds(Platform &platform, RunState &state,
                          std::span<const std::u16string_view> ids);

// Whether no adapter of the two families is left; when none is, the
// uninstall and property-page DLLs are deleted. A device list that cannot
// be opened counts as an adapter left.
bool NoAdapterLeft(Platform &platform, RunState &state, DeviceFamily first, DeviceFamily second);

}  // namespace cvl

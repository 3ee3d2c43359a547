// Reads registry subtrees through the platform, the way regedit exports
// them: every key below a root with all its values, in enumeration order.
// Reading never opens a key for writing.
#pragma once

#include <string>
#include <vector>

#include "machine_image/reg_file.h"
#include "platform/platform.h"

namespace cvl::capture {

struct CaptureProblem {
    std::string item;     // what could not be read: a key, a value, a file
    std::string problem;  // why, with the error code
};

// `root` is "HKLM\\..." or "HKCU\\...". A root that does not exist adds
// nothing and is no problem; a subkey or value that cannot be read is left
// out and named in `problems`, and the rest is still read.
void CaptureRegistryTree(Platform &platform, std::u16string_view root,
                         std::vector<image::RegFileKey> &keys,
                         std::vector<CaptureProblem> &problems);

// The names of a key's direct subkeys; empty when the key cannot be opened.
std::vector<std::u16string> SubkeyNames(Platform &platform, std::u16string_view key);

// A value's data, or nothing when the key or the value is missing.
std::optional<sim::RegValue> ReadValue(Platform &platform, std::u16string_view key,
                                       std::u16string_view name);

// A REG_SZ or REG_EXPAND_SZ value's text up to its first zero.
std::optional<std::u16string> ReadText(Platform &platform, std::u16string_view key,
                                       std::u16string_view name);

}  // namespace cvl::capture

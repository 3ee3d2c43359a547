// The registry of a machine image in the regedit export format, so that a
// technician can take an export from a real machine and run against it.
//
// Read: "Windows Registry Editor Version 5.00" files in UTF-16LE with a mark
// or UTF-8; keys of HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER; values as
// "text" (escapes \\ and \" only), dword:, hex: and hex(N): with lines
// continued by a trailing backslash; ';' comment lines. A key may appear more
// than once; its values merge, a later value replacing an earlier one.
// Deletions ("[-HKEY_...]", "name"=-) are refused: an image holds a whole
// registry, not a patch, and a deletion there is almost always a file that
// was meant for regedit itself.
//
// Written: UTF-16LE with a byte-order mark and CR LF, like regedit. A value
// is written in the form that reads back to the same type and bytes: "text"
// only for REG_SZ data that is exactly one terminated string without line
// breaks, dword: only for 4-byte REG_DWORD data, hex forms otherwise.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/setup/simulated_machine_types.h"

namespace cvl::image {

struct RegFileValue {
    std::u16string name;  // empty for the default value ("@")
    sim::RegValue value;
};

struct RegFileKey {
    // "HKLM" or "HKCU", then "\\" and the subkeys as spelled: the form the
    // simulated machine's seeding helpers take.
    std::u16string path;
    std::vector<RegFileValue> values;
};

struct RegFileError {
    std::size_t line = 0;  // 1-based; 0 when not tied to a line
    std::string message;
};

// Keys in the order of their first appearance.
bool ParseRegFile(std::string_view bytes, std::vector<RegFileKey> &keys, RegFileError &error);

// Whether a key or value name can stand in a .reg file: a line break
// would end its line.
bool CanNameInRegFile(std::u16string_view name);

// Fails only for names the format cannot carry (see CanNameInRegFile);
// `error` names the key or value.
bool FormatRegFile(const std::vector<RegFileKey> &keys, std::string &bytes, std::string &error);

bool SameRegValue(const sim::RegValue &a, const sim::RegValue &b);
bool SameRegFileKeys(const std::vector<RegFileKey> &a, const std::vector<RegFileKey> &b);

}  // namespace cvl::image

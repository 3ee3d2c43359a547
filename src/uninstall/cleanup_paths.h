// Paths and names the cleanup steps build before they delete anything. The
// program runs elevated and takes names from the registry, so every path it
// deletes is checked to name what it means to name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace cvl {

// The Windows directory as GetWindowsDirectoryW reports it in a buffer of
// 260 characters; nothing when the call failed or the path did not fit, so
// that no path is built from an empty or cut directory.
std::optional<std::u16string> WindowsDirectoryText(Platform &platform);

// The parts joined, or nothing when the result would not fit a buffer of
// `capacity` characters with its terminator: a cut path names another file.
std::optional<std::u16string> JoinWithin(std::size_t capacity,
                                         std::initializer_list<std::u16string_view> parts);

// A file name without any directory part: no backslash, slash or colon and
// no "..".
bool IsBareFileName(std::u16string_view name);

// The name Windows gives a published third-party INF: "oem", digits,
// ".inf", letters folded A to Z.
bool IsPublishedOemInfName(std::u16string_view name);

// True when `path` lies in `directory` or a folder below it (folding A to
// Z) and holds no "..".
bool IsPathBelow(std::u16string_view path, std::u16string_view directory);

// The PNF twin of an INF name: the part from the first dot becomes ".PNF".
std::u16string PnfNameOf(std::u16string_view infName);

}  // namespace cvl

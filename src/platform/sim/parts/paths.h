// How the simulated machine reads names: Win32 file paths, registry paths,
// wildcard patterns and command lines, each the way Windows reads them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace cvl::sim {

// Names on the machine keep their spelling and compare folded.
std::u16string FoldedName(std::u16string_view name);

// A full path: a drive letter (upper case) and the names below its root.
struct WinPath {
    char16_t drive = u'C';
    std::vector<std::u16string> parts;

    bool IsRoot() const { return parts.empty(); }
    // "C:\a\b"; the root alone is "C:\".
    std::u16string Text() const;
    WinPath Parent() const;
    WinPath Child(std::u16string_view name) const;
};

// Resolves a path the way the Win32 file calls do: "X:\..." absolute,
// "X:..." on drive X, "\..." from the root of the current drive, anything
// else from the current directory; '/' counts as '\', repeated separators
// count once, "." and ".." are applied, and trailing dots and blanks of a
// name are dropped. No path for empty texts and network ("\\server") paths.
std::optional<WinPath> ResolveWinPath(std::u16string_view text, const WinPath &current);

// "X:\..." or "X:/...": the only form the driver-store calls take.
bool IsFullWinPath(std::u16string_view path);

// A name holding a character that no file name may hold (wildcards among
// them): the calls that take one such name fail with ERROR_INVALID_NAME.
bool HasInvalidNameCharacter(const WinPath &path);

// '*' and '?' in a FindFirstFileW pattern, folding case; "*.*" and a
// trailing ".*" also match names without a dot, as on Windows.
bool WildcardMatch(std::u16string_view pattern, std::u16string_view name);

enum class RegHive { LocalMachine, CurrentUser };

struct RegPath {
    RegHive hive = RegHive::LocalMachine;
    std::vector<std::u16string> parts;
};

// "HKLM\...", "HKEY_LOCAL_MACHINE\...", "HKCU\...", "HKEY_CURRENT_USER\...".
std::optional<RegPath> ParseRegPath(std::u16string_view keyPath);

// The same path as views into `keyPath`: the machine looks up keys by path
// tens of thousands of times a run, and a walk over views copies no name.
struct RegPathView {
    RegHive hive = RegHive::LocalMachine;
    std::u16string_view below;  // the names under the hive, '\\' between them
};
std::optional<RegPathView> SplitRegPath(std::u16string_view keyPath);

// The first name of `rest`, which then holds what follows it; empty names
// (repeated separators) are skipped, and an empty view means none is left.
std::u16string_view TakeRegPathName(std::u16string_view &rest);

// The names of a registry subkey path relative to a key. No names for a
// path that starts with a backslash, which Windows refuses.
std::optional<std::vector<std::u16string>> SplitSubKey(const char16_t *subKey);

// The names CreateProcessW tries for the executable of a command line when
// no application name is given: the quoted first token, or else the text up
// to each run of blanks or tabs in turn, from the left.
std::vector<std::u16string> ImageCandidates(std::u16string_view commandLine);

}  // namespace cvl::sim

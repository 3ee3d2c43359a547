// The first call of every Windows entry point of the tree.
#pragma once

namespace cvl::win32 {

// Takes the program's folder and the current directory out of the DLL
// search before anything else runs: where kernel32 offers it, every later
// load searches the system folder only; elsewhere the current directory
// leaves the search where the system allows it (XP SP1 and later).
void CloseLibrarySearchPath();

}  // namespace cvl::win32

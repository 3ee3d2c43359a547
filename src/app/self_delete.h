// Removing the program's own file after an uninstall, in two processes.
#pragma once

#include <string>

#include "app/install_options.h"
#include "platform/platform.h"

namespace cvl {

// First stage (no "/selfdel" values): copy, hold, start the second stage,
// return 0. Second stage: wait for the first process, delete its file and
// end the process with 0 (on the simulated machine ExitProcess returns, and
// so does this, with 0).
int SelfDelete(Platform &platform, const InstallOptions &options);

// Copies the program to a new random name in the temporary directory.
// Returns 0 when the copy exists, -1 otherwise.
int CopySelfToTemp(Platform &platform, std::u16string &copyPath, std::u16string &ownPath);

// Starts the copy with "/selfdel <this process id> <own path>". Returns 0
// when it started, -1 otherwise.
int LaunchSelfDeleter(Platform &platform, const std::u16string &copyPath,
                      const std::u16string &ownPath);

}  // namespace cvl

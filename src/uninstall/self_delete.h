// Removing the program's own file after an uninstall, in two processes.
#pragma once

#include <string>

#include "options/install_options.h"
#include "platform/platform.h"

namespace cvl {

// First stage (no "/selfdel" values): copy, hold, start the second stage.
// Second stage: wait for the first process, delete its file and end the
// process with the success exit code; where ExitProcess returns, so does
// this.
void SelfDelete(Platform &platform, const InstallOptions &options);

// Copies the program to a new random name in the temporary directory.
// True when the copy exists.
bool CopySelfToTemp(Platform &platform, std::u16string &copyPath, std::u16string &ownPath);

// Starts the copy with "/selfdel <this process id> <own path>". True when
// it started.
bool LaunchSelfDeleter(Platform &platform, const std::u16string &copyPath,
                       const std::u16string &ownPath);

}  // namespace cvl

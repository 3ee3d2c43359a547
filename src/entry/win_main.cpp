// The Windows entry. The C runtime's ANSI start-up is the one every
// generation runs (the Unicode start-up reads the wide command line, which
// Windows 95, 98 and Me do not keep); the program then reads the command
// line in UTF-16 itself and takes the text after its own name, which is the
// text a run starts from.
#include <string>

#include "app/run_installer.h"
#include "platform/command_tail.h"
#include "platform/win32/command_line.h"
#include "platform/win32/library_search.h"
#include "platform/win32/win32_platform.h"

// clang-format off
#include <windows.h>
// clang-format on

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    cvl::win32::CloseLibrarySearchPath();
    cvl::Win32Platform platform;
    const std::u16string commandLine = cvl::win32::ProgramCommandLine();
    return static_cast<int>(cvl::RunInstaller(platform, cvl::CommandTailOf(commandLine)));
}

// The Windows entry. The runtime hands a GUI program the command line
// without its own name and the blanks after it, which is the text a run
// starts from.
#include <string_view>

#include "app/run_installer.h"
#include "platform/win32/library_search.h"
#include "platform/win32/win32_platform.h"

// clang-format off
#include <windows.h>
// clang-format on

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandTail, int) {
    cvl::win32::CloseLibrarySearchPath();
    cvl::Win32Platform platform;
    std::u16string_view tail;
    if (commandTail) tail = reinterpret_cast<const char16_t *>(commandTail);
    return static_cast<int>(cvl::RunInstaller(platform, tail));
}

#include "host_runner/host_program.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <cwchar>

#include "common/text.h"

// The C runtime's own parse of the command line in UTF-16 (msvcrt.dll); the
// same rules as the ANSI arguments main receives, no wildcard expansion.
namespace {
struct CrtStartupInfo {
    int newMode;
};
}  // namespace
extern "C" int __wgetmainargs(int *argc, wchar_t ***argv, wchar_t ***environment,
                              int expandWildcards, CrtStartupInfo *startupInfo);
#endif

namespace cvl::runner {

std::vector<std::string> StartHostProgram(int argc, char **argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    int count = 0;
    wchar_t **wide = nullptr;
    wchar_t **environment = nullptr;
    CrtStartupInfo startup{0};
    if (__wgetmainargs(&count, &wide, &environment, 0, &startup) == 0 && wide) {
        std::vector<std::string> arguments;
        for (int index = 1; index < count; ++index) {
            const std::wstring_view argument(wide[index], std::wcslen(wide[index]));
            arguments.push_back(ToUtf8(std::u16string(argument.begin(), argument.end())));
        }
        return arguments;
    }
#endif
    return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace cvl::runner

// cvlcapture.exe: writes a machine image of the machine it runs on, for
// cvlsetup-host to replay cvlsetup command lines against on another host.
// A console program; it only reads this machine.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "capture/capture_command.h"
#include "platform/win32/library_search.h"
#include "platform/win32/win32_platform.h"

namespace {

class HostFiles final : public cvl::capture::FileReader {
public:
    std::optional<std::string> ReadWholeFile(std::u16string_view windowsPath) override {
        const std::wstring path(windowsPath.begin(), windowsPath.end());
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        if (!in) return std::nullopt;
        std::string contents{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad()) return std::nullopt;
        return contents;
    }
};

}  // namespace

int wmain(int argc, wchar_t **argv) {
    cvl::win32::CloseLibrarySearchPath();
    std::vector<std::u16string> arguments;
    for (int index = 1; index < argc; ++index)
        arguments.emplace_back(reinterpret_cast<const char16_t *>(argv[index]));
    cvl::Win32Platform platform;
    HostFiles files;
    return cvl::capture::RunCapture(platform, files, arguments, std::cout, std::cerr);
}

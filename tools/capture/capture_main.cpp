// cvlcapture.exe: writes a machine image of the machine it runs on, for
// cvlsetup-host to replay cvlsetup command lines against on another host.
// A console program; it only reads this machine.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "capture/capture_folder.h"
#include "capture/machine_capture.h"
#include "common/text.h"
#include "platform/win32/win32_platform.h"

namespace {

constexpr int kCaptured = 0;
constexpr int kCapturedWithGaps = 1;
constexpr int kUsageError = 2;
constexpr int kNotCaptured = 3;

constexpr char kUsage[] =
    "usage: cvlcapture.exe FOLDER [/package]\n"
    "\n"
    "Writes a machine image of this computer into FOLDER, which must be new or empty:\n"
    "the Windows version and folders, the registry keys cvlsetup reads and writes, the\n"
    "network adapters with their state, their services, the published INF files and the\n"
    "maker's DLLs. With /package it also copies the folder cvlsetup.exe runs from (the\n"
    "driver package). It only reads: nothing on this computer is changed.\n"
    "\n"
    "Replay a cvlsetup command line against the image on Linux with\n"
    "  cvlsetup-host --machine FOLDER <cvlsetup switches...>\n"
    "\n"
    "Exit codes: 0 captured; 1 captured, some items could not be read (listed);\n"
    "2 wrong command line or folder; 3 nothing usable was written.\n";

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

void Say(const std::string &text) {
    std::fputs(text.c_str(), stderr);
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    std::optional<std::filesystem::path> folder;
    cvl::capture::CaptureOptions options;
    for (int index = 1; index < argc; ++index) {
        const std::u16string argument(reinterpret_cast<const char16_t *>(argv[index]));
        if (cvl::EqualsFoldAZ(argument, u"/package")) {
            options.withProgramFolder = true;
        } else if (argument.starts_with(u"/") || argument.starts_with(u"-") || folder) {
            Say("cvlcapture: unexpected " + cvl::ToUtf8(argument) + "\n" + kUsage);
            return kUsageError;
        } else {
            folder = std::filesystem::path(std::wstring(argv[index]));
        }
    }
    if (!folder) {
        Say(std::string("cvlcapture: name the folder to write the image into\n") + kUsage);
        return kUsageError;
    }
    std::string error;
    if (!cvl::capture::CheckCaptureFolder(*folder, error)) {
        Say("cvlcapture: " + error + "\n");
        return kUsageError;
    }

    cvl::Win32Platform platform;
    HostFiles files;
    cvl::capture::CapturedMachine machine;
    if (!cvl::capture::CaptureMachine(platform, files, options, machine, error)) {
        Say("cvlcapture: " + error + "\n");
        return kNotCaptured;
    }
    for (const cvl::capture::CaptureProblem &problem : machine.problems)
        Say("cvlcapture: left out " + problem.item + ": " + problem.problem + "\n");
    if (!cvl::capture::WriteCapturedImage(machine, *folder, error)) {
        Say("cvlcapture: " + error + "; the folder holds no machine.txt and is no image\n");
        return kNotCaptured;
    }
    std::printf("Captured %zu registry keys, %zu devices, %zu services and %zu files into %s\n",
                machine.keys.size(), machine.settings.devices.size(),
                machine.settings.services.size(), machine.files.size(), folder->string().c_str());
    return machine.problems.empty() ? kCaptured : kCapturedWithGaps;
}

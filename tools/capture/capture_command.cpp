#include "capture/capture_command.h"

#include <filesystem>
#include <optional>

#include "capture/capture_folder.h"
#include "common/text.h"

namespace cvl::capture {
namespace {

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

}  // namespace

int RunCapture(Platform &platform, FileReader &files, const std::vector<std::u16string> &arguments,
               std::ostream &out, std::ostream &errors) {
    std::optional<std::u16string> folderText;
    CaptureOptions options;
    for (const std::u16string &argument : arguments) {
        if (EqualsFoldAZ(argument, u"/package")) {
            options.withProgramFolder = true;
        } else if (argument.starts_with(u"/") || argument.starts_with(u"-") || folderText) {
            errors << "cvlcapture: unexpected " << ToUtf8(argument) << "\n" << kUsage;
            return kUsageError;
        } else {
            folderText = argument;
        }
    }
    if (!folderText) {
        errors << "cvlcapture: name the folder to write the image into\n" << kUsage;
        return kUsageError;
    }
    const std::filesystem::path folder(*folderText);
    std::string error;
    if (!CheckCaptureFolder(folder, error)) {
        errors << "cvlcapture: " << error << "\n";
        return kUsageError;
    }

    CapturedMachine machine;
    if (!CaptureMachine(platform, files, options, machine, error)) {
        errors << "cvlcapture: " << error << "\n";
        return kNotCaptured;
    }
    for (const CaptureProblem &problem : machine.problems)
        errors << "cvlcapture: left out " << problem.item << ": " << problem.problem << "\n";
    if (!WriteCapturedImage(machine, folder, error)) {
        errors << "cvlcapture: " << error << "; the folder holds no machine.txt and is no image\n";
        return kNotCaptured;
    }
    out << "Captured " << machine.keys.size() << " registry keys, "
        << machine.settings.devices.size() << " devices, " << machine.settings.services.size()
        << " services and " << machine.files.size() << " files into " << ToUtf8(*folderText)
        << "\n";
    return machine.problems.empty() ? kCaptured : kCapturedWithGaps;
}

}  // namespace cvl::capture

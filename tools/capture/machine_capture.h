// Reads what cvlsetup reads or writes on a machine into a machine image held
// in memory: the version report and the folders, the registry keys of the
// network adapters and of cvlsetup's own state, every device with what the
// device tree knows of it, the adapters' services, the published INF files
// and the maker's DLLs, and optionally the folder cvlsetup runs from with the
// driver package in it.
//
// Capturing only reads: the registry is opened with KEY_READ, files are read
// through a FileReader, and no platform call that changes anything is made.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "capture/registry_capture.h"
#include "machine_image/machine_image_settings.h"
#include "machine_image/reg_file.h"
#include "platform/platform.h"

namespace cvl::capture {

// Reads a whole file of the captured machine. The platform list has no
// ReadFile: the capture program reads with the C++ library on Windows, and
// a host test reads the simulated machine's files.
class FileReader {
public:
    virtual ~FileReader() = default;
    virtual std::optional<std::string> ReadWholeFile(std::u16string_view windowsPath) = 0;
};

struct CapturedFile {
    std::u16string path;  // "C:\\..." as the machine spells it
    std::string contents;
    bool readOnly = false;
};

struct CapturedMachine {
    std::vector<image::RegFileKey> keys;
    image::MachineSettings settings;
    std::vector<CapturedFile> files;
    std::vector<CaptureProblem> problems;  // items left out, each with why
};

struct CaptureOptions {
    bool withProgramFolder = false;  // the program's folder with its driver package
};

// The name cvlsetup runs as in the image: beside the capture program.
inline constexpr char16_t kCapturedProgramName[] = u"cvlsetup.exe";

// Fails only when the machine cannot be described at all (no version report,
// no Windows folder); a single key or file that cannot be read is a problem
// listed in `machine.problems`, not a failure.
bool CaptureMachine(Platform &platform, FileReader &files, const CaptureOptions &options,
                    CapturedMachine &machine, std::string &error);

}  // namespace cvl::capture

// Writes a captured machine as a machine image folder on the host's file
// system (the capture program's own disk on Windows, a scratch folder in a
// host test).
//
// The folder must be new or empty. machine.txt, which the image loader
// requires, is written last, under a temporary name renamed into place: an
// image that a full disk or a failed write cut short has no machine.txt and
// is refused by the loader, never taken for a whole machine.
#pragma once

#include <filesystem>
#include <string>

#include "capture/machine_capture.h"

namespace cvl::capture {

// Refuses a folder that exists and holds anything, or a path that is a file.
bool CheckCaptureFolder(const std::filesystem::path &folder, std::string &error);

bool WriteCapturedImage(const CapturedMachine &machine, const std::filesystem::path &folder,
                        std::string &error);

}  // namespace cvl::capture

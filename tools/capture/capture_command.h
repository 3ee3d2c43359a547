// The capture program's command line, `cvlcapture.exe FOLDER [/package]`,
// and what it says and returns. It runs against any platform, so the whole
// program is tested on the simulated machine too.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "capture/machine_capture.h"
#include "platform/platform.h"

namespace cvl::capture {

enum CaptureExitCode : int {
    kCaptured = 0,
    kCapturedWithGaps = 1,  // some items could not be read; each is named
    kUsageError = 2,        // a wrong command line, or a folder that is in use
    kNotCaptured = 3,       // nothing usable was written
};

// `arguments` leaves out the program's own name. The usage text and every
// problem go to `errors`, the closing count to `out`.
int RunCapture(Platform &platform, FileReader &files, const std::vector<std::u16string> &arguments,
               std::ostream &out, std::ostream &errors);

}  // namespace cvl::capture

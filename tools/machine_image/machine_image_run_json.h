// The run report as one JSON document, for scripts and deployment pipelines
// that act on what a run would do. Same content as the text report:
//
//   {"exitCode": 0,
//    "installLog": {"path": "C:\\setup\\InstallLog.txt", "lines": ["..."]} or null,
//    "virtualMilliseconds": 3000, "sleeps": [1000, 2000],
//    "messageBoxes": [{"text": "...", "caption": "...", "type": 0}],
//    "processes": [{"processId": 1001, "imagePath": "...", "commandLine": "...",
//                   "running": false, "exitCode": 0}],   (exitCode null while running)
//    "timeline": ["..."], "changes": ["..."],
//    "savedTo": "out" or null}
#pragma once

#include <optional>
#include <string>

#include "machine_image/machine_image_run.h"

namespace cvl::image {

// `savedTo` is the folder the changed machine was saved to, if any.
std::string FormatRunReportJson(const MachineRunReport &report,
                                const std::optional<std::string> &savedTo);

}  // namespace cvl::image

// The install log: one plain-text file per run, written in text mode (each
// line ends in CR LF), best-effort. While `logSuppressed` is set nothing is
// opened and every writer returns at once.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"

namespace cvl {

struct InstallLog {
    explicit InstallLog(Platform &platform) : platform(&platform) {}

    Platform *platform;
    HANDLE logFile = nullptr;  // none while null
    bool logSuppressed = false;
};

// "InstallLog.txt" in the current directory ("c:\" when that cannot be read).
void OpenInstallLog(InstallLog &log);
// Opens the log at a given path with the same mode (the 98 root log).
void OpenInstallLogAt(InstallLog &log, std::u16string_view path);
// Closed by the entry point at shutdown when the log is not suppressed.
void CloseInstallLog(InstallLog &log);

void LogLine(InstallLog &log, std::u16string_view text);
void LogNumber(InstallLog &log, std::u16string_view name, std::int32_t value);
void LogText(InstallLog &log, std::u16string_view name, std::u16string_view text);
void LogFlag(InstallLog &log, bool value);

// Writes a text to an open file the way the runtime's text mode does: "\n"
// becomes CR LF, and each character becomes one byte (characters the
// classic locale cannot convert become '?').
void WriteTextMode(Platform &platform, HANDLE file, std::u16string_view text);

}  // namespace cvl

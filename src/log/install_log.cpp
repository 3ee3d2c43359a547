#include "log/install_log.h"

#include <string>
#include <vector>

#include "common/text.h"
#include "log/fresh_file.h"

namespace cvl {
namespace {

bool Writable(const InstallLog &log) {
    return !log.logSuppressed && log.logFile != nullptr;
}

// Log writes must not disturb the last error that the logic reads after a
// logged step.
class LastErrorKeeper {
public:
    explicit LastErrorKeeper(Platform &platform)
        : platform_(platform), saved_(platform.GetLastError()) {}
    ~LastErrorKeeper() { platform_.SetLastError(saved_); }
    LastErrorKeeper(const LastErrorKeeper &) = delete;
    LastErrorKeeper &operator=(const LastErrorKeeper &) = delete;

private:
    Platform &platform_;
    DWORD saved_;
};

}  // namespace

void WriteTextMode(Platform &platform, HANDLE file, std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() + 8);
    for (char16_t c : text) {
        if (c == u'\n') {
            bytes += "\r\n";
        } else if (c < 0x100) {
            bytes.push_back(static_cast<char>(c));
        } else {
            bytes.push_back('?');
        }
    }
    DWORD written = 0;
    platform.WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written);
}

void OpenInstallLogAt(InstallLog &log, std::u16string_view path) {
    if (log.logSuppressed || log.logFile != nullptr) return;
    Platform &platform = *log.platform;
    // A log that cannot be made fresh is a log that cannot be opened.
    HANDLE file = CreateFreshFile(platform, path);
    if (file != InvalidHandleValue()) log.logFile = file;
}

void OpenInstallLog(InstallLog &log) {
    if (log.logSuppressed || log.logFile != nullptr) return;
    Platform &platform = *log.platform;
    std::u16string directory;
    const DWORD needed = platform.GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) {
        directory = u"c:\\";
    } else {
        std::vector<char16_t> buffer(needed, u'\0');
        platform.GetCurrentDirectoryW(needed, buffer.data());
        // Whatever the second call stored ends inside the buffer.
        directory = std::u16string(TextOf(buffer.data(), buffer.size()));
    }
    OpenInstallLogAt(log, directory + u"\\InstallLog.txt");
}

void CloseInstallLog(InstallLog &log) {
    if (log.logFile == nullptr) return;
    log.platform->CloseHandle(log.logFile);
    log.logFile = nullptr;
}

void LogLine(InstallLog &log, std::u16string_view text) {
    if (!Writable(log)) return;
    LastErrorKeeper keeper(*log.platform);
    WriteTextMode(*log.platform, log.logFile, text);
    WriteTextMode(*log.platform, log.logFile, u"\n");
}

void LogNumber(InstallLog &log, std::u16string_view name, std::int32_t value) {
    if (!Writable(log)) return;
    LastErrorKeeper keeper(*log.platform);
    std::u16string line(name);
    line += u" = ";
    line += DecimalText(value);
    line += u"\n";
    WriteTextMode(*log.platform, log.logFile, line);
}

void LogText(InstallLog &log, std::u16string_view name, std::u16string_view text) {
    if (!Writable(log)) return;
    LastErrorKeeper keeper(*log.platform);
    std::u16string line(name);
    line += u" = '";
    line += text;
    line += u"'\n";
    WriteTextMode(*log.platform, log.logFile, line);
}

void LogFlag(InstallLog &log, bool value) {
    if (!Writable(log)) return;
    LastErrorKeeper keeper(*log.platform);
    WriteTextMode(*log.platform, log.logFile, value ? u"bNicExist = TRUE" : u"bNicExist = FALSE");
    WriteTextMode(*log.platform, log.logFile, u"\n");
}

}  // namespace cvl

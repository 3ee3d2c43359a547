#include "uninstall/self_delete.h"

#include <string>

#include "common/exit_code.h"
#include "common/limits.h"
#include "common/text.h"
#include "system/random_digits.h"

namespace cvl {
namespace {

constexpr DWORD kParentSettleMs = 1000;
constexpr DWORD kParentWaitMs = 2000;
constexpr DWORD kChildStartMs = 100;
constexpr std::size_t kRandomDigits = 10;
constexpr char16_t kCopyExtension[] = u".exe";

// The command line has no quoting, so a blank in the path to delete is
// carried as '?', a character no Windows file name can hold.
constexpr char16_t kBlankStandIn = u'?';

bool EncodeBlanks(const std::u16string &path, std::u16string &encoded) {
    if (path.find(kBlankStandIn) != std::u16string::npos) return false;
    encoded = path;
    for (auto &c : encoded)
        if (c == u' ') c = kBlankStandIn;
    return true;
}

std::u16string DecodeBlanks(std::u16string path) {
    for (auto &c : path)
        if (c == kBlankStandIn) c = u' ';
    return path;
}

void DeleteStartingProgram(Platform &platform, const InstallOptions &options) {
    const std::int32_t processId = LeadingDecimal(options.selfDeleteProcessId.value_or(u""));
    if (processId != 0) {
        platform.Sleep(kParentSettleMs);
        HANDLE parent = platform.OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE,
                                             static_cast<DWORD>(processId));
        if (parent != nullptr) {
            platform.WaitForSingleObject(parent, kParentWaitMs);
            platform.CloseHandle(parent);
        }
        const std::u16string target = DecodeBlanks(options.selfDeleteTarget.value_or(u""));
        if (!target.empty()) platform.DeleteFileW(target.c_str());
    }
    platform.ExitProcess(static_cast<UINT>(ExitCode::Success));
}

}  // namespace

bool CopySelfToTemp(Platform &platform, std::u16string &copyPath, std::u16string &ownPath) {
    // The copy's name adds ten digits, ".exe" and the terminator.
    constexpr std::size_t kAddedChars = kRandomDigits + 4 + 1;
    char16_t own[limits::kSelfDeletePathChars] = {};
    const DWORD ownLength = platform.GetModuleFileNameW(own, limits::kSelfDeletePathChars);
    if (ownLength == 0 || ownLength >= limits::kSelfDeletePathChars) return false;
    char16_t temp[limits::kSelfDeletePathChars] = {};
    const DWORD tempLength = platform.GetTempPathW(limits::kSelfDeletePathChars, temp);
    if (tempLength == 0 || tempLength + kAddedChars > limits::kSelfDeletePathChars) return false;

    // The copy runs with this program's rights from a folder that others
    // may write to: a name drawn from the clock could be foreseen, and taken
    // or prepared first.
    const auto digits = RandomDigits(platform, kRandomDigits);
    if (!digits) return false;
    ownPath.assign(own, ownLength);
    copyPath.assign(temp, tempLength);
    copyPath += *digits;
    copyPath += kCopyExtension;
    return platform.CopyFileW(ownPath.c_str(), copyPath.c_str(), TRUE) != FALSE;
}

bool LaunchSelfDeleter(Platform &platform, const std::u16string &copyPath,
                       const std::u16string &ownPath) {
    std::u16string target;
    if (!EncodeBlanks(ownPath, target)) return false;
    const bool quoteCopy = copyPath.find(u' ') != std::u16string::npos;
    std::u16string commandLine = quoteCopy ? u"\"" + copyPath + u"\"" : copyPath;
    commandLine += u" /selfdel ";
    commandLine += DecimalText(platform.GetCurrentProcessId());
    commandLine += u" ";
    commandLine += target;
    if (commandLine.size() >= limits::kSelfDeleteCommandChars) return false;

    StartupInfo startup{};
    startup.cb = sizeof(startup);
    ProcessInformation process{};
    // The copy is named on its own so that no other program can be started
    // in its place from a path with blanks.
    if (!platform.CreateProcessW(copyPath.c_str(), commandLine.data(), FALSE, NORMAL_PRIORITY_CLASS,
                                 &startup, &process))
        return false;
    platform.CloseHandle(process.hProcess);
    platform.CloseHandle(process.hThread);
    return true;
}

void SelfDelete(Platform &platform, const InstallOptions &options) {
    if (options.selfDeleteArgsGiven) {
        DeleteStartingProgram(platform, options);
        return;
    }

    std::u16string copyPath;
    std::u16string ownPath;
    if (!CopySelfToTemp(platform, copyPath, ownPath)) return;
    HANDLE hold =
        platform.CreateFileW(copyPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                             OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE);
    if (hold == InvalidHandleValue()) {
        // Nothing will remove the copy once this stage gives up.
        platform.DeleteFileW(copyPath.c_str());
        return;
    }
    if (LaunchSelfDeleter(platform, copyPath, ownPath)) platform.Sleep(kChildStartMs);
    platform.CloseHandle(hold);
}

}  // namespace cvl

// The actions that need no device: the driver-package tool, the rescan and
// the second stage of the self-deletion; and the answer of actions this
// build does not carry.
#include <string>

#include "app/actions.h"
#include "app/tool_run.h"
#include "common/limits.h"
#include "common/text.h"
#include "device/hardware_rescan.h"
#include "log/install_log.h"
#include "uninstall/self_delete.h"

namespace cvl {
namespace {

constexpr DWORD kRescanSettleMs = 3000;

// The tool's path and command line, or false when they do not fit the
// 260-character buffer the command line is built in.
bool BuildPnputilCommand(Platform &platform, std::u16string &toolPath,
                         std::u16string &commandLine) {
    char16_t windowsDirectory[limits::kPathChars] = {};
    const UINT length = platform.GetWindowsDirectoryW(windowsDirectory, limits::kPathChars);
    if (length == 0 || length >= limits::kPathChars) return false;
    toolPath =
        std::u16string(TextOf(windowsDirectory, limits::kPathChars)) + u"\\system32\\pnputil.exe";
    // A Windows directory with a blank is quoted so that the tool sees its
    // own name as one argument.
    const bool needsQuotes = toolPath.find(u' ') != std::u16string::npos;
    commandLine = needsQuotes ? u"\"" + toolPath + u"\" " : toolPath + u" ";
    return commandLine.size() < limits::kPathChars;
}

}  // namespace

ActionResult RunPnputilAction(ActionContext &context) {
    std::u16string toolPath;
    std::u16string commandLine;
    std::optional<DWORD> toolExitCode;
    if (BuildPnputilCommand(context.platform, toolPath, commandLine))
        toolExitCode = RunProcessAndWait(context.platform, toolPath, commandLine);
    // The action ends with 0 whatever the tool did; the log tells a tool that
    // did not start from one that ended with an error.
    if (!toolExitCode) {
        LogLine(context.state.log, u"Could not execute the application....");
    } else if (*toolExitCode != 0) {
        LogNumber(context.state.log, u"pnputil exit code",
                  static_cast<std::int32_t>(*toolExitCode));
    }
    return {ExitCode::Success, false};
}

ActionResult RescanAction(ActionContext &context) {
    LogLine(context.state.log, u"Scan Hardware Change...");
    RescanHardware(context.platform);
    context.platform.Sleep(kRescanSettleMs);
    return {ExitCode::Success, false};
}

ActionResult SelfDeleteAction(ActionContext &context) {
    LogLine(context.state.log, u"Self Deleting...");
    SelfDelete(context.platform, context.options);
    // The second stage has ended the process; where ExitProcess returns,
    // the run must not go on as if it had not.
    return {ExitCode::Success, context.options.selfDeleteArgsGiven};
}

}  // namespace cvl

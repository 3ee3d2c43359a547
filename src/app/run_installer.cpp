#include "app/run_installer.h"

#include <string>

#include "app/actions.h"
#include "app/command_line.h"
#include "app/hardware_id_builders.h"
#include "app/startup_rules.h"
#include "app/tool_run.h"
#include "common/exit_code.h"
#include "log/install_log.h"
#include "options/install_options.h"
#include "run/run_state.h"
#include "system/os_detect.h"

namespace cvl {
namespace {

constexpr char16_t kUninstallQuestion[] =
    u"Do You Want To Remove Corvane Ethernet Controller Driver?";

void OpenRunLog(RunState &state) {
    if (state.osKind == Os9x98) {
        // Windows 98 keeps its log at the root of the current drive.
        OpenInstallLogAt(state.log, u"\\INST.TXT");
    } else {
        OpenInstallLog(state.log);
    }
}

ExitCode Shutdown(RunState &state, ExitCode exitCode) {
    LogNumber(state.log, u"Exit code:", static_cast<std::int32_t>(exitCode));
    CloseInstallLog(state.log);
    return exitCode;
}

ExitCode RunActions(Platform &platform, std::u16string_view commandTail) {
    RunState state(platform);

    state.osKind = DetectOsKind(platform);
    if (state.osKind == OsUnsupported) return ExitCode::UnsupportedOs;
    if (commandTail.empty()) return ExitCode::BadCommandLine;

    InstallOptions options;
    std::u16string text(commandTail);
    if (!ParseCommandLine(platform, text, options, state)) return ExitCode::BadCommandLine;

    if (state.osKind == OsNt6Later) MarkCompatibilityPersisted(platform);

    if (options.uninstallerMode && !options.silent) {
        const int answer =
            platform.MessageBoxW(kUninstallQuestion, u"", MB_OKCANCEL | MB_ICONEXCLAMATION);
        // Only OK is consent: a box that could not be shown (0) asked nobody.
        if (answer != IDOK) return ExitCode::Success;
    }

    if (options.debugLog) state.log.logSuppressed = false;
    ApplyVdevRule(options, state.osKind);
    OpenRunLog(state);
    BuildOemHardwareIds(state);

    ActionContext context{platform, state, options};
    const ActionResult result = HandlerFor(options.action)(context);
    if (result.processEnded) {
        // The action ended the process. ExitProcess may return to its caller
        // on some platforms; the run then leaves its log as the end left it
        // and returns at once.
        CloseInstallLog(state.log);
        return result.exitCode;
    }
    return Shutdown(state, result.exitCode);
}

}  // namespace

DWORD RunInstaller(Platform &platform, std::u16string_view commandTail) {
    return static_cast<DWORD>(RunActions(platform, commandTail));
}

}  // namespace cvl

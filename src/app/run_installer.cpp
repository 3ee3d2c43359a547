#include "app/run_installer.h"

#include <string>

#include "app/actions.h"
#include "app/command_line.h"
#include "app/install_options.h"
#include "app/os_detect.h"
#include "app/startup_rules.h"
#include "app/tool_run.h"
#include "common/run_state.h"
#include "log/install_log.h"

namespace cvl {
namespace {

constexpr DWORD kExitUnsupportedOs = 1;
constexpr DWORD kExitBadCommandLine = 2;

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

DWORD Shutdown(RunState &state, InstallOptions &options, DWORD exitCode) {
    options.infPath.reset();
    options.selfDeleteProcessId.reset();
    options.selfDeleteTarget.reset();
    options.savedSigningPolicy.reset();
    LogNumber(state.log, u"Exit code:", static_cast<std::int32_t>(exitCode));
    CloseInstallLog(state.log);
    return exitCode;
}

}  // namespace

void ApplyVdevRule(InstallOptions &options, std::uint32_t osKind) {
    const bool familyAllows = options.b702 || options.vistaB701;
    const bool osAllows = osKind >= OsNt6Later && osKind <= OsNt50;
    if (!(familyAllows && osAllows)) options.vdevQ2dp = 0;
}

DWORD RunInstaller(Platform &platform, std::u16string_view commandTail) {
    RunState state(platform);
    state.PackageInfPath.clear();
    state.PackageDriverVersion.clear();

    state.osKind = DetectOsKind(platform);
    if (state.osKind == OsUnsupported) return kExitUnsupportedOs;
    if (commandTail.empty()) return kExitBadCommandLine;

    InstallOptions options;
    std::u16string text(commandTail);
    if (!ParseCommandLine(platform, text, options, state)) return kExitBadCommandLine;

    if (state.osKind == OsNt6Later) MarkCompatibilityPersisted(platform);

    if (options.uninstallerMode && !options.silent) {
        const int answer =
            platform.MessageBoxW(kUninstallQuestion, u"", MB_OKCANCEL | MB_ICONEXCLAMATION);
        if (answer == IDCANCEL) return 0;
    }

    if (options.debugLog) state.log.logSuppressed = 0;
    ApplyVdevRule(options, state.osKind);
    OpenRunLog(state);
    BuildOemHardwareIds(state);

    ActionContext context{platform, state, options};
    const ActionResult result = HandlerFor(options.action)(context);
    if (result.processEnded) {
        // The process has ended inside the action; only a simulated machine
        // comes back here, and the run leaves its log as the end left it.
        CloseInstallLog(state.log);
        return result.exitCode;
    }
    return Shutdown(state, options, result.exitCode);
}

}  // namespace cvl

// "/u" and "/uninstaller": one of the two uninstall flows, chosen by the
// family switches; its result is the exit code.
#include "app/actions.h"
#include "log/install_log.h"
#include "options/family_selection.h"
#include "uninstall/uninstall_flows.h"

namespace cvl {

ActionResult UninstallAction(ActionContext &context) {
    LogLine(context.state.log, u"Starting Uninstall...");
    const ExitCode result =
        AnyPerFamilySwitch(context.options)
            ? UninstallPerFamily(context.platform, context.state, context.options)
            : UninstallLegacyPciFamilies(context.platform, context.state, context.options);
    return {result, false};
}

}  // namespace cvl

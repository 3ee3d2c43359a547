// The install ("/i") and record-version ("/q") actions around the two
// install flows.
#include <optional>

#include "app/actions.h"
#include "app/parameter_retry.h"
#include "device/device_control.h"
#include "install/family_install.h"
#include "install/legacy_install.h"
#include "install/signing_policy.h"
#include "log/install_log.h"
#include "options/family_selection.h"

namespace cvl {
namespace {

enum class FlowKind { PerFamily, Legacy };

FlowKind FlowFor(const InstallOptions &options) {
    return AnyPerFamilySwitch(options) ? FlowKind::PerFamily : FlowKind::Legacy;
}

ExitCode RunFlow(ActionContext &context, FlowKind kind, DeviceUpdates &updates) {
    if (kind == FlowKind::PerFamily)
        return InstallFamilyDriver(context.platform, context.state, context.options, updates);
    return InstallLegacyPciDriver(context.platform, context.state, context.options, updates);
}

// The families whose parameters are written after the flow of `kind`.
std::vector<DeviceFamily> ParameterFamilies(const InstallOptions &options, FlowKind kind) {
    return kind == FlowKind::PerFamily ? SelectedPerFamilyFamilies(options)
                                       : SelectedLegacyFamilies(options);
}

void AfterSuccessfulInstall(ActionContext &context, FlowKind kind, const DeviceUpdates &updates) {
    if (context.state.parameters.count > 0)
        RetryParameterWrites(context.platform, context.state, ParameterTargets::PackageVersionOnly,
                             ParameterFamilies(context.options, kind));
    EnableSelectedFamilies(context.platform, context.state, FamiliesToEnable(context.options));
    // The family prefixes do not name every adapter an update switched off.
    EnableUpdatedAdapters(context.platform, context.state, updates);
}

}  // namespace

ActionResult InstallAction(ActionContext &context) {
    LogLine(context.state.log, u"Starting Install...");
    std::optional<SigningPolicyGuard> policy;
    if (context.options.betaDriver) {
        policy.emplace(context.platform);
        policy->Relax();
    }
    const FlowKind kind = FlowFor(context.options);
    DeviceUpdates updates;
    const ExitCode result = RunFlow(context, kind, updates);
    if (result == ExitCode::Success) {
        AfterSuccessfulInstall(context, kind, updates);
    } else {
        // A flow that stopped after some updates switched adapters off: none
        // of them stays off, though nothing else of the install follows.
        EnableUpdatedAdapters(context.platform, context.state, updates);
    }
    if (policy) policy->Restore();
    return {result, false};
}

ActionResult RecordVersionAction(ActionContext &context) {
    DeviceUpdates nothingUpdated;
    return {RunFlow(context, FlowFor(context.options), nothingUpdated), false};
}

}  // namespace cvl

// The install ("/i") and record-version ("/q") actions around the two
// install flows.
#include <optional>

#include "app/actions.h"
#include "app/family_selection.h"
#include "app/parameter_retry.h"
#include "device/device_control.h"
#include "install/family_install.h"
#include "install/legacy_install.h"
#include "install/signing_policy.h"
#include "log/install_log.h"

namespace cvl {
namespace {

enum class FlowKind { PerFamily, Legacy };

FlowKind FlowFor(const InstallOptions &options) {
    return AnyPerFamilyFlag(options) ? FlowKind::PerFamily : FlowKind::Legacy;
}

ExitCode RunFlow(ActionContext &context, FlowKind kind, UpdatedHardwareIds &updated) {
    if (kind == FlowKind::PerFamily)
        return InstallFamilyDriver(context.platform, context.state, context.options, updated);
    return InstallLegacyPciDriver(context.platform, context.state, context.options, updated);
}

// The families whose parameters are written after the flow of `kind`.
std::vector<DeviceFamily> ParameterFamilies(const InstallOptions &options, FlowKind kind) {
    return kind == FlowKind::PerFamily ? SelectedPerFamilyFamilies(options)
                                       : SelectedLegacyFamilies(options);
}

void AfterSuccessfulInstall(ActionContext &context, FlowKind kind,
                            const UpdatedHardwareIds &updated) {
    if (context.state.parameters.count > 0)
        RetryParameterWrites(context.platform, context.state, ParameterTargets::PackageVersionOnly,
                             ParameterFamilies(context.options, kind));
    EnableSelectedFamilies(context.platform, context.state, FamiliesToEnable(context.options));
    // The family prefixes do not name every adapter an update switched off.
    EnableUpdatedAdapters(context.platform, context.state, updated);
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
    UpdatedHardwareIds updated;
    const ExitCode result = RunFlow(context, kind, updated);
    if (result == ExitCode::Success) AfterSuccessfulInstall(context, kind, updated);
    if (policy) policy->Restore();
    return {result, false};
}

ActionResult RecordVersionAction(ActionContext &context) {
    UpdatedHardwareIds nothingUpdated;
    return {RunFlow(context, FlowFor(context.options), nothingUpdated), false};
}

}  // namespace cvl

#include <array>

#include "app/actions.h"

namespace cvl {
namespace {

struct ActionRow {
    ActionCode action;
    ActionHandler handler;
};

// Every ActionCode the command line can set, in code order.
constexpr std::array<ActionRow, 12> kActionTable{{
    {ActionInstall, InstallAction},
    {ActionUninstall, UninstallAction},
    {ActionRecordVersion, RecordVersionAction},
    {ActionRunPnputil, RunPnputilAction},
    {ActionDisable, DisableAction},
    {ActionEnable, EnableAction},
    {ActionRestart, RestartAction},
    {ActionCheckPresence, CheckPresenceAction},
    {ActionSetParameters, SetParametersAction},
    {ActionSelfDelete, SelfDeleteAction},
    {ActionRescan, RescanAction},
    {ActionQueryDevice, QueryDeviceAction},
}};

ActionResult NoAction(ActionContext &) {
    return {ExitCode::NoAction, false};
}

}  // namespace

ActionHandler HandlerFor(ActionCode action) {
    for (const ActionRow &row : kActionTable)
        if (row.action == action) return row.handler;
    return NoAction;
}

}  // namespace cvl

#include <array>

#include "app/actions.h"

namespace cvl {
namespace {

struct ActionRow {
    std::uint32_t action;
    ActionHandler handler;
};

// Every ActionCode the command line can set, in code order.
constexpr std::array<ActionRow, 12> kActionTable{{
    {ActionInstall, InstallAction},
    {ActionUninstall, ActionNotAvailable},
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
    return {kExitNoAction, false};
}

}  // namespace

ActionHandler HandlerFor(std::uint32_t action) {
    for (const ActionRow &row : kActionTable)
        if (row.action == action) return row.handler;
    return NoAction;
}

}  // namespace cvl

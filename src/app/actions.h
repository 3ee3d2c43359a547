// The one action a run performs, chosen by its ActionCode through one table.
#pragma once

#include "common/exit_code.h"
#include "options/install_options.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

struct ActionContext {
    Platform &platform;
    RunState &state;
    InstallOptions &options;
};

struct ActionResult {
    ExitCode exitCode = ExitCode::Success;
    // The process was ended from inside the action (the second stage of the
    // self-deletion): the shutdown steps do not run.
    bool processEnded = false;
};

using ActionHandler = ActionResult (*)(ActionContext &context);

// The handler of an ActionCode; codes without one give the "no action" exit.
ActionHandler HandlerFor(ActionCode action);

// The individual actions.
ActionResult InstallAction(ActionContext &context);
ActionResult RecordVersionAction(ActionContext &context);
ActionResult RunPnputilAction(ActionContext &context);
ActionResult RescanAction(ActionContext &context);
ActionResult SelfDeleteAction(ActionContext &context);
ActionResult UninstallAction(ActionContext &context);
ActionResult DisableAction(ActionContext &context);
ActionResult EnableAction(ActionContext &context);
ActionResult RestartAction(ActionContext &context);
ActionResult CheckPresenceAction(ActionContext &context);
ActionResult SetParametersAction(ActionContext &context);
ActionResult QueryDeviceAction(ActionContext &context);

}  // namespace cvl

// The one action a run performs, chosen by its ActionCode through one table.
#pragma once

#include <cstdint>

#include "app/install_options.h"
#include "common/run_state.h"
#include "platform/platform.h"

namespace cvl {

struct ActionContext {
    Platform &platform;
    RunState &state;
    InstallOptions &options;
};

struct ActionResult {
    DWORD exitCode = 0;
    // The process was ended from inside the action (the second stage of the
    // self-deletion): the shutdown steps do not run.
    bool processEnded = false;
};

using ActionHandler = ActionResult (*)(ActionContext &context);

// The exit code of a run whose command line holds no action option.
inline constexpr DWORD kExitNoAction = 3;
// The exit code of an action this build does not carry yet. No caller may
// read it as success.
inline constexpr DWORD kExitActionNotAvailable = 13;

// The handler of an ActionCode; codes without one give the "no action" exit.
ActionHandler HandlerFor(std::uint32_t action);

// The individual actions.
ActionResult InstallAction(ActionContext &context);
ActionResult RecordVersionAction(ActionContext &context);
ActionResult RunPnputilAction(ActionContext &context);
ActionResult RescanAction(ActionContext &context);
ActionResult SelfDeleteAction(ActionContext &context);
ActionResult ActionNotAvailable(ActionContext &context);
ActionResult DisableAction(ActionContext &context);
ActionResult EnableAction(ActionContext &context);
ActionResult RestartAction(ActionContext &context);
ActionResult CheckPresenceAction(ActionContext &context);
ActionResult SetParametersAction(ActionContext &context);
ActionResult QueryDeviceAction(ActionContext &context);

}  // namespace cvl

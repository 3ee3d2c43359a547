// The actions that switch adapters, check for them and write their
// parameters.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/actions.h"
#include "app/command_line.h"
#include "app/hardware_id_builders.h"
#include "app/parameter_retry.h"
#include "common/family_code.h"
#include "common/text.h"
#include "device/device_control.h"
#include "device/presence_check.h"
#include "family/family_orders.h"
#include "family/family_table.h"
#include "log/fresh_file.h"
#include "log/install_log.h"
#include "options/family_selection.h"
#include "state/setup_state.h"
#include "system/registry_text.h"

namespace cvl {
namespace {

constexpr DWORD kSwitchPauseMs = 1000;

enum class StepKind { Pause, Off, On };

struct Step {
    StepKind kind;
    DeviceFamily family;  // of Off and On
};

using Script = std::vector<Step>;

constexpr Step Pause() {
    return {StepKind::Pause, {}};
}
constexpr Step Off(DeviceFamily family) {
    return {StepKind::Off, family};
}
constexpr Step On(DeviceFamily family) {
    return {StepKind::On, family};
}

std::array<Script, 3> LegacyScripts(DeviceFamily family) {
    return {Script{Off(family)}, Script{On(family)},
            Script{Pause(), Off(family), Pause(), On(family)}};
}

std::array<Script, 3> UsbScripts(DeviceFamily family) {
    return {Script{Pause(), Off(family), Pause(), Off(family)},
            Script{Pause(), On(family), Pause(), On(family)},
            Script{Pause(), Off(family), Pause(), On(family)}};
}

// With no family switched, the B701 and B703 adapters are.
std::array<Script, 3> UnswitchedScripts() {
    return {Script{Pause(), Off(FamilyVistaB701), Pause(), Off(FamilyVistaB703)},
            Script{Pause(), On(FamilyVistaB701), Pause(), On(FamilyVistaB703)},
            Script{Pause(), Off(FamilyVistaB701), Pause(), Off(FamilyVistaB703), Pause(),
                   On(FamilyVistaB701), Pause(), On(FamilyVistaB703)}};
}

void RunScript(ActionContext &context, const Script &script) {
    for (const Step &step : script) {
        switch (step.kind) {
            case StepKind::Pause:
                context.platform.Sleep(kSwitchPauseMs);
                break;
            case StepKind::Off:
                SetFamilyAdaptersState(context.platform, context.state, step.family,
                                       AdapterSwitch::Off);
                break;
            case StepKind::On:
                SetFamilyAdaptersState(context.platform, context.state, step.family,
                                       AdapterSwitch::On);
                break;
        }
    }
}

// "Completed.txt" in the current directory, without a line end.
void WriteCompletedMarker(Platform &platform, std::u16string_view text) {
    HANDLE file = CreateFreshFile(platform, u"Completed.txt");
    if (file == InvalidHandleValue()) return;
    WriteTextMode(platform, file, text);
    platform.CloseHandle(file);
}

enum SwitchAction { kDisable = 0, kEnable = 1, kRestart = 2 };

ActionResult SwitchAdapters(ActionContext &context, SwitchAction action) {
    RunState &state = context.state;
    if (state.nicIdGiven) {
        LowerAZ(state.nicIdText);
        const std::u16string idText(SlotText(state.nicIdText));
        static constexpr const char16_t *kMarkers[] = {u"Disabled NIC", u"Enabled NIC",
                                                       u"Disabled and enabled NIC"};
        if (action != kEnable)
            SetAdapterStateById(context.platform, state, idText, AdapterSwitch::Off);
        if (action != kDisable)
            SetAdapterStateById(context.platform, state, idText, AdapterSwitch::On);
        WriteCompletedMarker(context.platform, kMarkers[action]);
        return {ExitCode::Success, false};
    }
    const std::optional<DeviceFamily> switched =
        context.options.families.FirstOf(family_order::kSwitching);
    if (!switched) {
        RunScript(context, UnswitchedScripts()[action]);
    } else if (FamilyRowOf(*switched)->group == FamilyGroup::Legacy) {
        const DeviceFamily family =
            *switched == FamilyPci ? LegacyPciFamily(context.options) : *switched;
        RunScript(context, LegacyScripts(family)[action]);
        LogLine(state.log, FamilyRowOf(family)->disableLine);
    } else {
        RunScript(context, UsbScripts(*switched)[action]);
    }
    return {ExitCode::Success, false};
}

// Writes "NicExist" under VISTA_B703 or VISTA_B760 of an existing Software key.
void WriteDirectPresence(Platform &platform, const std::u16string &subkey,
                         std::u16string_view answer) {
    ScopedKey software(platform);
    if (platform.RegOpenKeyExW(HKeyLocalMachine(), u"Software", 0, KEY_ALL_ACCESS,
                               software.Receive()) != ERROR_SUCCESS)
        return;
    ScopedKey family(platform);
    if (platform.RegCreateKeyExW(software.Get(), subkey.c_str(), REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, family.Receive(), nullptr) != ERROR_SUCCESS)
        return;
    WriteRegistryText(platform, family.Get(), u"NicExist", answer);
}

}  // namespace

ActionResult DisableAction(ActionContext &context) {
    return SwitchAdapters(context, kDisable);
}
ActionResult EnableAction(ActionContext &context) {
    return SwitchAdapters(context, kEnable);
}
ActionResult RestartAction(ActionContext &context) {
    return SwitchAdapters(context, kRestart);
}

ActionResult CheckPresenceAction(ActionContext &context) {
    const InstallOptions &options = context.options;
    const std::optional<DeviceFamily> asked = options.families.FirstOf(family_order::kPresence);
    if (!asked) return {ExitCode::Success, false};
    BuildCheckHardwareIds(context.state);
    const PresenceAnswer presence =
        LookForAdapter(context.platform, context.state, PresenceQuery::CheckHardwareIds);
    if (presence == PresenceAnswer::NotLooked) {
        // "no" is an answer the maker's setup software acts on; a look that
        // could not be made leaves the recorded answer as it was.
        LogLine(context.state.log, u"Could not list the devices, NicExist not written...");
        return {ExitCode::Success, false};
    }
    const bool found = presence == PresenceAnswer::Present;
    LogFlag(context.state.log, found);
    const std::u16string_view answer = found ? u"yes" : u"no";
    if (*asked == FamilyVistaB701) {
        WriteSetupValue(context.platform, u"NicExist", answer, FamilyVistaB701);
    } else {
        WriteDirectPresence(context.platform,
                            std::u16string(u"CVLSetup\\") + SetupFamilySubkey(*asked), answer);
    }
    return {ExitCode::Success, false};
}

ActionResult SetParametersAction(ActionContext &context) {
    if (context.state.parameters.count == 0) return {ExitCode::Success, false};
    const std::vector<DeviceFamily> families = SelectedPerFamilyFamilies(context.options);
    RetryParameterWrites(context.platform, context.state, ParameterTargets::AnyVersion, families);
    for (DeviceFamily family : families) {
        context.platform.Sleep(kSwitchPauseMs);
        SetFamilyAdaptersState(context.platform, context.state, family, AdapterSwitch::Off);
        context.platform.Sleep(kSwitchPauseMs);
        SetFamilyAdaptersState(context.platform, context.state, family, AdapterSwitch::On);
    }
    return {ExitCode::Success, false};
}

ActionResult QueryDeviceAction(ActionContext &context) {
    const bool found = ChkNicExist(context.platform, context.state, PresenceQuery::QueryDeviceId);
    return {found ? ExitCode::Success : ExitCode::DeviceNotFound, false};
}

}  // namespace cvl

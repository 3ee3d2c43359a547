// Where a failure makes the program do other work than the run without
// failures, on purpose: the failing calls, and the changes they may bring.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "sweep/sweep_scenarios.h"

namespace cvl::test {

using Op = PlatformOperation;

struct OtherWork {
    const char *why;
    std::vector<ActionKind> actions;
    std::vector<Op> failingCalls;
    // The change lines it may add; '*' stands for any run of characters.
    std::vector<std::string_view> changes;
};

// The calls of a walk over the adapters that switches them on or off.
inline const std::vector<Op> kDeviceWalkCalls = {
    Op::SetupDiClassGuidsFromNameW, Op::SetupDiGetClassDevsW,
    Op::SetupDiEnumDeviceInfo,      Op::SetupDiGetDeviceRegistryPropertyW,
    Op::CM_Get_DevNode_Status,      Op::SetupDiOpenDevRegKey,
    Op::RegQueryValueExW,           Op::SetupDiSetClassInstallParamsW,
    Op::SetupDiCallClassInstaller,  Op::LocalAlloc,
};

inline const std::vector<OtherWork> &OtherWorkTable() {
    static const std::vector<OtherWork> table = {
        {"The package's version cannot be read from its INF: the install goes on and the "
         "status key records the version it has, none.",
         {ActionKind::kInstall},
         {Op::SetupOpenInfFileW, Op::SetupFindFirstLineW, Op::SetupFindNextLine,
          Op::SetupGetStringFieldW},
         {"+ value HKLM\\SOFTWARE\\Corvane\\*\\version: REG_SZ \"\""}},
        {"The installed version is compared with a package version that cannot be read: "
         "the install goes on where the adapters already run the package, and the status "
         "key records the version it has, none.",
         {ActionKind::kInstall},
         {Op::SetupOpenInfFileW, Op::SetupFindFirstLineW, Op::SetupFindNextLine,
          Op::SetupGetStringFieldW},
         {"~ value HKLM\\SOFTWARE\\Corvane\\*\\version: REG_SZ * -> \"\""}},
        {"\"/q\" records the package version it could read, none.",
         {ActionKind::kRecordVersion},
         {Op::SetupOpenInfFileW, Op::SetupFindFirstLineW, Op::SetupFindNextLine,
          Op::SetupGetStringFieldW},
         {"+ value HKLM\\SOFTWARE\\CVLSetup\\*\\NewDrvVer: REG_SZ \"\""}},
        {"The legacy install records whether a device update found the card: a failed "
         "update records that none was found.",
         {ActionKind::kInstall},
         {Op::UpdateDriverForPlugAndPlayDevicesW},
         {"+ value HKLM\\SOFTWARE\\CVLSetup\\*\\CardFound: REG_SZ \"FALSE\""}},
        {"\"/chknicexist\" records what the walk over the adapters found: a walk that "
         "stops at a device it cannot read or step past finds none and records \"no\" (a "
         "walk without a device list records nothing).",
         {ActionKind::kOther},
         {Op::SetupDiEnumDeviceInfo, Op::SetupDiGetDeviceRegistryPropertyW,
          Op::CM_Get_DevNode_Status, Op::SetupDiOpenDevRegKey, Op::RegQueryValueExW,
          Op::LocalAlloc},
         {"+ value HKLM\\SOFTWARE\\CVLSetup\\*\\NicExist: REG_SZ \"no\""}},
        {"\"Completed.txt\" is opened (emptied) before its text is written: a write that "
         "fails leaves it empty.",
         {ActionKind::kOther},
         {Op::WriteFile},
         {"+ file C:\\setup\\Completed.txt (0 bytes)"}},
        {"Windows 98's device search location is cleared first and pointed at the setup "
         "files afterwards: when the second step fails, it stays cleared.",
         {ActionKind::kInstall},
         {Op::GetWindowsDirectoryW, Op::RegOpenKeyExW, Op::RegQueryValueExW, Op::RegSetValueExW},
         {"+ value HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SysDM\\SearchLocation: "
          "REG_SZ \"\""}},
        {"\"/betadrv\" relaxes the driver-signing policy for the install and puts it back "
         "afterwards: a failed restore leaves it relaxed.",
         {ActionKind::kInstall},
         {Op::RegOpenKeyExW, Op::RegSetValueExW},
         {"~ value HKLM\\SOFTWARE\\Microsoft\\Driver Signing\\Policy: * -> 00",
          "~ value HKCU\\Software\\Microsoft\\Driver Signing\\Policy: * -> 0x00000000 (0)"}},
        {"An adapter switched off for the update or the restart cannot be switched on "
         "again: it stays off.",
         {ActionKind::kInstall, ActionKind::kOther},
         kDeviceWalkCalls,
         {"~ device *: started -> disabled"}},
    };
    return table;
}

// A version report that cannot be read is an unsupported system: every
// action then ends with 1 before it starts.
inline bool EndsBeforeTheAction(Op failing, DWORD exitCode) {
    return failing == Op::GetVersionExW && exitCode == 1;
}

inline bool MatchesLine(std::string_view pattern, std::string_view line) {
    if (pattern.empty()) return line.empty();
    if (pattern.front() == '*') {
        for (std::size_t skip = 0; skip <= line.size(); ++skip)
            if (MatchesLine(pattern.substr(1), line.substr(skip))) return true;
        return false;
    }
    return !line.empty() && pattern.front() == line.front() &&
           MatchesLine(pattern.substr(1), line.substr(1));
}

inline bool AllowedOtherWork(ActionKind action, Op failing, std::string_view line) {
    for (const OtherWork &work : OtherWorkTable()) {
        if (std::find(work.actions.begin(), work.actions.end(), action) == work.actions.end())
            continue;
        if (std::find(work.failingCalls.begin(), work.failingCalls.end(), failing) ==
            work.failingCalls.end())
            continue;
        for (std::string_view pattern : work.changes)
            if (MatchesLine(pattern, line)) return true;
    }
    return false;
}

}  // namespace cvl::test

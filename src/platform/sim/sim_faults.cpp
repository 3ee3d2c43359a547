// Chosen failures of single calls, and the count of every call.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "platform/sim/sim_machine.h"

namespace cvl::sim {
namespace {

// Every operation of Platform that a rule may name.
// (Those that cannot fail are counted, and ignore rules.)
constexpr std::string_view kOperations[] = {"GetLastError",
                                            "SetLastError",
                                            "GetVersionExW",
                                            "RegOpenKeyExW",
                                            "RegCreateKeyExW",
                                            "RegQueryValueExW",
                                            "RegSetValueExW",
                                            "RegDeleteKeyW",
                                            "RegDeleteValueW",
                                            "RegEnumKeyExW",
                                            "RegEnumValueW",
                                            "RegCloseKey",
                                            "GetModuleFileNameW",
                                            "GetTempPathW",
                                            "GetWindowsDirectoryW",
                                            "GetSystemDirectoryW",
                                            "GetCurrentDirectoryW",
                                            "CopyFileW",
                                            "CreateFileW",
                                            "WriteFile",
                                            "DeleteFileW",
                                            "SetFileAttributesW",
                                            "GetFileAttributesW",
                                            "FindFirstFileW",
                                            "FindNextFileW",
                                            "FindClose",
                                            "LocalAlloc",
                                            "LocalFree",
                                            "CreateProcessW",
                                            "WaitForSingleObject",
                                            "GetExitCodeProcess",
                                            "OpenProcess",
                                            "GetCurrentProcessId",
                                            "CloseHandle",
                                            "ExitProcess",
                                            "MessageBoxW",
                                            "Sleep",
                                            "GetTickCount",
                                            "SetupDiGetClassDevsW",
                                            "SetupDiClassGuidsFromNameW",
                                            "SetupDiEnumDeviceInfo",
                                            "SetupDiDestroyDeviceInfoList",
                                            "SetupDiGetDeviceRegistryPropertyW",
                                            "SetupDiOpenDevRegKey",
                                            "SetupDiDeleteDevRegKey",
                                            "SetupDiSetClassInstallParamsW",
                                            "SetupDiCallClassInstaller",
                                            "CM_Get_DevNode_Status",
                                            "CM_Connect_MachineW",
                                            "CM_Locate_DevNode_ExW",
                                            "CM_Reenumerate_DevNode_Ex",
                                            "CM_Disconnect_Machine",
                                            "SetupCopyOEMInfW",
                                            "SetupAddToSourceListW",
                                            "SetupRemoveFromSourceListW",
                                            "UpdateDriverForPlugAndPlayDevicesW",
                                            "SetupOpenInfFileW",
                                            "SetupCloseInfFile",
                                            "SetupFindFirstLineW",
                                            "SetupFindNextLine",
                                            "SetupGetStringFieldW",
                                            "SetupGetInfFileListW",
                                            "OpenSCManagerW",
                                            "OpenServiceW",
                                            "QueryServiceConfigW",
                                            "CloseServiceHandle"};

bool KnownOperation(std::string_view operation) {
    return std::find(std::begin(kOperations), std::end(kOperations), operation) !=
           std::end(kOperations);
}

}  // namespace

std::optional<DWORD> SimulatedPlatform::Machine::Injected(std::string_view operation) {
    const auto counted = callCounts.find(operation);
    if (counted == callCounts.end()) {
        callCounts.emplace(std::string(operation), 1);
    } else {
        ++counted->second;
    }
    std::optional<DWORD> fired;
    for (auto &fault : faults) {
        if (fault.rule.operation != operation) continue;
        ++fault.seen;
        if (fired || fault.rule.remaining == 0) continue;
        if (fault.rule.nth == 0 || fault.seen == fault.rule.nth) {
            --fault.rule.remaining;
            fired = fault.rule.error;
        }
    }
    return fired;
}

void SimulatedPlatform::Fail(std::string operation, DWORD error, std::uint32_t nth) {
    FaultRule rule;
    rule.operation = std::move(operation);
    rule.error = error;
    rule.nth = nth;
    Fail(std::move(rule));
}

void SimulatedPlatform::Fail(FaultRule rule) {
    if (!KnownOperation(rule.operation)) {
        std::fprintf(stderr, "SimulatedPlatform::Fail: no operation is called \"%s\"\n",
                     rule.operation.c_str());
        std::abort();
    }
    machine_->faults.push_back(FaultState{std::move(rule), 0});
}

void SimulatedPlatform::ClearFaults() {
    machine_->faults.clear();
}

std::uint32_t SimulatedPlatform::CallCount(std::string_view operation) const {
    const auto found = machine_->callCounts.find(operation);
    return found == machine_->callCounts.end() ? 0 : found->second;
}

}  // namespace cvl::sim

// The values the simulated machine is seeded with and reports: registry
// values, devices, processes, waits, message boxes, fault rules.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/platform_operation.h"

namespace cvl::sim {

// One registry value as stored: its type and raw bytes.
struct RegValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// A started process as the simulation remembers it.
struct ProcessRecord {
    DWORD processId = 0;
    std::u16string applicationName;  // empty when none was given
    std::u16string commandLine;
    std::u16string imagePath;  // the executable the command line resolved to
    StartupInfo startupInfo{};
    bool running = true;
    DWORD exitCode = STILL_ACTIVE;
};

// One wait on a process that did not end: the ticks it took.
struct WaitRecord {
    DWORD processId = 0;
    DWORD milliseconds = 0;
    DWORD result = WAIT_TIMEOUT;
};

// The version the machine reports, as SetVersion seeded it.
struct VersionReport {
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    DWORD major = 6;
    DWORD minor = 1;
    DWORD build = 7601;
    std::u16string servicePack = u"Service Pack 1";
};

// A wait without a time limit on a process that cannot end while the
// caller waits (it runs only after the caller's run, or never): Windows
// would hang, the machine fails the wait with WAIT_FAILED and
// ERROR_POSSIBLE_DEADLOCK.

struct MessageBoxRecord {
    std::u16string text;
    std::u16string caption;
    UINT type = 0;
};

// Runs one simulated program start: the platform already shows the child as
// the current process (its id, its own module path); `commandTail` is what
// follows the program name. Returns the exit code.
using ProgramEntry = std::function<DWORD(Platform &platform, std::u16string commandTail)>;

// The class every network adapter belongs to.
inline constexpr char16_t kNetClassGuidText[] = u"{4d36e972-e325-11ce-bfc1-08002be10318}";

// A device as AddDevice stores it.
struct DeviceSpec {
    // e.g. u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00011043&REV_06\\4&1f3a&0&00E4"
    std::u16string instanceId;
    std::vector<std::u16string> hardwareIds;  // the HardwareID REG_MULTI_SZ; empty: no value at all
    std::vector<std::u16string> compatibleIds;  // CompatibleIDs; empty: no value
    // The Class and ClassGUID values; none: the key has no such value, as
    // with a device that never had a driver.
    std::optional<std::u16string> className = u"Net";
    std::optional<std::u16string> classGuid = kNetClassGuidText;
    bool present = true;
    bool started = true;                   // DN_STARTED
    bool disableable = true;               // DN_DISABLEABLE
    bool hiddenFromDeviceManager = false;  // DN_NO_SHOW_IN_DM
    bool disabled = false;                 // switched off earlier: not started, problem 22
    bool withDriverKey = true;             // a Driver value linking to Control\Class\{guid}\NNNN
    std::u16string driverKeyName;          // NNNN; empty: the first free number
    std::vector<std::pair<std::u16string, std::u16string>> driverStrings;  // REG_SZ values there
};

// What the device tree knows of a device beyond the registry.
struct DeviceNodeState {
    bool present = false;
    bool started = false;
    bool disabled = false;
};

// Makes chosen calls fail. `nth` counts the calls of that operation made
// after the rule was added, from 1; 0 means every call. A failing call
// returns its failure result and sets the last error (or returns the error
// code, for the registry and CM calls); calls that cannot fail (Sleep,
// GetTickCount, ExitProcess ...) ignore rules.
struct FaultRule {
    PlatformOperation operation{};
    DWORD error = 0;
    std::uint32_t nth = 0;
    std::uint32_t remaining = 0xFFFFFFFFu;  // how many more times it fires
};

// How a run is cut short (see SimulatedMachineSetup::StopAfter).
enum class Interruption { kKill, kPowerLoss };

// Fault rules and call counts name operations as values: `Op::RegCreateKeyExW`.
using Op = PlatformOperation;

// What a handle the machine hands out stands for; process and thread
// handles are both of the Process kind.
enum class HandleKind {
    Key,
    File,
    Find,
    Process,
    DeviceList,
    Inf,
    ServiceManager,
    Service,
    MachineConnection,
};

}  // namespace cvl::sim

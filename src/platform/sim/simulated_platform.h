// A Windows machine in memory, behind the same interface as the real one.
// Tests and the host runner seed it with the helpers below, run the logic
// against it and read back what changed.
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

// Error codes the machine reports that the logic never names.
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_BAD_PATHNAME = 161;
inline constexpr DWORD ERROR_BADKEY = 1010;
// A wait without a time limit on a process that cannot end while the
// caller waits (it runs only after the caller's run, or never): Windows
// would hang, the machine fails the wait with WAIT_FAILED and this code.
inline constexpr DWORD ERROR_POSSIBLE_DEADLOCK = 1131;
inline constexpr DWORD ERROR_NO_CLASSINSTALL_PARAMS = 0xE0000215;
inline constexpr DWORD ERROR_NOT_DISABLEABLE = 0xE0000231;

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
    std::u16string className = u"Net";
    std::u16string classGuid = kNetClassGuidText;
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

class SimulatedPlatform;

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

class SimulatedPlatform : public Platform {
public:
    SimulatedPlatform();
    ~SimulatedPlatform() override;

    // --- Seeding and reading back -----------------------------------------
    // Version report.
    void SetVersion(DWORD platformId, DWORD major, DWORD minor, DWORD build = 0,
                    std::u16string servicePack = u"");

    VersionReport Version() const;

    // Registry paths are "HKLM\\Software\\X" or "HKCU\\..." (also the long
    // hive names). Keys are created with every missing parent. The setters
    // answer false when the path names no hive.
    bool SetRegValue(std::u16string_view keyPath, std::u16string_view name, DWORD type,
                     std::vector<BYTE> data);
    // Stores the text with its terminating zero.
    bool SetRegString(std::u16string_view keyPath, std::u16string_view name,
                      std::u16string_view text, DWORD type = REG_SZ);
    // Stores each text with its zero, and the zero that ends the list.
    bool SetRegMultiString(std::u16string_view keyPath, std::u16string_view name,
                           const std::vector<std::u16string> &texts);
    bool SetRegDword(std::u16string_view keyPath, std::u16string_view name, DWORD value);
    bool CreateRegKey(std::u16string_view keyPath);
    // False when there is no such key or value.
    bool DeleteRegValue(std::u16string_view keyPath, std::u16string_view name);
    // Removes a key with everything below it (open handles to it then see
    // ERROR_KEY_DELETED). False when there is no such key.
    bool DeleteRegTree(std::u16string_view keyPath);
    bool RegKeyExists(std::u16string_view keyPath) const;
    // The subkey names and the values of a key, in enumeration order.
    std::vector<std::u16string> RegSubkeyNames(std::u16string_view keyPath) const;
    std::vector<std::pair<std::u16string, RegValue>> RegValues(std::u16string_view keyPath) const;
    std::optional<RegValue> GetRegValue(std::u16string_view keyPath,
                                        std::u16string_view name) const;
    // The string held by a REG_SZ/REG_EXPAND_SZ value, up to its first zero.
    std::optional<std::u16string> GetRegString(std::u16string_view keyPath,
                                               std::u16string_view name) const;
    std::optional<DWORD> GetRegDword(std::u16string_view keyPath, std::u16string_view name) const;

    // Files: Windows paths ("C:\\setup\\cvlsetup.exe"); drive letters fold
    // case, as do all names. Parents are created as needed. False when the
    // path is not an absolute one or a directory stands in the way.
    bool AddFile(std::u16string_view path, std::string contents,
                 DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
    bool AddDirectory(std::u16string_view path);
    // Makes the folders of `path` and gives those that were there already
    // the spelling `path` has: a disk keeps one spelling of a name, and a
    // machine image's disk is the machine's, over the folders a fresh
    // machine starts with.
    bool AddDirectorySpelledAs(std::u16string_view path);
    // Removes a file at once, whatever holds it. False when there is none.
    bool RemoveFile(std::u16string_view path);
    bool FileExists(std::u16string_view path) const;
    bool DirectoryExists(std::u16string_view path) const;
    std::optional<std::string> ReadFileContents(std::u16string_view path) const;
    std::optional<DWORD> FileAttributes(std::u16string_view path) const;
    // Every file, as full paths with their contents, in a stable order.
    std::map<std::u16string, std::string> AllFiles() const;

    // The full path of every file opened for writing, in the order of the
    // opens, as the caller spelled the name; a run's report finds the files
    // the run wrote here.
    const std::vector<std::u16string> &FilesOpenedForWriting() const;

    // Each directory is created when missing.
    void SetCurrentDirectory(std::u16string_view path);
    void SetWindowsDirectory(std::u16string_view path);  // system dir is <windows>\system32
    void SetTempPath(std::u16string_view path);          // kept with its trailing backslash
    std::u16string CurrentDirectory() const;
    std::u16string WindowsDirectory() const;
    std::u16string TempPath() const;
    // The program that runs first: its path and its id. The file is created
    // with marker contents when missing; whatever it holds is from then on
    // "the program": a started copy of it runs the program again.
    void SetProgram(std::u16string_view modulePath, DWORD processId = 1000);
    std::u16string ProgramPath() const;
    std::string ProgramContents() const;

    // Processes.
    // What a started executable that is not a copy of the program does:
    // it ends at once with this exit code. Other executables that exist end
    // at once with 0; missing ones fail to start with ERROR_FILE_NOT_FOUND.
    void SetToolExitCode(std::u16string_view imagePath, DWORD exitCode);
    // Every process started through CreateProcessW, in order.
    const std::vector<ProcessRecord> &Processes() const;
    // Ends the process that is running now with its exit code (the one it
    // gave ExitProcess, if any), releases its handles (delete-on-close
    // happens then), and runs every started process whose image holds the
    // program's contents, one after the other in the order they were
    // started, through `entry`, each with its own id and module path and
    // the command tail the program's entry receives; processes those start
    // run in turn. A chain of more than 64 program runs is cut there.
    void FinishRunAndStartChildren(DWORD exitCode, const ProgramEntry &entry);
    // Makes a process id known as ended or still running, for tests of
    // waiting on another process.
    void AddForeignProcess(DWORD processId, bool running);
    // The exit code given to ExitProcess by the current run, if any.
    std::optional<UINT> ExitProcessCode() const;
    DWORD CurrentProcessId() const;
    // STILL_ACTIVE while the process runs; none for an unknown id.
    std::optional<DWORD> ExitCodeOf(DWORD processId) const;
    // The waits on processes that timed out or failed, in order.
    const std::vector<WaitRecord> &Waits() const;

    // Message box.
    void SetMessageBoxAnswer(int answer);
    const std::vector<MessageBoxRecord> &MessageBoxes() const;

    // Virtual clock.
    DWORD Now() const;
    void SetTickCount(DWORD ticks);
    const std::vector<DWORD> &Sleeps() const;

    // Devices. The registry holds what Windows stores of a device (the
    // Enum key, the class key and the driver key) and stays the source of
    // truth for ids and driver keys; the machine adds the runtime node.
    // Adds the device as Windows stores it and returns the driver key's
    // path ("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{...}\\0000"),
    // or u"" without one.
    std::u16string AddDevice(const DeviceSpec &device);
    // Nothing once the device was removed (or never existed).
    std::optional<DeviceNodeState> DeviceState(std::u16string_view instanceId) const;
    // Everything that changed the machine's devices, and every sleep, in
    // order: "sleep 1000", "disable <instance id>", "enable <instance id>",
    // "remove <instance id>", "update <instance id> <inf path>",
    // "reenumerate".
    std::vector<std::string> Timeline() const;
    // The class-installer requests made, in order, whether or not they
    // changed anything: "DIF_PROPERTYCHANGE DICS_DISABLE <instance id>",
    // "DIF_PROPERTYCHANGE DICS_ENABLE <instance id>",
    // "DIF_REMOVE <instance id>".
    std::vector<std::string> ClassInstallerCalls() const;
    // A 32-bit program on 64-bit Windows: driver updates fail with
    // ERROR_IN_WOW64.
    void SetWow64(bool wow64);

    // Services, stored under HKLM\\SYSTEM\\CurrentControlSet\\Services\\<name>.
    void AddService(std::u16string_view name, std::u16string_view imagePath, DWORD type = 1,
                    DWORD start = 3);

    // The CM rescan calls that were accepted, in order ("connect",
    // "locate", "reenumerate:<flags>", "disconnect").
    const std::vector<std::string> &DeviceTreeCalls() const;

    // Fault injection.
    void Fail(PlatformOperation operation, DWORD error, std::uint32_t nth = 0);
    void Fail(FaultRule rule);
    void ClearFaults();
    // How often an operation was called, failed or not.
    std::uint32_t CallCount(PlatformOperation operation) const;

    // Handles still open (keys, files, finds, processes and threads, device
    // lists, INF files, service handles, machine connections); a test
    // checks that an operation released everything it opened.
    std::size_t OpenHandleCount() const;
    std::size_t OpenHandleCount(HandleKind kind) const;
    // LocalAlloc blocks not yet given back with LocalFree.
    std::size_t OutstandingAllocations() const;

    // --- Platform ---------------------------------------------------------
#define CVL_PLATFORM_OPERATION(Result, Name, Parameters) Result Name Parameters override;
#include "platform/platform_operations.def"

private:
    void EditSourceList(std::u16string_view source, bool add);

    struct Machine;
    std::unique_ptr<Machine> machine_;
};

}  // namespace cvl::sim

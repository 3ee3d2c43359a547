// The simulated machine as a test or a tool sees it from outside: helpers
// that seed it (versions, keys, files, devices, services, processes) and
// that read back what a run did (timelines, records, open handles). They
// stand apart from the platform's calls, which the logic makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/parts/registry_paths.h"
#include "platform/sim/setup/simulated_machine_types.h"

namespace cvl::sim {

class SimulatedPlatform;

// The registry helpers (SetRegString, GetRegDword, RegKeyExists ...) are
// those of RegistryPaths.
class SimulatedMachineSetup : public RegistryPaths {
public:
    SimulatedMachineSetup(SimulatedPlatform &platform, Registry &registry)
        : RegistryPaths(registry), platform_(platform) {}
    SimulatedMachineSetup(const SimulatedMachineSetup &) = delete;
    SimulatedMachineSetup &operator=(const SimulatedMachineSetup &) = delete;

    // Version report.
    void SetVersion(DWORD platformId, DWORD major, DWORD minor, DWORD build = 0,
                    std::u16string servicePack = u"");

    VersionReport Version() const;

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
    // A symbolic link to a file elsewhere (the target may be missing), and
    // a second name of an existing file (a hard link). Opens follow them as
    // Windows does; a link reports FILE_ATTRIBUTE_REPARSE_POINT. False
    // when the name is taken.
    bool AddSymbolicLink(std::u16string_view path, std::u16string_view target);
    bool AddSecondName(std::u16string_view path, std::u16string_view existing);
    // Removes a file at once, whatever holds it. False when there is none.
    bool RemoveFile(std::u16string_view path);
    bool FileExists(std::u16string_view path) const;
    bool DirectoryExists(std::u16string_view path) const;
    std::optional<std::string> ReadFileContents(std::u16string_view path) const;
    // The contents the running program reads at `path`: through the WOW64
    // redirector when SetWow64 is on.
    std::optional<std::string> ReadFileAsProgram(std::u16string_view path) const;
    std::optional<DWORD> FileAttributes(std::u16string_view path) const;
    // Every file, as full paths with their contents, in a stable order.
    std::map<std::u16string, std::string> AllFiles() const;

    // The full path of every file opened for writing, in the order of the
    // opens, as the caller spelled the name; a run's report finds the files
    // the run wrote here.
    const std::vector<std::u16string> &FilesOpenedForWriting() const;
    // Whether two names denote the same file name on this machine: names
    // keep their spelling and compare folded, as Windows compares them.
    static bool SameFileName(std::u16string_view first, std::u16string_view second);

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
    // ERROR_IN_WOW64, and the file calls see "<windows>\\system32" as
    // "<windows>\\SysWOW64" and "<windows>\\Sysnative" as the real system32
    // (the seeding and reading helpers here always see the real folders).
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
    // Every call of every operation so far.
    std::uint64_t PlatformCallCount() const;
    // Records the operation of every call from now on, in order.
    void TraceCalls();
    const std::vector<PlatformOperation> &CallTrace() const;

    // Interruption. After `calls` more calls the machine stops: every later
    // call fails without changing anything (the registry calls with
    // ERROR_NOT_READY, the CM calls with CR_FAILURE, the others with
    // ERROR_NOT_READY as their last error; calls that cannot fail just
    // return), so the program runs out against a dead machine.
    // A killed process has its handles closed with their effects (a file
    // opened delete-on-close goes) and the copies of the program it started
    // before it was killed still run. A power loss ends everything: handles
    // and memory vanish without their effects (a delete-on-close or pending
    // delete is forgotten and the file stays) and no started process runs.
    void StopAfter(std::uint64_t calls, Interruption how);
    bool Stopped() const;
    // Ends the run after the program has returned `exitCode`: normally when
    // the stop was not reached (it may still come in a started copy), else
    // the way the interruption ends it. The machine then runs again.
    void FinishInterruptedRun(DWORD exitCode, const ProgramEntry &entry);
    // The program starts again as a new process, as after a restart, a
    // minute later on the clock; its file is made again when it was deleted.
    void StartProgramAgain();

    // Handles still open (keys, files, finds, processes and threads, device
    // lists, INF files, service handles, machine connections); a test
    // checks that an operation released everything it opened.
    std::size_t OpenHandleCount() const;
    std::size_t OpenHandleCount(HandleKind kind) const;
    // LocalAlloc blocks not yet given back with LocalFree.
    std::size_t OutstandingAllocations() const;

private:
    SimulatedPlatform &platform_;
};

}  // namespace cvl::sim

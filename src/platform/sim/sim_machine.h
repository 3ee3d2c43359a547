// The state behind SimulatedPlatform: what a Windows machine stores, in the
// shape Windows stores it, and the bookkeeping of the handles that the
// running program holds. Only the files of platform/sim/ see it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/sim/sim_handle_table.h"
#include "platform/sim/sim_inf_file.h"
#include "platform/sim/sim_paths.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {

// --- Files ------------------------------------------------------------------

struct FsNode {
    std::u16string name;
    FsNode *parent = nullptr;
    bool directory = false;
    DWORD attributes = 0;  // without FILE_ATTRIBUTE_DIRECTORY, which `directory` says
    std::string contents;
    // By folded name, so a listing comes out in the order NTFS gives it.
    std::map<std::u16string, std::shared_ptr<FsNode>> children;
    bool deleteOnClose = false;
    bool deletePending = false;
};

// The attributes Windows reports for a node.
DWORD ReportedAttributes(const FsNode &node);

// --- Processes --------------------------------------------------------------

struct ProcessState {
    DWORD id = 0;
    std::u16string imagePath;
    std::u16string commandLine;
    // Held while the process runs: the file cannot be deleted meanwhile.
    std::shared_ptr<FsNode> image;
    bool running = true;
    DWORD exitCode = STILL_ACTIVE;
    // A copy of the program: it runs the program's entry when its turn comes.
    bool program = false;
    bool hasRun = false;
    // Known from outside this run; its object stays reachable by id.
    bool external = false;
    std::optional<std::size_t> record;  // index in Machine::records
};

// The sharing of a running image, as the loader maps it.
inline constexpr DWORD kImageAccess = GENERIC_READ;
inline constexpr DWORD kImageShare = FILE_SHARE_READ | FILE_SHARE_DELETE;

// --- Devices ----------------------------------------------------------------

// What the device tree knows of a device and the registry does not.
struct DeviceNode {
    std::u16string instanceId;
    bool started = false;
    bool disableable = false;
    bool hiddenFromDeviceManager = false;
    bool disabled = false;
};

// The problem code of a device disabled on request.
inline constexpr ULONG CM_PROB_DISABLED = 22;

// --- Faults -----------------------------------------------------------------

struct FaultState {
    FaultRule rule;
    std::uint32_t seen = 0;
};

// The machine and what the current run holds of it.
struct SimulatedPlatform::Machine {
    Machine();

    DWORD lastError = ERROR_SUCCESS;
    VersionReport version;

    // Files.
    std::map<char16_t, std::shared_ptr<FsNode>> drives;  // by upper-case letter
    WinPath windowsDirectory;
    WinPath tempDirectory;
    WinPath currentDirectory;
    std::u16string programPath;
    std::string programContents;

    // Processes.
    std::map<DWORD, ProcessState> processes;
    std::vector<ProcessRecord> records;
    DWORD currentProcessId = 0;
    std::optional<UINT> exitProcessCode;
    std::map<std::u16string, DWORD> toolExitCodes;  // by folded full path
    std::vector<WaitRecord> waits;

    // Message box, clock, device tree.
    int messageBoxAnswer = IDOK;
    std::vector<MessageBoxRecord> messageBoxes;
    DWORD ticks = 0;
    std::vector<DWORD> sleeps;
    std::vector<std::string> deviceTreeCalls;
    std::vector<std::u16string> filesOpenedForWriting;

    // Devices. A device instance has one DEVINST for the life of the
    // machine; it has a node only while present.
    std::map<std::u16string, DEVINST> devInsts;  // by folded instance id
    DEVINST nextDevInst = 2;
    std::map<DEVINST, DeviceNode> nodes;
    std::vector<std::string> timeline;
    std::vector<std::string> classInstallerCalls;
    bool wow64 = false;

    // Faults and call counts.
    std::vector<FaultState> faults;
    std::array<std::uint32_t, kPlatformOperationCount> callCounts{};

    HandleTable handles;
    LocalMemory memory;
    Registry registry{handles, version};

    // --- Faults, last error, handles (simulated_platform.cpp) ----------------
    // Counts the call and answers the injected error when a rule fires.
    std::optional<DWORD> Injected(PlatformOperation operation);
    BOOL FailWith(DWORD error);
    // Sets the last error and answers a call's failure result.
    template <typename T>
    T Fail(DWORD error, T result) {
        lastError = error;
        return result;
    }
    // Closes one handle with the effects of closing it (delete-on-close).
    void Close(const void *handle);
    void ReleaseHandlesOf(DWORD processId);

    // --- Files (sim_files.cpp) -------------------------------------------------
    std::optional<WinPath> Resolve(std::u16string_view path) const;
    std::shared_ptr<FsNode> Lookup(const WinPath &path) const;
    std::shared_ptr<FsNode> MakeDirectories(const WinPath &path);
    // Where a path leads: the folder that holds it and the node, if any;
    // `error` is ERROR_PATH_NOT_FOUND when the folder is missing.
    struct Place {
        DWORD error = ERROR_SUCCESS;
        WinPath path;
        std::shared_ptr<FsNode> folder;
        std::shared_ptr<FsNode> node;
    };
    Place Locate(const char16_t *path) const;
    std::shared_ptr<FsNode> CreateFileNode(FsNode &folder, const std::u16string &name);
    std::size_t OpenFileHandles(const FsNode &node) const;
    bool IsRunningImage(const FsNode &node) const;
    // ERROR_SUCCESS when an open with this access and sharing fits every
    // open handle and running image of the node.
    DWORD SharingCheck(const FsNode &node, DWORD access, DWORD share) const;
    // Removes a file marked for deletion once nothing holds it any more.
    void RemoveIfReleased(const std::shared_ptr<FsNode> &node);
    void Unlink(FsNode &node);
    DWORD CopyNode(const Place &source, const Place &target, bool failIfExists);

    // --- Processes (sim_processes.cpp) -----------------------------------------
    ProcessState &Current();
    // Makes `path` the program (creating it when missing) and its first run.
    void InstallProgram(const WinPath &path, DWORD processId);
    ProcessState &AddProcess(DWORD id, std::u16string imagePath);
    DWORD NewProcessId();
    // The image a command line starts, resolved the way CreateProcessW does.
    DWORD ImageFromCommandLine(std::u16string_view commandLine, WinPath &image) const;
    bool FindExecutable(std::u16string_view name, WinPath &image) const;
    void EndProcess(ProcessState &process, DWORD exitCode);
    ProcessState *NextProgramToRun();
    bool HeldByAnyHandle(DWORD processId) const;

    // --- Devices (sim_device_seeding.cpp) --------------------------------------
    DEVINST DevInstOf(std::u16string_view instanceId);
    // The node of a device that is present: it has a node and its instance
    // key still exists.
    DeviceNode *PresentNode(DEVINST devInst);
    void Record(std::string event, std::u16string_view instanceId);
    // The member of a list that a DevInfoData names: ERROR_INVALID_HANDLE
    // for a handle that is no list, ERROR_INVALID_PARAMETER for element
    // data that names none of its members.
    DWORD MemberOf(HDEVINFO list, const DevInfoData *data, DeviceListMember *&member);

    // --- INF files (sim_inf.cpp) ---------------------------------------------------
    InfDirIds DirIds() const;
    // Reads an INF file of the given style; `error` is what SetupOpenInfFileW
    // would report.
    InfParse ReadInf(const FsNode &file, DWORD infStyle) const;
    // The section and line an INF context names, or the error of one that
    // names none.
    DWORD InfLineAt(const InfContext *context, const InfSection *&section, const InfLine *&line);

    // --- Driver store (sim_driver_store.cpp) -------------------------------------
    // Publishes an INF in the store, or finds it there already; `published`
    // is its name in the INF folder ("oem3.inf").
    struct Publication {
        DWORD error = ERROR_SUCCESS;
        std::u16string published;
        bool existed = false;
    };
    Publication PublishInf(const Place &source, DWORD mediaType, const char16_t *mediaLocation,
                           DWORD copyStyle);
};

}  // namespace cvl::sim

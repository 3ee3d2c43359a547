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

#include "platform/sim/sim_file_system.h"
#include "platform/sim/sim_handle_table.h"
#include "platform/sim/sim_inf_file.h"
#include "platform/sim/sim_paths.h"
#include "platform/sim/sim_process_table.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {

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

    // Message box, clock, device tree.
    int messageBoxAnswer = IDOK;
    std::vector<MessageBoxRecord> messageBoxes;
    DWORD ticks = 0;
    std::vector<DWORD> sleeps;
    std::vector<std::string> deviceTreeCalls;

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
    FileSystem files{handles};
    ProcessTable processes{files, handles};

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
    Publication PublishInf(const FileSystem::Place &source, DWORD mediaType,
                           const char16_t *mediaLocation, DWORD copyStyle);
};

}  // namespace cvl::sim

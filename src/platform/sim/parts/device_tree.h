// The device tree: what the PnP manager knows of each device beyond what
// the registry stores (its DEVINST, whether it is present, started,
// disabled), and the record of what changed it.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/parts/handle_table.h"
#include "platform/sim/parts/registry.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {

struct DeviceNode {
    std::u16string instanceId;
    bool started = false;
    bool disableable = false;
    bool hiddenFromDeviceManager = false;
    bool disabled = false;
};

// The problem code of a device disabled on request.
inline constexpr ULONG CM_PROB_DISABLED = 22;

class DeviceTree {
public:
    // Presence also needs the instance key, which the registry holds; the
    // device lists are handles.
    DeviceTree(const Registry &registry, HandleTable &handles);

    // A device instance has one DEVINST for the life of the machine.
    DEVINST DevInstOf(std::u16string_view instanceId);
    // Whether a DEVINST was ever handed out.
    bool Issued(DEVINST devInst) const { return devInst < nextDevInst_; }
    // The node of a device that is present: it has a node and its instance
    // key still exists.
    DeviceNode *PresentNode(DEVINST devInst);
    // A device has a node only while present.
    void SetNode(DEVINST devInst, DeviceNode node);
    void RemoveNode(DEVINST devInst);
    // The node of a device known by its id, whether or not its key exists.
    const DeviceNode *NodeOf(std::u16string_view instanceId) const;

    // The member of a list that a DevInfoData names: ERROR_INVALID_HANDLE
    // for a handle that is no list, ERROR_INVALID_PARAMETER for element
    // data that names none of its members.
    DWORD MemberOf(HDEVINFO list, const DevInfoData *data, DeviceListMember *&member);

    // "disable <instance id>" and the like, and the sleeps between them.
    void Record(std::string event, std::u16string_view instanceId);
    void Record(std::string event);
    const std::vector<std::string> &Timeline() const { return timeline_; }
    void RecordClassInstallerCall(std::string call);
    const std::vector<std::string> &ClassInstallerCalls() const { return classInstallerCalls_; }
    void RecordTreeCall(std::string call);
    const std::vector<std::string> &TreeCalls() const { return treeCalls_; }

private:
    const Registry &registry_;
    HandleTable &handles_;
    std::map<std::u16string, DEVINST> devInsts_;  // by folded instance id
    DEVINST nextDevInst_ = 2;
    std::map<DEVINST, DeviceNode> nodes_;
    std::vector<std::string> timeline_;
    std::vector<std::string> classInstallerCalls_;
    std::vector<std::string> treeCalls_;
};

}  // namespace cvl::sim

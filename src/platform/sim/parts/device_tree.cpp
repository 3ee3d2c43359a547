// The device tree's own state: DEVINSTs, nodes and the record of changes.
#include "platform/sim/parts/device_tree.h"
#include "common/text.h"
#include "platform/sim/parts/device_registry.h"
#include "platform/sim/parts/paths.h"

namespace cvl::sim {

DeviceTree::DeviceTree(const Registry &registry, HandleTable &handles)
    : registry_(registry), handles_(handles) {}

DEVINST DeviceTree::DevInstOf(std::u16string_view instanceId) {
    const auto [found, added] = devInsts_.emplace(FoldedName(instanceId), nextDevInst_);
    if (added) ++nextDevInst_;
    return found->second;
}

DeviceNode *DeviceTree::PresentNode(DEVINST devInst) {
    const auto found = nodes_.find(devInst);
    if (found == nodes_.end()) return nullptr;
    if (!registry_.FindKey(EnumKeyPath(found->second.instanceId))) return nullptr;
    return &found->second;
}

DWORD DeviceTree::MemberOf(HDEVINFO list, const DevInfoData *data, DeviceListMember *&member) {
    DeviceListObject *devices = handles_.As<DeviceListObject>(list);
    if (devices == nullptr) return ERROR_INVALID_HANDLE;
    // Reserved carries the member's place in its list, as the system keeps
    // a pointer to its own record there.
    if (data == nullptr || data->Reserved == 0 || data->Reserved > devices->members.size())
        return ERROR_INVALID_PARAMETER;
    member = &devices->members[data->Reserved - 1];
    if (member->devInst != data->DevInst) return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

void DeviceTree::Record(std::string event, std::u16string_view instanceId) {
    event += ' ';
    event += ToUtf8(instanceId);
    timeline_.push_back(std::move(event));
}

void DeviceTree::Record(std::string event) {
    timeline_.push_back(std::move(event));
}

void DeviceTree::RecordClassInstallerCall(std::string call) {
    classInstallerCalls_.push_back(std::move(call));
}

void DeviceTree::RecordTreeCall(std::string call) {
    treeCalls_.push_back(std::move(call));
}

void DeviceTree::SetNode(DEVINST devInst, DeviceNode node) {
    nodes_[devInst] = std::move(node);
}

void DeviceTree::RemoveNode(DEVINST devInst) {
    nodes_.erase(devInst);
}

const DeviceNode *DeviceTree::NodeOf(std::u16string_view instanceId) const {
    const auto devInst = devInsts_.find(FoldedName(instanceId));
    if (devInst == devInsts_.end()) return nullptr;
    const auto node = nodes_.find(devInst->second);
    return node == nodes_.end() ? nullptr : &node->second;
}

}  // namespace cvl::sim

#include "device/hardware_rescan.h"

namespace cvl {

bool RescanHardware(Platform &platform, RescanWait wait) {
    const bool connects = wait == RescanWait::Synchronous;
    HMACHINE machine = nullptr;
    if (connects && platform.CM_Connect_MachineW(nullptr, &machine) != CR_SUCCESS) return false;
    bool accepted = false;
    DEVINST root = 0;
    if (platform.CM_Locate_DevNode_ExW(&root, nullptr, CM_LOCATE_DEVNODE_NORMAL, machine) ==
        CR_SUCCESS)
        accepted = platform.CM_Reenumerate_DevNode_Ex(
                       root, connects ? CM_REENUMERATE_SYNCHRONOUS : CM_REENUMERATE_NORMAL,
                       machine) == CR_SUCCESS;
    if (connects) platform.CM_Disconnect_Machine(machine);
    return accepted;
}

}  // namespace cvl

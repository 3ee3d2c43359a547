// The device tree's rescan calls and the class names of the class keys.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl::sim {
namespace {

constexpr Guid kNetClass{
    0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

class DevicesContract : public ::testing::Test {
protected:
    SimulatedPlatform sim;
    Platform &platform = sim;
};

TEST_F(DevicesContract, RescanningTheRootIsRecordedCallByCall) {
    // Connect to the local machine, locate the root (no device id),
    // re-enumerate it, disconnect.
    HMACHINE machine = nullptr;
    ASSERT_EQ(platform.CM_Connect_MachineW(nullptr, &machine), CR_SUCCESS);
    DEVINST root = 0;
    ASSERT_EQ(platform.CM_Locate_DevNode_ExW(&root, nullptr, CM_LOCATE_DEVNODE_NORMAL, machine),
              CR_SUCCESS);
    EXPECT_EQ(platform.CM_Reenumerate_DevNode_Ex(root, CM_REENUMERATE_SYNCHRONOUS, machine),
              CR_SUCCESS);
    EXPECT_EQ(platform.CM_Reenumerate_DevNode_Ex(root + 100, 0, machine), CR_INVALID_DEVNODE);
    EXPECT_EQ(platform.CM_Disconnect_Machine(machine), CR_SUCCESS);
    EXPECT_EQ(sim.Setup().DeviceTreeCalls(),
              (std::vector<std::string>{"connect", "locate", "reenumerate:1", "disconnect"}));
    EXPECT_EQ(platform.CM_Connect_MachineW(u"\\\\far", &machine), CR_MACHINE_UNAVAILABLE);
}

TEST_F(DevicesContract, EachTreeCallCanBeMadeToFailAndIsThenNotRecorded) {
    // A failing configuration-manager call returns the chosen CONFIGRET.
    HMACHINE machine = nullptr;
    DEVINST root = 0;
    ULONG status = 0;
    ULONG problem = 0;
    struct Case {
        Op operation;
        std::function<CONFIGRET()> call;
    };
    const std::vector<Case> cases = {
        {Op::CM_Connect_MachineW, [&] { return platform.CM_Connect_MachineW(nullptr, &machine); }},
        {Op::CM_Locate_DevNode_ExW,
         [&] { return platform.CM_Locate_DevNode_ExW(&root, nullptr, 0, nullptr); }},
        {Op::CM_Reenumerate_DevNode_Ex,
         [&] { return platform.CM_Reenumerate_DevNode_Ex(1, 0, nullptr); }},
        {Op::CM_Disconnect_Machine, [&] { return platform.CM_Disconnect_Machine(nullptr); }},
        {Op::CM_Get_DevNode_Status,
         [&] { return platform.CM_Get_DevNode_Status(&status, &problem, 1, 0); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.operation);
        sim.Setup().Fail(c.operation, CR_ACCESS_DENIED, 1);
        EXPECT_EQ(c.call(), CR_ACCESS_DENIED);
    }
    EXPECT_TRUE(sim.Setup().DeviceTreeCalls().empty());
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 0u);
}

TEST_F(DevicesContract, DeviceNodesAreLocatedByInstanceIdWhilePresent) {
    // CM_Locate_DevNode finds a present device by its instance id (any
    // case); one that is not present only with CM_LOCATE_DEVNODE_PHANTOM.
    DeviceSpec absent;
    absent.instanceId = u"USB\\VID_0C7E&PID_B760\\00E04C680001";
    absent.present = false;
    sim.Setup().AddDevice(absent);
    DeviceSpec present = absent;
    present.instanceId = u"PCI\\VEN_1F3A&DEV_B702\\3&1";
    present.present = true;
    sim.Setup().AddDevice(present);
    DEVINST found = 0;
    EXPECT_EQ(platform.CM_Locate_DevNode_ExW(&found, u"pci\\ven_1f3a&dev_b702\\3&1", 0, nullptr),
              CR_SUCCESS);
    ULONG status = 0;
    ULONG problem = 0;
    EXPECT_EQ(platform.CM_Get_DevNode_Status(&status, &problem, found, 0), CR_SUCCESS);
    EXPECT_EQ(platform.CM_Locate_DevNode_ExW(&found, absent.instanceId.c_str(), 0, nullptr),
              CR_NO_SUCH_DEVNODE);
    EXPECT_EQ(platform.CM_Locate_DevNode_ExW(&found, absent.instanceId.c_str(),
                                             1 /*CM_LOCATE_DEVNODE_PHANTOM*/, nullptr),
              CR_SUCCESS);
    EXPECT_EQ(platform.CM_Get_DevNode_Status(&status, &problem, found, 0), CR_NO_SUCH_DEVNODE);
    EXPECT_EQ(platform.CM_Reenumerate_DevNode_Ex(found, 0, nullptr), CR_INVALID_DEVNODE);
}

}  // namespace
}  // namespace cvl::sim

// The two ways of asking for a rescan: connected and waited for, or only
// started, and what a failed step leaves out.
#include "device/hardware_rescan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl {
namespace {

using Op = PlatformOperation;
using Calls = std::vector<std::string>;

TEST(HardwareRescanTest, EachWaitMakesItsCallsAndAFailedStepEndsTheRequest) {
    struct Case {
        RescanWait wait;
        std::optional<Op> failing;
        Calls calls;
        bool accepted;
    };
    for (const Case &c : {
             Case{RescanWait::Synchronous,
                  std::nullopt,
                  {"connect", "locate", "reenumerate:1", "disconnect"},
                  true},
             Case{RescanWait::Synchronous, Op::CM_Connect_MachineW, {}, false},
             Case{RescanWait::Synchronous,
                  Op::CM_Locate_DevNode_ExW,
                  {"connect", "disconnect"},
                  false},
             Case{RescanWait::Started, std::nullopt, {"locate", "reenumerate:0"}, true},
             // No connection is made, so a refused one changes nothing.
             Case{RescanWait::Started, Op::CM_Connect_MachineW, {"locate", "reenumerate:0"}, true},
             Case{RescanWait::Started, Op::CM_Locate_DevNode_ExW, {}, false},
             Case{RescanWait::Started, Op::CM_Reenumerate_DevNode_Ex, {"locate"}, false},
         }) {
        sim::SimulatedPlatform machine;
        if (c.failing) machine.Setup().Fail(*c.failing, CR_FAILURE);
        EXPECT_EQ(RescanHardware(machine, c.wait), c.accepted);
        EXPECT_EQ(machine.Setup().DeviceTreeCalls(), c.calls);
    }
}

}  // namespace
}  // namespace cvl

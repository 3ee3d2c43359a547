// INF reading on the simulated machine beyond what every machine shares
// (tests/platform/contract): closed handles and faults.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl::sim {
namespace {

constexpr char kHeader[] = "[Version]\r\nSignature=\"$Windows NT$\"\r\n";

class InfContract : public ::testing::Test {
protected:
    HINF Open(const std::string &contents, UINT *errorLine = nullptr) {
        sim.Setup().AddFile(u"C:\\pkg\\test.inf", contents);
        return platform.SetupOpenInfFileW(u"C:\\pkg\\test.inf", nullptr, INF_STYLE_WIN4, errorLine);
    }
    SimulatedPlatform sim;
    Platform &platform = sim;
};

TEST_F(InfContract, AContextOfAClosedInfIsRefused) {
    // Windows leaves such a call undefined; the machine refuses it.
    HINF inf = Open(std::string(kHeader) + "[Test]\nkey=value\nother=1\n");
    InfContext context{};
    ASSERT_TRUE(platform.SetupFindFirstLineW(inf, u"Test", nullptr, &context));
    platform.SetupCloseInfFile(inf);
    InfContext next{};
    EXPECT_FALSE(platform.SetupFindNextLine(&context, &next));
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(InfContract, EachInfCallCanBeMadeToFail) {
    HINF inf = Open(std::string(kHeader) + "[Test]\nkey=value\nother=1\n");
    InfContext context{};
    ASSERT_TRUE(platform.SetupFindFirstLineW(inf, u"Test", nullptr, &context));
    DWORD required = 0;
    const std::vector<std::pair<Op, std::function<bool()>>> cases = {
        {Op::SetupOpenInfFileW,
         [&] {
             return platform.SetupOpenInfFileW(u"C:\\pkg\\test.inf", nullptr, INF_STYLE_WIN4,
                                               nullptr) == InvalidHandleValue();
         }},
        {Op::SetupFindFirstLineW,
         [&] { return !platform.SetupFindFirstLineW(inf, u"Test", nullptr, &context); }},
        {Op::SetupFindNextLine, [&] { return !platform.SetupFindNextLine(&context, &context); }},
        {Op::SetupGetStringFieldW,
         [&] { return !platform.SetupGetStringFieldW(&context, 1, nullptr, 0, &required); }},
        {Op::SetupGetInfFileListW,
         [&] {
             return !platform.SetupGetInfFileListW(u"C:\\pkg", INF_STYLE_WIN4, nullptr, 0,
                                                   &required);
         }},
    };
    for (const auto &[operation, fails] : cases) {
        SCOPED_TRACE(operation);
        sim.Setup().Fail(operation, ERROR_NOT_ENOUGH_MEMORY, 1);
        EXPECT_TRUE(fails());
        EXPECT_EQ(platform.GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    }
    EXPECT_EQ(context.Line, 0u);
    platform.SetupCloseInfFile(inf);
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace cvl::sim

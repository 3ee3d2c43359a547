// The service control manager over the services the registry holds, with
// the byte-size protocol of QueryServiceConfigW.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl::sim {
namespace {

constexpr char16_t kImage[] = u"system32\\DRIVERS\\CVLB760.sys";

class ServicesContract : public ::testing::Test {
protected:
    // Opens the service; the manager's handle comes back through `manager`.
    SC_HANDLE OpenService(const char16_t *name, SC_HANDLE &manager,
                          DWORD access = SERVICE_QUERY_CONFIG) {
        manager = platform.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        EXPECT_NE(manager, nullptr);
        return platform.OpenServiceW(manager, name, access);
    }

    SimulatedPlatform sim;
    Platform &platform = sim;
};

TEST_F(ServicesContract, ConfigurationFollowsTheByteSizeProtocol) {
    // Too small a buffer: ERROR_INSUFFICIENT_BUFFER and the bytes of the
    // whole record with its strings (an absent string still takes an
    // empty one's room); enough: the type, start and image path.
    sim.Setup().AddService(u"USB-100", kImage);
    SC_HANDLE manager = nullptr;
    SC_HANDLE service = OpenService(u"usb-100", manager);
    ASSERT_NE(service, nullptr);
    DWORD needed = 0;
    EXPECT_FALSE(platform.QueryServiceConfigW(service, nullptr, 0, &needed));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    // The image path with its zero, then four empty strings.
    const auto strings = static_cast<DWORD>((std::u16string_view(kImage).size() + 1) * 2 + 4 * 4);
    EXPECT_EQ(needed, 64 + strings);
    ServiceConfig config{};
    EXPECT_FALSE(platform.QueryServiceConfigW(service, &config, needed - 1, &needed));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    ASSERT_TRUE(platform.QueryServiceConfigW(service, &config, needed, &needed));
    EXPECT_EQ(std::u16string(config.lpBinaryPathName), kImage);
    EXPECT_EQ(config.dwServiceType, 1u);
    EXPECT_EQ(config.dwStartType, 3u);

    // A 32-bit program reads the record with 4-byte pointers.
    sim.Setup().SetWow64(true);
    EXPECT_FALSE(platform.QueryServiceConfigW(service, nullptr, 0, &needed));
    EXPECT_EQ(needed, 36 + strings);
    EXPECT_TRUE(platform.CloseServiceHandle(service));
    EXPECT_TRUE(platform.CloseServiceHandle(manager));
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 0u);
}

TEST_F(ServicesContract, ServicesAreTheRegistryKeysWithAType) {
    // A machine image may write the key itself; a key without Type is no
    // service; a handle without SERVICE_QUERY_CONFIG cannot read the
    // configuration; only the local machine answers.
    const std::u16string key = u"HKLM\\SYSTEM\\CurrentControlSet\\Services\\USB-PGx64";
    sim.Setup().SetRegString(key, u"ImagePath", u"\\SystemRoot\\system32\\DRIVERS\\cvlpg.sys",
                             REG_EXPAND_SZ);
    sim.Setup().SetRegDword(key, u"Type", 1);
    sim.Setup().SetRegString(u"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", u"X",
                             u"1");
    SC_HANDLE manager = nullptr;
    EXPECT_EQ(OpenService(u"Tcpip", manager), nullptr);
    EXPECT_EQ(platform.GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
    platform.CloseServiceHandle(manager);
    SC_HANDLE service =
        OpenService(u"USB-PGx64", manager, SERVICE_ALL_ACCESS & ~SERVICE_QUERY_CONFIG);
    ASSERT_NE(service, nullptr);
    ServiceConfig config{};
    DWORD needed = 0;
    EXPECT_FALSE(platform.QueryServiceConfigW(service, &config, sizeof config, &needed));
    EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    platform.CloseServiceHandle(service);
    platform.CloseServiceHandle(manager);
    EXPECT_EQ(platform.OpenSCManagerW(u"\\\\far", nullptr, SC_MANAGER_CONNECT), nullptr);
    EXPECT_EQ(platform.GetLastError(), 1722u);  // RPC_S_SERVER_UNAVAILABLE
    EXPECT_FALSE(platform.CloseServiceHandle(manager));
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(ServicesContract, EachServiceCallCanBeMadeToFail) {
    sim.Setup().AddService(u"USB-100", kImage);
    SC_HANDLE manager = nullptr;
    SC_HANDLE service = OpenService(u"USB-100", manager);
    DWORD needed = 0;
    const std::vector<std::pair<Op, std::function<bool()>>> cases = {
        {Op::OpenSCManagerW,
         [&] { return platform.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT) == nullptr; }},
        {Op::OpenServiceW,
         [&] {
             return platform.OpenServiceW(manager, u"USB-100", SERVICE_QUERY_CONFIG) == nullptr;
         }},
        {Op::QueryServiceConfigW,
         [&] { return !platform.QueryServiceConfigW(service, nullptr, 0, &needed); }},
        {Op::CloseServiceHandle, [&] { return !platform.CloseServiceHandle(service); }},
    };
    for (const auto &[operation, fails] : cases) {
        SCOPED_TRACE(operation);
        sim.Setup().Fail(operation, ERROR_ACCESS_DENIED, 1);
        EXPECT_TRUE(fails());
        EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    }
    EXPECT_EQ(needed, 0u);
    EXPECT_TRUE(platform.CloseServiceHandle(service));
    EXPECT_TRUE(platform.CloseServiceHandle(manager));
    EXPECT_EQ(sim.Setup().OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace cvl::sim

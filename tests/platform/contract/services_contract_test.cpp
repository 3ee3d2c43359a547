// Services: opening through the service control manager and the byte-size
// protocol of the configuration record, on a kernel driver service the
// machine was given.
#include <string>

#include "contract_machine.h"

namespace cvl::contract {
namespace {

constexpr DWORD kKernelDriver = 0x1;  // SERVICE_KERNEL_DRIVER
constexpr DWORD kDemandStart = 0x3;   // SERVICE_DEMAND_START
constexpr DWORD kQueryStatus = 0x4;   // SERVICE_QUERY_STATUS

class ServiceCalls : public PlatformContract {
protected:
    void SetUp() override {
        manager = platform.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        ASSERT_NE(manager, nullptr);
    }
    void TearDown() override { EXPECT_TRUE(platform.CloseServiceHandle(manager)); }

    SC_HANDLE manager = nullptr;
};

TEST_F(ServiceCalls, AMissingServiceDoesNotOpen) {
    platform.SetLastError(0);
    EXPECT_EQ(platform.OpenServiceW(manager, u"CvlNoSuchService", SERVICE_QUERY_CONFIG), nullptr);
    EXPECT_EQ(platform.GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
}

TEST_F(ServiceCalls, ConfigurationFollowsTheByteSizeProtocol) {
    // Too small a buffer: ERROR_INSUFFICIENT_BUFFER and the bytes of the
    // whole record with its strings, the same each time; enough: the type,
    // start and image path. Names fold case.
    const std::u16string name = machine().ServiceName();
    std::u16string upper = name;
    for (char16_t &c : upper)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    SC_HANDLE service = platform.OpenServiceW(manager, upper.c_str(), SERVICE_QUERY_CONFIG);
    ASSERT_NE(service, nullptr);

    const std::u16string path = machine().ServiceBinaryPath();
    DWORD needed = 0;
    platform.SetLastError(0);
    EXPECT_FALSE(platform.QueryServiceConfigW(service, nullptr, 0, &needed));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_GT(needed, (path.size() + 1) * 2);

    ServiceConfig config{};
    DWORD shortNeeded = 0;
    EXPECT_FALSE(platform.QueryServiceConfigW(service, &config, needed - 1, &shortNeeded));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(shortNeeded, needed);

    ASSERT_TRUE(platform.QueryServiceConfigW(service, &config, needed, &needed));
    EXPECT_EQ(std::u16string(config.lpBinaryPathName), path);
    EXPECT_EQ(config.dwServiceType, kKernelDriver);
    EXPECT_EQ(config.dwStartType, kDemandStart);
    EXPECT_TRUE(platform.CloseServiceHandle(service));
}

TEST_F(ServiceCalls, AHandleReadsTheConfigurationOnlyWhenAskedTo) {
    SC_HANDLE service =
        platform.OpenServiceW(manager, machine().ServiceName().c_str(), kQueryStatus);
    ASSERT_NE(service, nullptr);
    ServiceConfig config{};
    DWORD needed = 0;
    EXPECT_FALSE(platform.QueryServiceConfigW(service, &config, sizeof config, &needed));
    EXPECT_EQ(platform.GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(platform.CloseServiceHandle(service));
    EXPECT_FALSE(platform.CloseServiceHandle(service));
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace cvl::contract

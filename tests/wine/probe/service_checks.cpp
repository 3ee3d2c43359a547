// Service calls through the real layer: the byte-size protocol of the
// configuration record and the fields copied out of it.
#include <string>

#include "checks.h"

namespace cvl::probe {
namespace {

constexpr DWORD kKernelDriver = 0x1;  // SERVICE_KERNEL_DRIVER
constexpr DWORD kDemandStart = 0x3;   // SERVICE_DEMAND_START

}  // namespace

void CheckServices(ProbeContext &context) {
    Platform &platform = context.platform;
    Checks &checks = context.checks;

    SC_HANDLE manager = platform.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    checks.Expect(manager != nullptr, "open the service manager");
    platform.SetLastError(0);
    checks.Expect(
        platform.OpenServiceW(manager, u"CvlNoSuchService", SERVICE_QUERY_CONFIG) == nullptr,
        "a missing service does not open");
    checks.ExpectNumber(platform.GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST,
                        "a missing service does not open, last error");

    SC_HANDLE service =
        platform.OpenServiceW(manager, context.serviceName.c_str(), SERVICE_QUERY_CONFIG);
    checks.Expect(service != nullptr, "open the prepared service");

    DWORD needed = 0;
    platform.SetLastError(0);
    checks.Expect(!platform.QueryServiceConfigW(service, nullptr, 0, &needed),
                  "configuration size asked without a buffer");
    checks.ExpectNumber(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER,
                        "configuration size asked, last error");
    // The record holds the path and more strings beside the fixed part.
    checks.Expect(needed > context.serviceBinaryPath.size() * 2, "configuration size in bytes");

    ServiceConfig config{};
    DWORD short_needed = 0;
    platform.SetLastError(0);
    checks.Expect(!platform.QueryServiceConfigW(service, &config, needed - 1, &short_needed),
                  "configuration read one byte short");
    checks.ExpectNumber(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER,
                        "configuration read one byte short, last error");
    checks.ExpectNumber(short_needed, needed, "the same size is asked again");

    checks.Expect(platform.QueryServiceConfigW(service, &config, needed, &needed) != 0,
                  "configuration read with the size asked");
    checks.ExpectText(config.lpBinaryPathName, context.serviceBinaryPath, "binary path");
    checks.ExpectNumber(config.dwServiceType, kKernelDriver, "service type");
    checks.ExpectNumber(config.dwStartType, kDemandStart, "start type");

    checks.Expect(platform.CloseServiceHandle(service) != 0, "close the service");
    checks.Expect(platform.CloseServiceHandle(manager) != 0, "close the manager");
}

}  // namespace cvl::probe

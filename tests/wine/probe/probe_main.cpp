// A console program that runs the real platform layer against the system it
// finds (Wine in the end-to-end tests) and checks that it gives the logic
// what the simulated machine promises: results, sizes and last errors.
//
//   cvl_platform_probe contract SELF HARDWARE_ID SERVICE SERVICE_PATH WORK_DIR
//   cvl_platform_probe class-install-requests
//   cvl_platform_probe print-pid
//   cvl_platform_probe exit-with-pid
#include <cstdio>
#include <cstring>
#include <string>

#include "checks.h"
#include "common/text.h"
#include "platform/win32/win32_platform.h"

namespace {

int RunContract(cvl::Platform &platform, char **arguments) {
    cvl::probe::Checks checks;
    cvl::probe::ProbeContext context{platform,
                                     checks,
                                     cvl::FromUtf8(arguments[1]),
                                     cvl::FromUtf8(arguments[2]),
                                     cvl::FromUtf8(arguments[3]),
                                     cvl::FromUtf8(arguments[0]),
                                     cvl::FromUtf8(arguments[4])};
    cvl::probe::CheckLastErrorAndVersion(context);
    cvl::probe::CheckSystemPaths(context);
    cvl::probe::CheckRegistry(context);
    cvl::probe::CheckFiles(context);
    cvl::probe::CheckProcesses(context);
    cvl::probe::CheckDevices(context);
    cvl::probe::CheckInfReading(context);
    cvl::probe::CheckPackageVersion(context);
    cvl::probe::CheckServices(context);
    std::printf("%d failed\n", checks.Failures());
    return checks.Failures() == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    cvl::Win32Platform platform;
    const char *mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, cvl::probe::kExitWithPidMode) == 0)
        return static_cast<int>(platform.GetCurrentProcessId());
    if (std::strcmp(mode, "print-pid") == 0) {
        std::printf("%u\n", platform.GetCurrentProcessId());
        return 0;
    }
    if (std::strcmp(mode, "class-install-requests") == 0) {
        cvl::probe::MakeClassInstallRequests(platform);
        return 0;
    }
    if (std::strcmp(mode, "contract") == 0 && argc == 7) return RunContract(platform, argv + 2);
    std::fprintf(stderr,
                 "usage: cvl_platform_probe contract SELF HARDWARE_ID SERVICE SERVICE_PATH "
                 "WORK_DIR | class-install-requests | print-pid | exit-with-pid\n");
    return 2;
}

// The probe's reporter: one line a check, failures counted. The probe runs
// inside Wine, where no test framework is at hand.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace cvl::probe {

class Checks {
public:
    void Expect(bool ok, std::string_view what, std::string_view detail = {});
    void ExpectNumber(DWORD got, DWORD want, std::string_view what);
    void ExpectText(std::u16string_view got, std::u16string_view want, std::string_view what);
    int Failures() const { return failures_; }

private:
    int failures_ = 0;
};

// What the harness prepared in the prefix, and where the probe may work.
struct ProbeContext {
    Platform &platform;
    Checks &checks;
    std::u16string hardwareId;   // of a device the harness entered in the registry
    std::u16string serviceName;  // of a kernel service the harness created
    std::u16string serviceBinaryPath;
    std::u16string ownPath;
    std::u16string workDirectory;  // ends with a backslash
};

void CheckLastErrorAndVersion(ProbeContext &context);
void CheckSystemPaths(ProbeContext &context);
void CheckRegistry(ProbeContext &context);
void CheckFiles(ProbeContext &context);
void CheckProcesses(ProbeContext &context);
void CheckDevices(ProbeContext &context);
void CheckInfReading(ProbeContext &context);
// The package version through LoadPackageDriverVersion and Wine's INF parser.
void CheckPackageVersion(ProbeContext &context);
void CheckServices(ProbeContext &context);

// Sets the parameters of a property change and of a removal on a device
// list and prints what the system answered. Wine answers neither but names
// each request's function and record size in its trace, which the harness
// reads.
void MakeClassInstallRequests(Platform &platform);

// The probe's first argument when it is started as a child: it ends with its
// own process id as the exit code.
inline constexpr char kExitWithPidMode[] = "exit-with-pid";

}  // namespace cvl::probe

// What the Wine harness prepared for the contract cases, handed to the real
// machine's fixture by the test program's command line.
#pragma once

#include <string>

namespace cvl::contract {

struct HarnessSettings {
    std::u16string deviceHardwareId;
    std::u16string removableDeviceHardwareId;
    std::u16string serviceName;
    std::u16string serviceBinaryPath;
    std::u16string workFolder;  // ends with a backslash
};

// Set once by main before the cases run.
void UseHarnessSettings(HarnessSettings settings);

// The first argument that makes the program a child of a case: it ends
// with the number that follows as its exit code.
inline constexpr char kExitWithMode[] = "exit-with";
inline constexpr unsigned kChildExitCode = 7;

}  // namespace cvl::contract

// machine.txt: the system settings and runtime state of a machine image that
// the registry and the files do not hold. One "key = value" a line, '#'
// starts a comment line. Every key has one row in a table that both reads
// and writes it, so a new kind of setting is one new row.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "machine_image/machine_image_device_rows.h"
#include "machine_image/machine_image_text.h"
#include "platform/sim/setup/simulated_machine_types.h"

namespace cvl::image {

struct ToolExitCode {
    std::u16string imagePath;
    DWORD exitCode = 0;

    bool operator==(const ToolExitCode &) const = default;
};

// A call that fails every time with the same last error, as a driver
// update answers on a machine the image cannot otherwise describe.
struct CallFault {
    PlatformOperation operation{};
    DWORD error = 0;

    bool operator==(const CallFault &) const = default;
};

struct MachineSettings {
    // "NT 6.1.7601" or "9x 4.10.2222", optionally followed by the service
    // pack text ("NT 6.1.7601 Service Pack 1").
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    DWORD majorVersion = 0;
    DWORD minorVersion = 0;
    DWORD buildNumber = 0;
    std::u16string servicePack;

    std::u16string windowsDir;
    std::u16string tempDir;  // ends with a backslash, as GetTempPathW gives it
    std::u16string currentDir;
    std::u16string program;
    DWORD processId = 1000;
    int messageBoxAnswer = IDOK;
    std::vector<ToolExitCode> toolExitCodes;
    std::vector<DeviceRow> devices;  // in the order of their rows
    std::vector<ServiceRow> services;
    std::vector<CallFault> faults;

    bool operator==(const MachineSettings &) const = default;
};

// `error.line` names the line of machine.txt; a missing key has line 0.
bool ParseMachineSettings(std::string_view bytes, MachineSettings &settings, TextError &error);
std::string FormatMachineSettings(const MachineSettings &settings);

// "X:\..." with a drive letter and no empty, "." or ".." names.
bool IsAbsoluteWindowsPath(std::u16string_view path);

}  // namespace cvl::image

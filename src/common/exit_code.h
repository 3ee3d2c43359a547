// The exit codes of a run: what the program tells the setup front end that
// started it. Every flow and action ends with one of these.
#pragma once

#include <cstdint>

namespace cvl {

enum class ExitCode : std::uint32_t {
    Success = 0,                // the action finished; also a cancelled uninstall, a device found
    UnsupportedOs = 1,          // the Windows version is not one the program knows
    BadCommandLine = 2,         // the command line is empty or was rejected
    NoAction = 3,               // the command line holds no action switch
    NothingToDo = 8,            // no legacy family switch, or nothing to uninstall
    PackageNotFound = 9,        // the program's own path or the package INF could not be found
    OutOfMemory = 10,           // memory for a working list or path was not available
    DeviceNotFound = 11,        // the device query found no device with the id
    DriverAlreadyCurrent = 12,  // the adapters already run the package's driver version
    DeviceUpdateFailed = 13,    // a driver update failed for an adapter; no status key written
};

}  // namespace cvl

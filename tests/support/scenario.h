// Whole runs against a simulated machine, for scenario tests.
#pragma once

#include <optional>
#include <string>

#include "app/run_installer.h"
#include "common/text.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::test {

using cvl::ToUtf8;

// The defaults of a fresh simulated machine: Windows 7, the program in
// C:\setup, which is also the current directory.
inline constexpr char16_t kProgramPath[] = u"C:\\setup\\cvlsetup.exe";
inline constexpr char16_t kLogPath[] = u"C:\\setup\\InstallLog.txt";

inline DWORD RunTail(sim::SimulatedPlatform &machine, std::u16string_view tail) {
    return RunInstaller(machine, tail);
}

// Runs the command line, then lets every program copy it started run its
// own command line, as the system would once this process has ended.
inline DWORD RunWithChildren(sim::SimulatedPlatform &machine, std::u16string_view tail) {
    const DWORD code = RunInstaller(machine, tail);
    machine.Setup().FinishRunAndStartChildren(code,
                                              [](Platform &platform, std::u16string commandTail) {
                                                  return RunInstaller(platform, commandTail);
                                              });
    return code;
}

inline std::optional<std::string> LogOf(const sim::SimulatedPlatform &machine,
                                        std::u16string_view path = kLogPath) {
    return machine.Setup().ReadFileContents(path);
}

}  // namespace cvl::test

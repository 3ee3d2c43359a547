// For the host runner tests: the runner's command run in the test's process,
// with the real program or a small stand-in, and what it printed.
#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/run_installer.h"
#include "host_runner/runner_command_line.h"
#include "tools/machine_image_testing.h"

namespace cvl::test {

inline const sim::ProgramEntry kProgram = [](Platform &platform, std::u16string tail) {
    return RunInstaller(platform, tail);
};

struct CommandResult {
    int status;
    std::string out;
    std::string err;
};

inline CommandResult RunCommand(const std::vector<std::string> &arguments,
                                const sim::ProgramEntry &program = kProgram) {
    std::ostringstream out, err;
    const int status = runner::RunHostCommand(arguments, program, out, err);
    return {status, out.str(), err.str()};
}

inline bool Contains(const std::string &text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

// A copy of the demo machine that a test may change.
inline std::filesystem::path CopyOfDemo(const ScratchFolder &scratch) {
    const std::filesystem::path copy = scratch.path() / "demo";
    std::filesystem::copy(kDemoImage, copy, std::filesystem::copy_options::recursive);
    return copy;
}

}  // namespace cvl::test

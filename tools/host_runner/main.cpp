// cvlsetup-host: runs a cvlsetup command line against a machine image folder
// on Linux (cvlpreview.exe on Windows). See host_runner/runner_command_line.h
// for the command.
#include <iostream>
#include <string>
#include <vector>

#include "app/run_installer.h"
#include "host_runner/host_program.h"
#include "host_runner/runner_command_line.h"

int main(int argc, char **argv) {
    const std::vector<std::string> arguments = cvl::runner::StartHostProgram(argc, argv);
    const cvl::sim::ProgramEntry program = [](cvl::Platform &platform, std::u16string tail) {
        return cvl::RunInstaller(platform, tail);
    };
    return cvl::runner::RunHostCommand(arguments, program, std::cout, std::cerr);
}

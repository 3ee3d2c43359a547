// What the host runner needs of the system it runs on before its command
// runs: its arguments as UTF-8 texts, the form every text of the runner
// takes, and a standard output that carries the report's bytes unchanged.
//
// On Linux (cvlsetup-host) the arguments are taken as they are. On Windows
// (cvlpreview.exe) the C runtime's arguments are in the ANSI code page, which
// cannot hold every file name: they are read again in UTF-16 and converted.
// Standard output is put into binary mode there, so that the report, text or
// JSON, is written with LF line ends: the same bytes as on Linux.
#pragma once

#include <string>
#include <vector>

namespace cvl::runner {

// The arguments after the program's name.
std::vector<std::string> StartHostProgram(int argc, char **argv);

}  // namespace cvl::runner

// The program's command line as the system holds it, in UTF-16: read with
// the ANSI call and converted from the code page on the 9x line, where the
// line is kept in that code page.
#pragma once

#include <string>

namespace cvl::win32 {

std::u16string ProgramCommandLine();

}  // namespace cvl::win32

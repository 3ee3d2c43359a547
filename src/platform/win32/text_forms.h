// Which forms of the system's text calls the real platform layer makes.
// Windows 95, 98 and Me export most Unicode calls only as stubs that fail
// with ERROR_CALL_NOT_IMPLEMENTED; there the layer calls the ANSI forms and
// converts every text at its boundary with the system's ANSI code page.
#pragma once

namespace cvl::win32 {

// Decided once, from the platform the system reports: true on the 9x line
// (VER_PLATFORM_WIN32_WINDOWS).
bool UsesAnsiForms();

}  // namespace cvl::win32

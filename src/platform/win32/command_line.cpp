#include "platform/win32/command_line.h"

#include "platform/win32/ansi_text.h"
#include "platform/win32/library_binding.h"
#include "platform/win32/text_forms.h"

namespace cvl::win32 {

std::u16string ProgramCommandLine() {
    if (UsesAnsiForms()) return FromAnsi(::GetCommandLineA());
    const LPWSTR line = CVL_SYSTEM_CALL(kernel32, GetCommandLineW);
    if (line == nullptr || line == INVALID_HANDLE_VALUE) return {};
    return std::u16string(reinterpret_cast<const char16_t *>(line));
}

}  // namespace cvl::win32

#include "platform/win32/text_forms.h"

#include "platform/win32/text_forms_state.h"
#include "platform/win32/win32_boundary.h"

namespace cvl::win32 {

TextForms gTextForms = TextForms::undecided;

bool UsesAnsiForms() {
    if (gTextForms == TextForms::undecided) {
        // The ANSI record: the one form of the call every generation has.
        ::OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        const DWORD callersError = ::GetLastError();
        const bool nineX =
            ::GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
        ::SetLastError(callersError);
        gTextForms = nineX ? TextForms::ansi : TextForms::unicode;
    }
    return gTextForms == TextForms::ansi;
}

}  // namespace cvl::win32

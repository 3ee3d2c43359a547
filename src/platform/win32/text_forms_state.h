// The layer's one record of the text forms it chose. Only text_forms.cpp
// and the platform contract test program (which runs the contract cases
// against the ANSI forms on any system) write it; the program itself
// decides from the system alone.
#pragma once

namespace cvl::win32 {

enum class TextForms { undecided, unicode, ansi };

extern TextForms gTextForms;

}  // namespace cvl::win32

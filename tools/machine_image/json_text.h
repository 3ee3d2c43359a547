// JSON output for the host tools' machine-readable reports: strings quoted
// and escaped so that any text a run produces (log lines in a code page,
// registry data with control characters) gives a valid UTF-8 document.
#pragma once

#include <string>
#include <string_view>

namespace cvl::image {

// `text` as a JSON string, quotes included. Quotes, backslashes and the
// control characters below U+0020 (and U+007F) are escaped; other characters
// stay as UTF-8. Bytes that are not valid UTF-8 become U+FFFD, so the
// document stays valid whatever the text was written in.
std::string JsonString(std::string_view text);
std::string JsonString(std::u16string_view text);

}  // namespace cvl::image

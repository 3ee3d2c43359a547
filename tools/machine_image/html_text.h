// Text for the host tools' HTML reports. Everything a report shows comes from
// captures of machines that someone else controls (folder names, registry
// data, log lines), so every text goes through HtmlText on its way in.
#pragma once

#include <string>
#include <string_view>

namespace cvl::image {

// `text` as HTML character data or a quoted attribute value: & < > " ' as
// references, bytes that are not valid UTF-8 and control characters other
// than tab and line feed as U+FFFD (a browser would otherwise drop or
// misread them), everything else as it is.
std::string HtmlText(std::string_view text);

}  // namespace cvl::image

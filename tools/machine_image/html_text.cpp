#include "machine_image/html_text.h"

#include "common/text.h"

namespace cvl::image {

std::string HtmlText(std::string_view text) {
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string escaped;
    escaped.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = at;
        const auto codePoint = NextUtf8CodePoint(text, at);
        if (!codePoint) {
            escaped += kReplacement;
            ++at;
            continue;
        }
        switch (*codePoint) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            case '\t':
            case '\n':
                escaped += static_cast<char>(*codePoint);
                break;
            default:
                if (*codePoint < 0x20 || (*codePoint >= 0x7F && *codePoint < 0xA0))
                    escaped += kReplacement;
                else
                    escaped.append(text.substr(start, at - start));
        }
    }
    return escaped;
}

}  // namespace cvl::image

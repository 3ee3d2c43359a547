#include "machine_image/json_text.h"

#include <cstdio>

#include "common/text.h"

namespace cvl::image {
namespace {

// \b \f \n \r \t have short forms; the other control characters take \u.
std::string EscapedControl(unsigned char c) {
    switch (c) {
        case '\b':
            return "\\b";
        case '\f':
            return "\\f";
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        default: {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            return escaped;
        }
    }
}

}  // namespace

std::string JsonString(std::u16string_view text) {
    // ToUtf8 turns lone surrogates into U+FFFD, so the result is valid UTF-8.
    const std::string utf8 = ToUtf8(text);
    std::string quoted = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            quoted += EscapedControl(byte);
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string JsonString(std::string_view text) {
    return JsonString(FromUtf8(text));
}

}  // namespace cvl::image

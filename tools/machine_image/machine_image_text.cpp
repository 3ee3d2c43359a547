#include "machine_image/machine_image_text.h"

#include <cstdint>
#include <optional>

#include "common/little_endian.h"
#include "common/text.h"

namespace cvl::image {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";

bool DecodeUtf8(std::string_view bytes, std::u16string &text, TextError &error) {
    std::size_t line = 1;
    for (std::size_t at = 0; at < bytes.size();) {
        const auto cp = NextUtf8CodePoint(bytes, at);
        if (!cp) {
            error = {line, "the text is not valid UTF-8 (save the file as UTF-8 or UTF-16)"};
            return false;
        }
        if (*cp == u'\n') ++line;
    }
    // Valid throughout, so the plain conversion reads it exactly.
    text = FromUtf8(bytes);
    return true;
}

}  // namespace

bool DecodeUtf8Strict(std::string_view bytes, std::u16string &text) {
    TextError ignored;
    return DecodeUtf8(bytes, text, ignored);
}

namespace {

bool DecodeUtf16Le(std::string_view bytes, std::u16string &text, TextError &error) {
    if (bytes.size() % 2 != 0) {
        error = {0, "the UTF-16 text has an odd number of bytes"};
        return false;
    }
    text =
        Utf16UnitsOf(std::span(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size()));
    return true;
}

}  // namespace

bool DecodeImageText(std::string_view bytes, std::vector<std::u16string> &lines, TextError &error) {
    std::u16string text;
    if (bytes.starts_with(kUtf16LeMark)) {
        if (!DecodeUtf16Le(bytes.substr(kUtf16LeMark.size()), text, error)) return false;
    } else {
        if (bytes.starts_with(kUtf8Mark)) bytes.remove_prefix(kUtf8Mark.size());
        if (!DecodeUtf8(bytes, text, error)) return false;
    }

    lines.clear();
    std::u16string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            lines.push_back(std::move(current));
            current.clear();
        } else if (c == u'\0') {
            error = {lines.size() + 1, "the line holds a zero character"};
            return false;
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) lines.push_back(std::move(current));
    return true;
}

std::string EncodeUtf16LeWithBom(std::u16string_view text) {
    std::string bytes(kUtf16LeMark);
    bytes.reserve(2 + text.size() * 2);
    for (const char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

std::filesystem::path HostPathFromUtf8(std::string_view text) {
#ifdef _WIN32
    const std::u16string wide = FromUtf8(text);
    return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
#else
    return std::filesystem::path(std::string(text));
#endif
}

std::string HostPathText(const std::filesystem::path &path) {
#ifdef _WIN32
    const std::wstring &wide = path.native();
    return ToUtf8(std::u16string(wide.begin(), wide.end()));
#else
    return path.native();
#endif
}

std::string ImageErrorText(const std::filesystem::path &file, std::size_t line,
                           std::string_view message) {
    std::string text = HostPathText(file);
    if (line != 0) text += ":" + std::to_string(line);
    text += ": ";
    text += message;
    return text;
}

std::optional<std::uint32_t> ParseImageNumber(std::u16string_view text, bool allowHex) {
    std::uint64_t value = 0;
    int base = 10;
    if (allowHex && text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 10) return std::nullopt;
    for (const char16_t c : text) {
        int digit = -1;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        if (base == 16 && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        if (base == 16 && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        if (digit < 0) return std::nullopt;
        value = value * base + digit;
    }
    if (value > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::u16string_view TrimBlanks(std::u16string_view text) {
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
    return text;
}

}  // namespace cvl::image

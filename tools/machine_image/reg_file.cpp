#include "machine_image/reg_file.h"

#include <map>
#include <optional>

#include "common/little_endian.h"
#include "common/text.h"
#include "machine_image/machine_image_text.h"

namespace cvl::image {
namespace {

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";
// The registry's own limits, in characters.
constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxValueNameChars = 16383;

struct Hive {
    std::u16string_view longName;
    std::u16string_view shortName;
};
constexpr Hive kHives[] = {
    {u"HKEY_LOCAL_MACHINE", u"HKLM"},
    {u"HKEY_CURRENT_USER", u"HKCU"},
};

std::optional<std::u16string_view> ShortHiveName(std::u16string_view name) {
    for (const Hive &hive : kHives)
        if (EqualsFoldAZ(name, hive.longName) || EqualsFoldAZ(name, hive.shortName))
            return hive.shortName;
    return std::nullopt;
}

bool StartsWithFoldAZ(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && EqualsFoldAZ(text.substr(0, prefix.size()), prefix);
}

int HexDigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// 1 to `maxDigits` hex digits and nothing else.
std::optional<std::uint32_t> HexNumber(std::u16string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    std::uint32_t value = 0;
    for (const char16_t c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::vector<BYTE> StringBytes(std::u16string_view text) {
    std::vector<BYTE> bytes;
    bytes.reserve(text.size() * 2 + 2);
    for (const char16_t c : text) AppendUtf16Unit(bytes, c);
    AppendUtf16Unit(bytes, u'\0');
    return bytes;
}

class RegFileParser {
public:
    RegFileParser(std::vector<RegFileKey> &keys, RegFileError &error)
        : keys_(keys), error_(error) {}

    bool Parse(const std::vector<std::u16string> &lines) {
        if (lines.empty() || TrimBlanks(lines[0]) != kHeader)
            return Fail(1, "the first line must be \"Windows Registry Editor Version 5.00\"");
        for (std::size_t index = 1; index < lines.size(); ++index) {
            const std::size_t lineNumber = index + 1;
            std::u16string text(TrimBlanks(lines[index]));
            if (text.empty() || text.front() == u';') continue;
            if (text.front() == u'[') {
                if (!ParseKeyLine(text, lineNumber)) return false;
                continue;
            }
            while (!text.empty() && text.back() == u'\\') {
                if (++index >= lines.size())
                    return Fail(lineNumber, "the last line ends with a continuation backslash");
                text.pop_back();
                text += TrimBlanks(lines[index]);
            }
            if (!ParseValueLine(text, lineNumber)) return false;
        }
        return true;
    }

private:
    bool Fail(std::size_t line, std::string message) {
        error_ = {line, std::move(message)};
        return false;
    }

    bool ParseKeyLine(std::u16string_view text, std::size_t line) {
        const std::size_t close = text.rfind(u']');
        if (close == std::u16string_view::npos) return Fail(line, "the key line has no closing ]");
        if (!TrimBlanks(text.substr(close + 1)).empty())
            return Fail(line, "unexpected text after the key's closing ]");
        const std::u16string_view path = text.substr(1, close - 1);
        if (path.starts_with(u'-'))
            return Fail(line,
                        "key deletions ([-...]) are not accepted: a machine image holds the whole "
                        "registry; leave the key out instead");

        const std::size_t slash = path.find(u'\\');
        const std::u16string_view hiveName = path.substr(0, slash);
        const auto hive = ShortHiveName(hiveName);
        if (!hive)
            return Fail(line, "only HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER are kept, not \"" +
                                  ToUtf8(hiveName) + "\"");
        std::u16string shortPath(*hive);
        if (slash != std::u16string_view::npos) {
            std::u16string_view rest = path.substr(slash + 1);
            while (true) {
                const std::size_t next = rest.find(u'\\');
                const std::u16string_view name = rest.substr(0, next);
                if (name.empty()) return Fail(line, "the key path has an empty key name");
                if (name.size() > kMaxKeyNameChars)
                    return Fail(line, "a key name is longer than 255 characters");
                shortPath += u'\\';
                shortPath += name;
                if (next == std::u16string_view::npos) break;
                rest.remove_prefix(next + 1);
            }
        }
        SelectKey(shortPath);
        return true;
    }

    void SelectKey(const std::u16string &path) {
        const auto [found, added] = keyIndex_.try_emplace(LoweredAZ(path), keys_.size());
        if (added) {
            keys_.push_back({path, {}});
            valueIndex_.emplace_back();
        }
        current_ = found->second;
    }

    // A text in double quotes starting at `at`; leaves `at` after the closing
    // quote.
    bool ParseQuoted(std::u16string_view text, std::size_t &at, std::u16string &out,
                     std::size_t line) {
        for (++at; at < text.size(); ++at) {
            char16_t c = text[at];
            if (c == u'"') {
                ++at;
                return true;
            }
            if (c == u'\\') {
                if (++at >= text.size()) break;
                c = text[at];
                if (c != u'\\' && c != u'"')
                    return Fail(line, "unknown escape \\" + ToUtf8(std::u16string(1, c)) +
                                          " in a quoted text (write a backslash as \\\\)");
            }
            out.push_back(c);
        }
        return Fail(line, "the quoted text has no closing quote");
    }

    bool ParseValueLine(std::u16string_view text, std::size_t line) {
        if (!current_) return Fail(line, "a value before the first [key] line");
        std::size_t at = 0;
        std::u16string name;
        if (text.front() == u'@') {
            at = 1;
        } else if (text.front() == u'"') {
            if (!ParseQuoted(text, at, name, line)) return false;
            if (name.size() > kMaxValueNameChars)
                return Fail(line, "a value name is longer than 16383 characters");
        } else {
            return Fail(line, "expected a [key], a \"name\"= or @= line");
        }
        std::u16string_view rest = TrimBlanks(text.substr(at));
        if (!rest.starts_with(u'=')) return Fail(line, "expected = after the value name");
        rest = TrimBlanks(rest.substr(1));

        sim::RegValue value;
        if (!ParseData(rest, value, line)) return false;
        StoreValue(std::move(name), std::move(value));
        return true;
    }

    bool ParseData(std::u16string_view data, sim::RegValue &value, std::size_t line) {
        if (data.starts_with(u'"')) {
            std::size_t at = 0;
            std::u16string textValue;
            if (!ParseQuoted(data, at, textValue, line)) return false;
            if (!TrimBlanks(data.substr(at)).empty())
                return Fail(line, "unexpected text after the closing quote");
            value = {REG_SZ, StringBytes(textValue)};
            return true;
        }
        if (data.starts_with(u'-'))
            return Fail(line,
                        "value deletions (=-) are not accepted: a machine image holds the whole "
                        "registry; leave the value out instead");
        if (StartsWithFoldAZ(data, u"dword:")) {
            const auto number = HexNumber(data.substr(6), 8);
            if (!number) return Fail(line, "dword: needs 1 to 8 hex digits");
            value.type = REG_DWORD;
            for (int shift = 0; shift < 32; shift += 8)
                value.data.push_back(static_cast<BYTE>(*number >> shift));
            return true;
        }
        if (StartsWithFoldAZ(data, u"hex:")) {
            value.type = REG_BINARY;
            return ParseHexBytes(data.substr(4), value.data, line);
        }
        if (StartsWithFoldAZ(data, u"hex(")) {
            const std::size_t close = data.find(u')');
            const auto type = close == std::u16string_view::npos
                                  ? std::nullopt
                                  : HexNumber(data.substr(4, close - 4), 8);
            if (!type || close + 1 >= data.size() || data[close + 1] != u':')
                return Fail(line, "hex(N): needs a hex type number of 1 to 8 digits and a colon");
            value.type = *type;
            return ParseHexBytes(data.substr(close + 2), value.data, line);
        }
        return Fail(line, "unknown value form; expected \"text\", dword:, hex: or hex(N):");
    }

    bool ParseHexBytes(std::u16string_view text, std::vector<BYTE> &bytes, std::size_t line) {
        text = TrimBlanks(text);
        if (text.empty()) return true;
        while (true) {
            const std::size_t comma = text.find(u',');
            const auto byte = HexNumber(TrimBlanks(text.substr(0, comma)), 2);
            if (!byte)
                return Fail(line,
                            "hex data must be bytes of 1 or 2 hex digits separated by commas");
            bytes.push_back(static_cast<BYTE>(*byte));
            if (comma == std::u16string_view::npos) return true;
            text.remove_prefix(comma + 1);
        }
    }

    void StoreValue(std::u16string name, sim::RegValue value) {
        RegFileKey &key = keys_[*current_];
        auto &index = valueIndex_[*current_];
        const auto [found, added] = index.try_emplace(LoweredAZ(name), key.values.size());
        if (added) {
            key.values.push_back({std::move(name), std::move(value)});
        } else {
            // The registry keeps the spelling a value was first written with.
            key.values[found->second].value = std::move(value);
        }
    }

    std::vector<RegFileKey> &keys_;
    RegFileError &error_;
    std::map<std::u16string, std::size_t> keyIndex_;
    std::vector<std::map<std::u16string, std::size_t>> valueIndex_;
    std::optional<std::size_t> current_;
};

// --- Writing ---------------------------------------------------------------

constexpr std::u16string_view kLineEnd = u"\r\n";
// Hex data wraps before a line grows past this many characters, as regedit's
// own exports do, so that the files stay readable in any editor.
constexpr std::size_t kWrapColumn = 76;

std::u16string Quoted(std::u16string_view text) {
    std::u16string out = u"\"";
    for (const char16_t c : text) {
        if (c == u'\\' || c == u'"') out.push_back(u'\\');
        out.push_back(c);
    }
    out.push_back(u'"');
    return out;
}

// The text of REG_SZ data that reads back to the very same bytes when
// written in quotes.
std::optional<std::u16string> PlainStringOf(const sim::RegValue &value) {
    const auto &data = value.data;
    if (value.type != REG_SZ || data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
    std::u16string text;
    for (std::size_t i = 0; i + 2 < data.size(); i += 2) {
        const char16_t c = Utf16UnitAt(data.data(), i);
        if (c == u'\0' || c == u'\r' || c == u'\n') return std::nullopt;
        text.push_back(c);
    }
    if (data[data.size() - 2] != 0 || data[data.size() - 1] != 0) return std::nullopt;
    return text;
}

void AppendHexDigits(std::u16string &out, std::uint32_t value, int digits) {
    constexpr char16_t kDigits[] = u"0123456789abcdef";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out.push_back(kDigits[(value >> shift) & 0xF]);
}

void AppendHexData(std::u16string &out, std::size_t column, const std::vector<BYTE> &bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        AppendHexDigits(out, bytes[i], 2);
        column += 2;
        if (i + 1 == bytes.size()) break;
        out.push_back(u',');
        ++column;
        if (column > kWrapColumn) {
            out += u"\\";
            out += kLineEnd;
            out += u"  ";
            column = 2;
        }
    }
}

std::u16string HexPrefix(DWORD type) {
    if (type == REG_BINARY) return u"hex:";
    std::u16string prefix = u"hex(";
    int digits = 1;
    while (digits < 8 && (type >> (digits * 4)) != 0) ++digits;
    AppendHexDigits(prefix, type, digits);
    return prefix + u"):";
}

void AppendValueLine(std::u16string &out, const RegFileValue &entry) {
    std::u16string line = entry.name.empty() ? std::u16string(u"@") : Quoted(entry.name);
    line += u'=';
    const sim::RegValue &value = entry.value;
    if (const auto text = PlainStringOf(value)) {
        line += Quoted(*text);
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        line += u"dword:";
        for (int i = 3; i >= 0; --i) AppendHexDigits(line, value.data[i], 2);
    } else {
        line += HexPrefix(value.type);
        const std::size_t column = line.size();
        AppendHexData(line, column, value.data);
    }
    out += line;
    out += kLineEnd;
}

std::optional<std::u16string> LongKeyPath(std::u16string_view path) {
    const std::size_t slash = path.find(u'\\');
    for (const Hive &hive : kHives) {
        if (path.substr(0, slash) != hive.shortName) continue;
        std::u16string result(hive.longName);
        if (slash != std::u16string_view::npos) result += path.substr(slash);
        return result;
    }
    return std::nullopt;
}

}  // namespace

bool ParseRegFile(std::string_view bytes, std::vector<RegFileKey> &keys, RegFileError &error) {
    keys.clear();
    std::vector<std::u16string> lines;
    TextError textError;
    if (!DecodeImageText(bytes, lines, textError)) {
        error = {textError.line, textError.message};
        return false;
    }
    RegFileParser parser(keys, error);
    if (parser.Parse(lines)) return true;
    keys.clear();
    return false;
}

bool CanNameInRegFile(std::u16string_view name) {
    return name.find_first_of(u"\r\n") == std::u16string_view::npos;
}

bool FormatRegFile(const std::vector<RegFileKey> &keys, std::string &bytes, std::string &error) {
    std::u16string text(kHeader);
    text += kLineEnd;
    for (const RegFileKey &key : keys) {
        const auto longPath = LongKeyPath(key.path);
        if (!longPath || !CanNameInRegFile(key.path)) {
            error = "the key \"" + ToUtf8(key.path) + "\" cannot be written to a .reg file";
            return false;
        }
        text += kLineEnd;
        text += u"[" + *longPath + u"]";
        text += kLineEnd;
        for (const RegFileValue &value : key.values) {
            if (!CanNameInRegFile(value.name)) {
                error = "the value \"" + ToUtf8(value.name) + "\" of \"" + ToUtf8(key.path) +
                        "\" has a line break in its name and cannot be written to a .reg file";
                return false;
            }
            AppendValueLine(text, value);
        }
    }
    bytes = EncodeUtf16LeWithBom(text);
    return true;
}

bool SameRegValue(const sim::RegValue &a, const sim::RegValue &b) {
    return a.type == b.type && a.data == b.data;
}

bool SameRegFileKeys(const std::vector<RegFileKey> &a, const std::vector<RegFileKey> &b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (a[k].path != b[k].path || a[k].values.size() != b[k].values.size()) return false;
        for (std::size_t v = 0; v < a[k].values.size(); ++v) {
            const RegFileValue &x = a[k].values[v];
            const RegFileValue &y = b[k].values[v];
            if (x.name != y.name || !SameRegValue(x.value, y.value)) return false;
        }
    }
    return true;
}

}  // namespace cvl::image

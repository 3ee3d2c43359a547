#include "platform/sim/parts/inf_file.h"

#include "common/little_endian.h"
#include "common/text.h"

namespace cvl::sim {
namespace {

using win::DWORD;
using win::UINT;

constexpr char16_t kEndOfFile = 0x1A;  // Ctrl-Z ends an INF wherever it stands
constexpr std::size_t kMaxSectionName = 255;

std::u16string Decode(std::string_view bytes) {
    std::u16string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.data());
        text = Utf16UnitsOf(std::span(data + 2, bytes.size() - 2));
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        text = FromUtf8(bytes.substr(3));
    } else {
        text = Widen(bytes);
    }
    const auto end = text.find(kEndOfFile);
    if (end != std::u16string::npos) text.resize(end);
    // A zero inside a line reads as a blank.
    for (auto &c : text)
        if (c == u'\0') c = u' ';
    return text;
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r';
}

// Splits the text into lines and the lines into keys and fields.
class Reader {
public:
    explicit Reader(std::u16string text) : text_(std::move(text)) {}

    InfParse Read() {
        InfParse result;
        std::optional<UINT> strayLine;  // the first data line before any section
        bool sawSection = false;
        bool firstSectionIsStrings = false;
        while (pos_ < text_.size()) {
            ++lineNumber_;
            SkipBlanks();
            if (AtLineEnd()) {
                NextLine();
                continue;
            }
            if (text_[pos_] == u';') {
                SkipToLineEnd();
                NextLine();
                continue;
            }
            if (text_[pos_] == u'[') {
                std::u16string name;
                if (const DWORD error = ReadSectionName(name)) {
                    result.error = error;
                    result.errorLine = lineNumber_;
                    return result;
                }
                if (!sawSection) firstSectionIsStrings = EqualsFoldAZ(name, u"Strings");
                sawSection = true;
                current_ = SectionIndex(result.file, name);
                continue;
            }
            const UINT line = lineNumber_;
            InfLine parsed = ReadDataLine();
            if (!sawSection) {
                if (!strayLine) strayLine = line;
                continue;
            }
            result.file.sections[current_].lines.push_back(std::move(parsed));
        }
        // Windows lets text stand before the first section only when that
        // section is [Strings].
        if (strayLine && !firstSectionIsStrings) {
            result.error = ERROR_EXPECTED_SECTION_NAME;
            result.errorLine = *strayLine;
        }
        return result;
    }

private:
    bool AtLineEnd() const { return pos_ >= text_.size() || text_[pos_] == u'\n'; }
    void SkipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    }
    void SkipToLineEnd() {
        while (!AtLineEnd()) ++pos_;
    }
    void NextLine() {
        if (pos_ < text_.size()) ++pos_;  // the '\n'
    }

    static std::size_t SectionIndex(InfFile &file, const std::u16string &name) {
        for (std::size_t i = 0; i < file.sections.size(); ++i)
            if (EqualsFoldAZ(file.sections[i].name, name)) return i;
        file.sections.push_back(InfSection{name, {}});
        return file.sections.size() - 1;
    }

    // The name runs to the first ']'; the rest of the line does not count.
    DWORD ReadSectionName(std::u16string &name) {
        ++pos_;
        while (!AtLineEnd() && text_[pos_] != u']') name.push_back(text_[pos_++]);
        if (AtLineEnd()) return ERROR_BAD_SECTION_NAME_LINE;
        if (name.size() > kMaxSectionName) return ERROR_SECTION_NAME_TOO_LONG;
        SkipToLineEnd();
        NextLine();
        return 0;
    }

    // A backslash continues the line when only blanks, further backslashes
    // and perhaps a comment follow it.
    bool ContinuesLine(std::size_t at) const {
        std::size_t i = at + 1;
        while (i < text_.size() && (IsBlank(text_[i]) || text_[i] == u'\\')) ++i;
        return i >= text_.size() || text_[i] == u'\n' || text_[i] == u';';
    }

    InfLine ReadDataLine() {
        InfLine line;
        std::vector<std::u16string> fields;
        std::u16string field;
        std::u16string pendingBlanks;  // unquoted blanks inside a field, kept if text follows
        bool started = false;
        bool inQuotes = false;
        std::optional<std::u16string> key;
        const auto append = [&](char16_t c) {
            field += pendingBlanks;
            pendingBlanks.clear();
            field.push_back(c);
            started = true;
        };
        const auto endField = [&] {
            fields.push_back(std::move(field));
            field.clear();
            pendingBlanks.clear();
            started = false;
        };
        while (!AtLineEnd()) {
            const char16_t c = text_[pos_];
            if (inQuotes) {
                if (c == u'"' && pos_ + 1 < text_.size() && text_[pos_ + 1] == u'"') {
                    append(u'"');
                    pos_ += 2;
                    continue;
                }
                if (c == u'"') {
                    inQuotes = false;
                } else {
                    append(c);
                }
                ++pos_;
                continue;
            }
            if (c == u'"') {
                field += pendingBlanks;
                pendingBlanks.clear();
                started = true;
                inQuotes = true;
            } else if (c == u';') {
                SkipToLineEnd();
                break;
            } else if (c == u'\\' && ContinuesLine(pos_)) {
                SkipToLineEnd();
                if (pos_ >= text_.size()) break;
                NextLine();
                ++lineNumber_;
                pendingBlanks.clear();
                SkipBlanks();
                continue;
            } else if (c == u',') {
                endField();
            } else if (c == u'=' && !key && fields.empty()) {
                key = std::move(field);
                field.clear();
                pendingBlanks.clear();
                started = false;
            } else if (IsBlank(c)) {
                if (started) pendingBlanks.push_back(c);
            } else {
                append(c);
            }
            ++pos_;
        }
        NextLine();
        endField();
        line.fields = std::move(fields);
        // A line of one field without '=' is its own key.
        if (key) {
            line.key = std::move(key);
        } else if (line.fields.size() == 1) {
            line.key = line.fields.front();
        }
        return line;
    }

    std::u16string text_;
    std::size_t pos_ = 0;
    UINT lineNumber_ = 0;
    std::size_t current_ = 0;
};

// Puts in %name% from [Strings] and %N% directory ids; "%%" is one '%';
// a name that is not known stays as written. The result is not read again.
std::u16string Substitute(const std::u16string &text,
                          const std::map<std::u16string, std::u16string> &strings,
                          const InfDirIds &dirIds) {
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != u'%') {
            out.push_back(text[i++]);
            continue;
        }
        const auto close = text.find(u'%', i + 1);
        if (close == std::u16string::npos) {
            out.append(text, i, std::u16string::npos);
            break;
        }
        const std::u16string name = text.substr(i + 1, close - i - 1);
        i = close + 1;
        if (name.empty()) {
            out.push_back(u'%');
            continue;
        }
        const auto known = strings.find(LoweredAZ(name));
        if (known != strings.end()) {
            out += known->second;
            continue;
        }
        bool numeric = name.size() < 6;
        for (const char16_t c : name) numeric = numeric && c >= u'0' && c <= u'9';
        const auto folder = numeric ? dirIds.find(std::stoi(ToUtf8(name))) : dirIds.end();
        if (folder == dirIds.end()) {
            out += u'%' + name + u'%';
            continue;
        }
        out += folder->second;
        // A folder that ends in a backslash takes the place of the one after it.
        if (!folder->second.empty() && folder->second.back() == u'\\' && i < text.size() &&
            text[i] == u'\\')
            ++i;
    }
    return out;
}

}  // namespace

const InfSection *InfFile::Section(std::u16string_view name) const {
    for (const auto &section : sections)
        if (EqualsFoldAZ(section.name, name)) return &section;
    return nullptr;
}

const InfLine *InfFile::Line(std::u16string_view section, std::u16string_view key) const {
    const InfSection *found = Section(section);
    if (found == nullptr) return nullptr;
    for (const auto &line : found->lines)
        if (line.key && EqualsFoldAZ(*line.key, key)) return &line;
    return nullptr;
}

std::optional<std::u16string> InfFile::Field(std::u16string_view section, std::u16string_view key,
                                             std::size_t index) const {
    const InfLine *line = Line(section, key);
    if (line == nullptr || index == 0 || index > line->fields.size()) return std::nullopt;
    return line->fields[index - 1];
}

bool InfFile::HasWin4Signature() const {
    const auto signature = Field(u"Version", u"Signature", 1);
    if (!signature) return false;
    for (const char16_t *known : {u"$Windows NT$", u"$Chicago$", u"$Windows 95$"})
        if (EqualsFoldAZ(*signature, known)) return true;
    return false;
}

InfParse ParseInf(std::string_view bytes, const InfDirIds &dirIds) {
    InfParse parse = Reader(Decode(bytes)).Read();
    if (parse.error) return parse;
    std::map<std::u16string, std::u16string> strings;
    if (const InfSection *section = parse.file.Section(u"Strings"))
        for (const auto &line : section->lines)
            if (line.key && !line.fields.empty())
                strings.emplace(LoweredAZ(*line.key), line.fields.front());
    for (auto &section : parse.file.sections) {
        if (EqualsFoldAZ(section.name, u"Strings")) continue;
        for (auto &line : section.lines) {
            if (line.key) line.key = Substitute(*line.key, strings, dirIds);
            for (auto &field : line.fields) field = Substitute(field, strings, dirIds);
        }
    }
    return parse;
}

}  // namespace cvl::sim

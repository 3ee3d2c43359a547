// A small strict JSON reader for the tests of the host tools' JSON reports:
// it refuses what a real parser would refuse (raw control characters in
// strings, bad escapes, invalid UTF-8, trailing text), so a test that reads
// a report back also checks that the report is JSON at all.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"

namespace cvl::test {

struct JsonValue {
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
    Kind kind = Kind::kNull;
    bool boolean = false;
    double number = 0;
    std::string text;  // UTF-8
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;  // in document order

    const JsonValue &operator[](std::string_view name) const {
        for (const auto &[memberName, value] : members)
            if (memberName == name) return value;
        static const JsonValue missing{};
        return missing;
    }
    bool Has(std::string_view name) const {
        for (const auto &member : members)
            if (member.first == name) return true;
        return false;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const JsonValue &item : items) texts.push_back(item.text);
        return texts;
    }
};

class JsonReader {
public:
    // The value of a whole document, or nothing with `error` set.
    static std::optional<JsonValue> Parse(std::string_view document, std::string &error) {
        JsonReader reader(document);
        JsonValue value;
        if (!reader.Value(value, 0)) {
            error = reader.error_ + " at byte " + std::to_string(reader.at_);
            return std::nullopt;
        }
        reader.Blanks();
        if (reader.at_ != document.size()) {
            error = "text after the document at byte " + std::to_string(reader.at_);
            return std::nullopt;
        }
        return value;
    }

private:
    explicit JsonReader(std::string_view text) : text_(text) {}

    bool Fail(std::string message) {
        error_ = std::move(message);
        return false;
    }
    void Blanks() {
        while (at_ < text_.size() && std::string_view(" \t\r\n").find(text_[at_]) != npos) ++at_;
    }
    bool Literal(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return Fail("bad literal");
        at_ += word.size();
        return true;
    }

    bool Value(JsonValue &value, int depth) {
        if (depth > 64) return Fail("too deep");
        Blanks();
        if (at_ >= text_.size()) return Fail("document ends early");
        const char c = text_[at_];
        if (c == '{') return Object(value, depth);
        if (c == '[') return Array(value, depth);
        if (c == '"') {
            value.kind = JsonValue::Kind::kString;
            return String(value.text);
        }
        if (c == 't' || c == 'f') {
            value.kind = JsonValue::Kind::kBool;
            value.boolean = c == 't';
            return Literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') return Literal("null");
        return Number(value);
    }

    bool Number(JsonValue &value) {
        const std::size_t start = at_;
        if (at_ < text_.size() && text_[at_] == '-') ++at_;
        const std::size_t digits = at_;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
        if (at_ == digits) return Fail("not a value");
        if (text_[digits] == '0' && at_ - digits > 1) return Fail("leading zero");
        value.kind = JsonValue::Kind::kNumber;
        value.number = std::stod(std::string(text_.substr(start, at_ - start)));
        return true;
    }

    bool Array(JsonValue &value, int depth) {
        value.kind = JsonValue::Kind::kArray;
        ++at_;
        Blanks();
        if (at_ < text_.size() && text_[at_] == ']') return ++at_, true;
        for (;;) {
            value.items.emplace_back();
            if (!Value(value.items.back(), depth + 1)) return false;
            Blanks();
            if (at_ >= text_.size()) return Fail("array not closed");
            if (text_[at_++] == ']') return true;
            if (text_[at_ - 1] != ',') return Fail("expected , or ]");
        }
    }

    bool Object(JsonValue &value, int depth) {
        value.kind = JsonValue::Kind::kObject;
        ++at_;
        Blanks();
        if (at_ < text_.size() && text_[at_] == '}') return ++at_, true;
        for (;;) {
            Blanks();
            std::string name;
            if (at_ >= text_.size() || text_[at_] != '"') return Fail("expected a member name");
            if (!String(name)) return false;
            if (value.Has(name)) return Fail("member " + name + " twice");
            Blanks();
            if (at_ >= text_.size() || text_[at_++] != ':') return Fail("expected :");
            JsonValue member;
            if (!Value(member, depth + 1)) return false;
            value.members.emplace_back(name, std::move(member));
            Blanks();
            if (at_ >= text_.size()) return Fail("object not closed");
            if (text_[at_++] == '}') return true;
            if (text_[at_ - 1] != ',') return Fail("expected , or }");
        }
    }

    bool Hex4(std::uint32_t &unit) {
        if (at_ + 4 > text_.size()) return Fail("short \\u escape");
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            unit <<= 4;
            if (c >= '0' && c <= '9')
                unit |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                unit |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                unit |= static_cast<std::uint32_t>(c - 'A' + 10);
            else
                return Fail("bad \\u escape");
        }
        return true;
    }

    bool String(std::string &out) {
        ++at_;
        std::u16string units;
        while (at_ < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') {
                ++at_;
                out = ToUtf8(units);
                return true;
            }
            if (c < 0x20) return Fail("raw control character in a string");
            if (c == '\\') {
                if (++at_ >= text_.size()) return Fail("string not closed");
                const char escape = text_[at_++];
                const std::string_view simple = "\"\\/bfnrt";
                const std::string_view meaning = "\"\\/\b\f\n\r\t";
                if (const std::size_t which = simple.find(escape); which != npos) {
                    units.push_back(static_cast<char16_t>(meaning[which]));
                } else if (escape == 'u') {
                    std::uint32_t unit = 0;
                    if (!Hex4(unit)) return false;
                    units.push_back(static_cast<char16_t>(unit));
                } else {
                    return Fail("bad escape");
                }
                continue;
            }
            const std::size_t start = at_;
            const std::optional<std::uint32_t> codePoint = NextUtf8CodePoint(text_, at_);
            if (!codePoint) return Fail("invalid UTF-8");
            units += FromUtf8(text_.substr(start, at_ - start));
        }
        return Fail("string not closed");
    }

    static constexpr std::size_t npos = std::string_view::npos;
    std::string_view text_;
    std::size_t at_ = 0;
    std::string error_;
};

}  // namespace cvl::test

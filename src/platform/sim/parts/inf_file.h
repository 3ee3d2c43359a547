// An INF file as SetupAPI reads it: sections merged by name, each line with
// its key (when it has one) and its fields, quotes removed and %strings%
// already put in. The reader follows the rules of Windows-4-style INF files
// and the answers Windows gives for odd input (lines before any section,
// unclosed section names, continuations, quotes inside words).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace cvl::sim {

struct InfLine {
    std::optional<std::u16string> key;
    std::vector<std::u16string> fields;  // field 1 first
};

struct InfSection {
    std::u16string name;
    std::vector<InfLine> lines;
};

struct InfFile {
    // Sections in the order their names first appear.
    std::vector<InfSection> sections;

    const InfSection *Section(std::u16string_view name) const;
    // The first line of a section with this key (case folded).
    const InfLine *Line(std::u16string_view section, std::u16string_view key) const;
    // Field `index` (1 = the first after '=') of that line.
    std::optional<std::u16string> Field(std::u16string_view section, std::u16string_view key,
                                        std::size_t index) const;
    // "$Windows NT$", "$Chicago$" or "$Windows 95$" as the [Version] signature.
    bool HasWin4Signature() const;
};

struct InfParse {
    win::DWORD error = 0;
    win::UINT errorLine = 0;  // 1-based line of a syntax error
    InfFile file;
};

// The directory ids an INF may name as %N%, with the folders they stand for.
using InfDirIds = std::map<int, std::u16string>;

// Reads the bytes of an INF file: UTF-16LE with its byte-order mark, UTF-8
// with its mark, or 8-bit text.
InfParse ParseInf(std::string_view bytes, const InfDirIds &dirIds);

}  // namespace cvl::sim

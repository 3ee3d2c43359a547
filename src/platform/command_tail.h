// The Windows convention for a program's command line: the program's own
// name comes first, quoted or not, and the program's arguments are what
// follows it. A GUI program's entry receives only that tail.
#pragma once

#include <cstddef>
#include <string_view>

namespace cvl {

// What follows the program's name on `commandLine`, after the blanks and
// control characters that separate the two. A quoted name ends at its
// closing quote, even when no blank follows; an unclosed quote takes the
// whole line.
inline std::u16string_view CommandTailOf(std::u16string_view commandLine) {
    std::size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == u'"') {
        const std::size_t close = commandLine.find(u'"', 1);
        at = close == std::u16string_view::npos ? commandLine.size() : close + 1;
    } else {
        while (at < commandLine.size() && commandLine[at] > u' ') ++at;
    }
    while (at < commandLine.size() && commandLine[at] <= u' ') ++at;
    return commandLine.substr(at);
}

}  // namespace cvl

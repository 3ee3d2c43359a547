// The options of the command line, one row each, in the order in which a
// token is compared with them. The first row whose name equals the token
// applies; its values are the tokens that follow it. The family switches
// are the family table's (family/family_table.h) and take no values.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "common/text.h"
#include "options/install_options.h"
#include "platform/platform.h"
#include "run/run_state.h"

namespace cvl {

// One blank-separated piece of the command-line text, edited where it lies.
using CommandToken = std::span<char16_t>;
using OptionValues = std::span<const CommandToken>;

enum class OptionOutcome {
    Accepted,
    Rejected,         // the command line is refused; the remaining tokens are still read
    RejectedAndStop,  // the command line is refused and nothing after this option is read
};

struct OptionContext {
    Platform &platform;
    InstallOptions &options;
    RunState &state;
};

using OptionHandler = OptionOutcome (*)(OptionContext &context, OptionValues values);

struct OptionRow {
    std::u16string_view name;
    std::size_t valueCount;
    OptionHandler handler;
};

std::span<const OptionRow> CommandLineOptions();

inline std::u16string_view TokenText(CommandToken token) {
    return {token.data(), token.size()};
}

// Folds only A to Z, where the token lies in the command-line text.
inline void LowerInPlace(CommandToken token) {
    LowerAZ(token);
}

}  // namespace cvl

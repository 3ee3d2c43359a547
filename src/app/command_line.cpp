#include "app/command_line.h"

#include <vector>

#include "app/option_table.h"
#include "common/hardware_id_layout.h"
#include "common/text.h"
#include "family/family_table.h"

namespace cvl {
namespace {

// Only U+0020 separates; a run of blanks is one separator, and there is no
// quoting, so a value can never hold a blank.
std::vector<CommandToken> SplitAtBlanks(std::u16string &text) {
    std::vector<CommandToken> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == u' ') {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < text.size() && text[i] != u' ') ++i;
        tokens.emplace_back(text.data() + start, i - start);
    }
    return tokens;
}

const OptionRow *FindOption(std::u16string_view token) {
    for (const auto &row : CommandLineOptions())
        if (EqualsFoldAZ(token, row.name)) return &row;
    return nullptr;
}

}  // namespace

void ResetCommandLineLists(RunState &state) {
    state.parameters = {};
    state.oemFragments = {};
    state.checkFragments = {};
    state.ids = {};
    for (auto &slot : state.ids.OemHardwareIds) StoreInSlot(slot, kEmptyPciHardwareId);
    for (auto &slot : state.ids.CheckHardwareIds) StoreInSlot(slot, kEmptyPciHardwareId);
    StoreInSlot(state.QueryDeviceId, kInitialQueryDeviceId);
    state.nicIdGiven = false;
    state.nicIdText = {};
}

bool ParseCommandLine(Platform &platform, std::u16string &text, InstallOptions &options,
                      RunState &state) {
    options = InstallOptions{};
    ResetCommandLineLists(state);

    const std::vector<CommandToken> tokens = SplitAtBlanks(text);
    OptionContext context{platform, options, state};
    bool acceptable = true;
    std::size_t next = 0;
    while (next < tokens.size()) {
        const CommandToken token = tokens[next++];
        LowerInPlace(token);
        if (const FamilyRow *family = FamilyRowOfSwitch(TokenText(token))) {
            options.families.Add(family->family);
            continue;
        }
        const OptionRow *option = FindOption(TokenText(token));
        if (option == nullptr) {
            acceptable = false;
            continue;
        }
        // Too few tokens left: every one of them would be a value, so there is
        // nothing more to read.
        if (tokens.size() - next < option->valueCount) return false;
        const OptionValues values{tokens.data() + next, option->valueCount};
        next += option->valueCount;
        switch (option->handler(context, values)) {
            case OptionOutcome::Accepted:
                break;
            case OptionOutcome::Rejected:
                acceptable = false;
                break;
            case OptionOutcome::RejectedAndStop:
                return false;
        }
    }
    return acceptable;
}

}  // namespace cvl

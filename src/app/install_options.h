// The parsed command line: one record per run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/action_code.h"

namespace cvl {

struct InstallOptions {
    ActionCode action = ActionNone;
    bool infPathGiven = false;
    std::optional<std::u16string> infPath;
    std::optional<std::u16string> selfDeleteProcessId;
    std::optional<std::u16string> selfDeleteTarget;
    std::optional<std::vector<std::uint8_t>> savedSigningPolicy;
    bool vistaB701 = false;
    bool vistaB703 = false;
    bool b702 = false;
    bool b701 = false;
    bool b703 = false;
    bool vistaB760 = false;
    bool vdevQ2dp = false;
    bool vistaB761 = false;
    bool vistaB762 = false;
    bool vistaB76x = false;
    bool x86 = false;
    bool x64 = false;
    bool highPerformance = false;
    bool ncfi = false;
    bool debugLog = false;
    bool uninstallerMode = false;
    bool selfDeleteArgsGiven = false;
    bool betaDriver = false;
    bool silent = false;
    bool keepNewDriver = false;
};

// True when at least one flag of the per-family group is set; the legacy
// group ("/b701", "/b702", "/b703") runs the older flows.
inline bool AnyPerFamilyFlag(const InstallOptions &options) {
    return options.vistaB701 || options.vistaB703 || options.vistaB760 || options.vistaB761 ||
           options.vistaB762 || options.vistaB76x;
}

}  // namespace cvl

// The parsed command line: one record per run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "family/family_set.h"
#include "options/action_code.h"

namespace cvl {

struct InstallOptions {
    ActionCode action = ActionNone;
    bool infPathGiven = false;
    std::optional<std::u16string> infPath;
    std::optional<std::u16string> selfDeleteProcessId;
    std::optional<std::u16string> selfDeleteTarget;
    std::optional<std::vector<std::uint8_t>> savedSigningPolicy;
    // The families the family switches turn on.
    FamilySet families;
    // "/b703": the PCI family's adapter of "/b701" is the B703.
    bool b703 = false;
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

}  // namespace cvl

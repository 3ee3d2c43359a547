// The parsed command line: one record per run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cvl {

enum ActionCode : std::uint32_t {
    ActionNone = 0,
    ActionInstall = 1,
    ActionUninstall = 2,
    ActionRecordVersion = 3,
    ActionRunPnputil = 4,
    ActionDisable = 5,
    ActionEnable = 6,
    ActionRestart = 7,
    ActionCheckPresence = 8,
    ActionSetParameters = 9,
    ActionSelfDelete = 10,
    ActionRescan = 11,
    ActionQueryDevice = 12,
};

// Flags are 0 or 1, as the other setup software that reads this program's
// behaviour expects of them.
struct InstallOptions {
    std::uint32_t action = ActionNone;
    std::uint32_t infPathGiven = 0;
    std::optional<std::u16string> infPath;
    std::optional<std::u16string> selfDeleteProcessId;
    std::optional<std::u16string> selfDeleteTarget;
    std::optional<std::vector<std::uint8_t>> savedSigningPolicy;
    std::uint32_t vistaB701 = 0;
    std::uint32_t vistaB703 = 0;
    std::uint32_t b702 = 0;
    std::uint32_t b701 = 0;
    std::uint32_t b703 = 0;
    std::uint32_t vistaB760 = 0;
    std::uint32_t vdevQ2dp = 0;
    std::uint32_t vistaB761 = 0;
    std::uint32_t vistaB762 = 0;
    std::uint32_t vistaB76x = 0;
    std::uint32_t x86 = 0;
    std::uint32_t x64 = 0;
    std::uint32_t highPerformance = 0;
    std::uint32_t ncfi = 0;
    std::uint32_t debugLog = 0;
    std::uint32_t uninstallerMode = 0;
    std::uint32_t selfDeleteArgsGiven = 0;
    std::uint32_t betaDriver = 0;
    std::uint32_t silent = 0;
    std::uint32_t keepNewDriver = 0;
};

// True when at least one flag of the per-family group is set; the legacy
// group ("/b701", "/b702", "/b703") runs the older flows.
inline bool AnyPerFamilyFlag(const InstallOptions &options) {
    return options.vistaB701 || options.vistaB703 || options.vistaB760 || options.vistaB761 ||
           options.vistaB762 || options.vistaB76x;
}

}  // namespace cvl

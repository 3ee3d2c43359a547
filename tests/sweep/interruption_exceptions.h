// Where a run cut short cannot be made good by a second whole run, because
// of the order of the program's own steps: which scenarios, which cuts,
// what differs from one uninterrupted run and why. Nothing else may differ.
#pragma once

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sweep/sweep_exceptions.h"
#include "sweep/sweep_run.h"

namespace cvl::test {

using Trace = std::vector<Op>;

// The place of an operation's first or last call in a trace, from 1; 0 when
// it is not called.
inline std::size_t FirstCall(const Trace &trace, Op operation) {
    const auto found = std::find(trace.begin(), trace.end(), operation);
    return found == trace.end() ? 0 : static_cast<std::size_t>(found - trace.begin()) + 1;
}

inline std::size_t LastCall(const Trace &trace, Op operation) {
    const auto found = std::find(trace.rbegin(), trace.rend(), operation);
    return found == trace.rend() ? 0 : static_cast<std::size_t>(trace.rend() - found);
}

inline std::size_t NextCall(const Trace &trace, Op operation, std::size_t after) {
    for (std::size_t k = after + 1; k <= trace.size(); ++k)
        if (trace[k - 1] == operation) return k;
    return 0;
}

struct KnownGap {
    const char *why;
    std::vector<std::string> scenarios;
    std::optional<sim::Interruption> only;
    // The cuts (after call k, first to last) that leave it.
    std::function<std::pair<std::size_t, std::size_t>(const Trace &)> cuts;
    // Lines of DiffSnapshots(uninterrupted, interrupted then run again).
    std::vector<std::string_view> differences;
};

// The installs that update an adapter.
inline const std::vector<std::string> kUpdatingInstalls = {
    "InstallPciExpress",    "InstallPci",     "InstallUsbB760",
    "InstallUsbB762",       "InstallUsbB76x", "InstallLegacyPciExpress",
    "InstallBetaDriverOnXp"};

// The uninstalls that delete the program afterwards.
inline const std::vector<std::string> kUninstallers = {"Uninstaller", "SilentUninstallerWithLog"};

// Every scenario, for the gaps of steps that every run takes.
inline std::vector<std::string> AllScenarioNames() {
    std::vector<std::string> names;
    for (const Scenario &scenario : SweepScenarios()) names.push_back(scenario.name);
    return names;
}

// The cut after the call before the n-th rename: after the fresh file under
// a name of its own was made, before it took the fixed name.
inline std::pair<std::size_t, std::size_t> BeforeRename(const Trace &trace, bool last) {
    const std::size_t rename =
        last ? LastCall(trace, Op::MoveFileExW) : FirstCall(trace, Op::MoveFileExW);
    if (rename == 0) return {0, 0};
    return {rename - 1, rename - 1};
}

inline const std::vector<KnownGap> &KnownGaps() {
    static const std::vector<KnownGap> gaps = {
        {"A run cut between making its log under a fresh name and renaming it to the log's "
         "name: the empty fresh file stays, under a name no later run can know.",
         AllScenarioNames(),
         std::nullopt,
         [](const Trace &trace) { return BeforeRename(trace, false); },
         {"+ file C:\\setup\\InstallLog.txt.*.new (0 bytes)",
          "+ file C:\\INST.TXT.*.new (0 bytes)"}},
        {"The same for \"Completed.txt\", made fresh the same way after the adapter was "
         "switched.",
         {"RestartAdapter"},
         std::nullopt,
         [](const Trace &trace) { return BeforeRename(trace, true); },
         {"+ file C:\\setup\\Completed.txt.*.new (0 bytes)"}},
        {"An install cut after a device update and before its status key is written: the "
         "second run finds the package's version installed and ends with 12, so the status "
         "key (and the legacy flow's card record) stays unwritten.",
         kUpdatingInstalls,
         std::nullopt,
         [](const Trace &trace) {
             return std::make_pair(FirstCall(trace, Op::UpdateDriverForPlugAndPlayDevicesW),
                                   LastCall(trace, Op::RegSetValueExW) - 1);
         },
         {"- key HKLM\\SOFTWARE\\Corvane*", "- value HKLM\\SOFTWARE\\Corvane\\*",
          "- value HKLM\\SOFTWARE\\CVLSetup\\*\\CardFound: *"}},
        {"The same second run switches nothing on: an install cut after a device update and "
         "before its last step switched the updated adapters on again leaves the adapters it "
         "had switched off, off.",
         kUpdatingInstalls,
         std::nullopt,
         [](const Trace &trace) {
             return std::make_pair(FirstCall(trace, Op::UpdateDriverForPlugAndPlayDevicesW),
                                   LastCall(trace, Op::SetupDiCallClassInstaller) - 1);
         },
         {"~ device *: started -> disabled"}},
        {"\"/betadrv\" cut between relaxing the driver-signing policy and putting it back: "
         "the second run saves the relaxed value as the one to put back.",
         {"InstallBetaDriverOnXp"},
         std::nullopt,
         [](const Trace &trace) {
             return std::make_pair(FirstCall(trace, Op::RegSetValueExW),
                                   LastCall(trace, Op::RegSetValueExW) - 1);
         },
         {"~ value HKLM\\SOFTWARE\\Microsoft\\Driver Signing\\Policy: *",
          "~ value HKCU\\Software\\Microsoft\\Driver Signing\\Policy: *"}},
        {"The B760 uninstall on the NT kinds cut between removing the adapter and deleting "
         "its files: the removed adapter was the only way to its INF and driver file.",
         {"UninstallB760OnWindows7"},
         std::nullopt,
         [](const Trace &trace) {
             return std::make_pair(FirstCall(trace, Op::SetupDiCallClassInstaller),
                                   LastCall(trace, Op::DeleteFileW) - 1);
         },
         {"+ file C:\\Windows\\INF\\oem12.*", "+ file C:\\Windows\\system32\\*\\CVLB760.sys*"}},
        {"An uninstall cut between deleting a connection's \"Connection\" subkey, which "
         "names the adapter, and the connection's own key: the second run cannot tell "
         "whose connection the empty key was, and it stays.",
         {"UninstallPciExpress", "UninstallLegacy", "UninstallB760OnWindows7",
          "UninstallB760OnWindowsMe", "UninstallUsbB762", "UninstallUsbB76x", "Uninstaller",
          "SilentUninstallerWithLog"},
         std::nullopt,
         [](const Trace &trace) {
             return std::make_pair(FirstCall(trace, Op::RegDeleteKeyW),
                                   LastCall(trace, Op::RegDeleteKeyW) - 1);
         },
         {"+ key HKLM\\SYSTEM\\CurrentControlSet\\Control\\Network\\"
          "{4d36e972-e325-11ce-bfc1-08002be10318}\\{5A1C3E2B-*}",
          "+ key HKLM\\SYSTEM\\CurrentControlSet\\Control\\Network\\"
          "{4d36e972-e325-11ce-bfc1-08002be10318}\\{7B2D4F60-*}"}},
        {"The self-deletion killed between copying the program to the temporary folder "
         "and opening the copy to be deleted on close: the copy stays.",
         kUninstallers,
         sim::Interruption::kKill,
         [](const Trace &trace) {
             const std::size_t copy = LastCall(trace, Op::CopyFileW);
             return std::make_pair(copy, NextCall(trace, Op::CreateFileW, copy) - 1);
         },
         {"+ file C:\\Users\\user\\AppData\\Local\\Temp\\*.exe (*"}},
        {"The self-deletion cut by a power loss after copying the program to the temporary "
         "folder: the delete-on-close that takes the copy away lives in the open handles, "
         "and the running copy's own image, until the copy has ended; a power loss forgets "
         "it and the copy stays.",
         kUninstallers,
         sim::Interruption::kPowerLoss,
         [](const Trace &trace) {
             return std::make_pair(LastCall(trace, Op::CopyFileW), trace.size());
         },
         {"+ file C:\\Users\\user\\AppData\\Local\\Temp\\*.exe (*"}},
        {"Every start of the temporary copy marks its own path for the compatibility "
         "assistant, and the copy is named at random: a run cut after the copy started "
         "leaves the mark of a copy of another name than the uninterrupted run's.",
         kUninstallers,
         std::nullopt,
         [](const Trace &trace) { return std::make_pair(std::size_t{1}, trace.size()); },
         {"+ value HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\"
          "Compatibility Assistant\\Persisted\\C:\\Users\\user\\AppData\\Local\\Temp\\*.exe: *",
          "- value HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\"
          "Compatibility Assistant\\Persisted\\C:\\Users\\user\\AppData\\Local\\Temp\\*.exe: *"}},
    };
    return gaps;
}

// True when every difference is one a known gap leaves at this cut.
inline bool KnownDivergence(const Scenario &scenario, sim::Interruption how, const Trace &trace,
                            std::size_t k, const std::vector<std::string> &differences) {
    return std::all_of(differences.begin(), differences.end(), [&](const std::string &line) {
        for (const KnownGap &gap : KnownGaps()) {
            if (std::find(gap.scenarios.begin(), gap.scenarios.end(), scenario.name) ==
                gap.scenarios.end())
                continue;
            if (gap.only && *gap.only != how) continue;
            const auto [first, last] = gap.cuts(trace);
            if (first == 0 || k < first || k > last) continue;
            for (std::string_view pattern : gap.differences)
                if (MatchesLine(pattern, line)) return true;
        }
        return false;
    });
}

}  // namespace cvl::test

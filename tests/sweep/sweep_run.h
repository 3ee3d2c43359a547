// One run of a sweep scenario on a seeded machine, with at most one failing
// call or one interruption, and what the sweep reads back from it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "machine_image/machine_image_snapshot.h"
#include "sweep/sweep_scenarios.h"

namespace cvl::test {

struct SeededMachine {
    std::unique_ptr<sim::SimulatedPlatform> machine = std::make_unique<sim::SimulatedPlatform>();
    OwnedThings owned;
    image::MachineSnapshot before;
};

// Seeding is the same every time: the snapshot of the first seeding can
// stand for the others.
inline SeededMachine Seed(const Scenario &scenario, const SeededMachine *first = nullptr) {
    SeededMachine seeded;
    scenario.seed(*seeded.machine, seeded.owned);
    if (first != nullptr) {
        seeded.before = first->before;
        return seeded;
    }
    std::string error;
    EXPECT_TRUE(image::TakeSnapshot(*seeded.machine, seeded.before, error)) << error;
    return seeded;
}

// At most one of the two.
struct SweepFault {
    std::optional<sim::FaultRule> rule;
    std::optional<std::uint64_t> stopAfter;
    sim::Interruption interruption = sim::Interruption::kKill;
};

struct SweepRun {
    DWORD exitCode = 0;
    // What changed against the seeded machine, the install log left out.
    std::vector<std::string> changes;
    image::MachineSnapshot after;
    // Handles and LocalAlloc blocks still held when a process's run
    // returned, the most of any process of the run.
    std::size_t heldHandles = 0;
    std::size_t heldBlocks = 0;
    std::optional<std::string> log;  // the install log, when the run opened it
    std::vector<PlatformOperation> trace;
};

inline bool IsInstallLog(std::u16string_view path) {
    const std::u16string folded = sim::FoldedName(path);
    return folded.ends_with(u"\\installlog.txt") || folded.ends_with(u"\\inst.txt");
}

inline std::vector<std::string> WithoutInstallLog(const std::vector<std::string> &changes) {
    std::vector<std::string> kept;
    for (const std::string &line : changes)
        if (!(line.substr(2).starts_with("file ") && IsInstallLog(ChangedThing(line))))
            kept.push_back(line);
    return kept;
}

inline SweepRun RunOn(sim::SimulatedPlatform &machine, const image::MachineSnapshot &before,
                      std::u16string_view tail, const SweepFault &fault = {}) {
    SweepRun run;
    const std::size_t opensBefore = machine.Setup().FilesOpenedForWriting().size();
    machine.Setup().TraceCalls();
    if (fault.rule) machine.Setup().Fail(*fault.rule);
    if (fault.stopAfter) machine.Setup().StopAfter(*fault.stopAfter, fault.interruption);
    const auto noteHeld = [&run, &machine] {
        run.heldHandles = std::max(run.heldHandles, machine.Setup().OpenHandleCount());
        run.heldBlocks = std::max(run.heldBlocks, machine.Setup().OutstandingAllocations());
    };
    DWORD code = RunInstaller(machine, tail);
    if (const auto ended = machine.Setup().ExitProcessCode()) code = *ended;
    noteHeld();
    const sim::ProgramEntry child = [&noteHeld](Platform &platform, std::u16string childTail) {
        const DWORD childCode = RunInstaller(platform, childTail);
        noteHeld();
        return childCode;
    };
    machine.Setup().FinishInterruptedRun(code, child);
    machine.Setup().ClearFaults();
    run.exitCode = code;
    run.trace = machine.Setup().CallTrace();

    const auto &opened = machine.Setup().FilesOpenedForWriting();
    for (std::size_t index = opensBefore; index < opened.size(); ++index)
        if (IsInstallLog(opened[index])) run.log = machine.Setup().ReadFileContents(opened[index]);

    std::string error;
    EXPECT_TRUE(image::TakeSnapshot(machine, run.after, error)) << error;
    run.changes = WithoutInstallLog(image::DiffSnapshots(before, run.after));
    return run;
}

// The rule that makes the k-th call of a traced run (from 1) fail with
// `error`: its operation's n-th call.
inline sim::FaultRule RuleForCall(const std::vector<PlatformOperation> &trace, std::size_t k,
                                  DWORD error) {
    sim::FaultRule rule;
    rule.operation = trace[k - 1];
    rule.error = error;
    rule.nth = static_cast<std::uint32_t>(
        std::count(trace.begin(), trace.begin() + static_cast<std::ptrdiff_t>(k), rule.operation));
    rule.remaining = 1;
    return rule;
}

// Which of a scenario's calls the sweeps cut or fail: every one, unless the
// build asks for every `stride`-th only, the same ones each time (the plain
// host build does; the sanitizer build takes them all).
inline std::size_t SweepStride() {
#ifdef CVL_SWEEP_STRIDE
    return CVL_SWEEP_STRIDE;
#else
    return 1;
#endif
}

inline std::string LastLine(const std::string &log) {
    const std::vector<std::string> lines = LogLines(log);
    return lines.empty() ? "" : lines.back();
}

}  // namespace cvl::test

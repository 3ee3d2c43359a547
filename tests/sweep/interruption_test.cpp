// A run cut short after any of its calls, as a killed process or as a power
// loss, and then run again in full on the same machine, must leave the
// machine as one uninterrupted run does (the install log and the clock
// aside), but where the order of the steps cannot allow it; those places
// are named below with what differs and why.
#include <gtest/gtest.h>

#include <iostream>

#include "sweep/interruption_exceptions.h"
#include "sweep/sweep_run.h"

namespace cvl::test {
namespace {

class InterruptedRuns : public ::testing::TestWithParam<Scenario> {};

TEST_P(InterruptedRuns, ConvergeOnASecondWholeRun) {
    const Scenario &scenario = GetParam();
    const SeededMachine clean = Seed(scenario);
    const SweepRun whole = RunOn(*clean.machine, clean.before, scenario.tail);
    ASSERT_EQ(whole.exitCode, scenario.expectedExitCode);
    const std::size_t calls = whole.trace.size();
    std::size_t runs = 0;
    std::size_t findings = 0;
    for (const sim::Interruption how : {sim::Interruption::kKill, sim::Interruption::kPowerLoss}) {
        for (std::size_t k = 1; k < calls; k += SweepStride()) {
            SeededMachine seeded = Seed(scenario, &clean);
            SweepFault stop;
            stop.stopAfter = k;
            stop.interruption = how;
            RunOn(*seeded.machine, seeded.before, scenario.tail, stop);
            seeded.machine->Setup().StartProgramAgain();
            const SweepRun second = RunOn(*seeded.machine, seeded.before, scenario.tail);
            runs += 2;
            const std::vector<std::string> differences =
                WithoutInstallLog(image::DiffSnapshots(whole.after, second.after));
            if (differences.empty() || KnownDivergence(scenario, how, whole.trace, k, differences))
                continue;
            if (++findings > 8) continue;
            std::string text;
            for (const auto &line : differences) text += "\n  " + line;
            ADD_FAILURE() << (how == sim::Interruption::kKill ? "killed" : "power lost")
                          << " after call " << k << " (" << whole.trace[k - 1]
                          << "), the second run leaves:" << text;
        }
    }
    std::cout << "[ interrupt] " << scenario.name << ": N = " << calls << ", " << runs << " runs\n";
    EXPECT_EQ(findings, 0u);
}

std::vector<Scenario> InstallsAndUninstalls() {
    std::vector<Scenario> chosen;
    for (const Scenario &scenario : SweepScenarios())
        if (scenario.kind == ActionKind::kInstall || scenario.kind == ActionKind::kUninstall)
            chosen.push_back(scenario);
    return chosen;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, InterruptedRuns, ::testing::ValuesIn(InstallsAndUninstalls()),
                         [](const auto &info) { return info.param.name; });

}  // namespace
}  // namespace cvl::test

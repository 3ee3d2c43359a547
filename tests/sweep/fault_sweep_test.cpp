// Every platform call of every scenario fails in turn, each time with an
// error the call is documented to give; the program must stay correct
// every time: no crash, nothing left held, an exit code its action can end
// with, the exit-code line last in its log, less done rather than other
// things done, and nothing of others deleted or overwritten.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>
#include <sstream>

#include "machine_image/documented_errors.h"
#include "sweep/sweep_exceptions.h"
#include "sweep/sweep_run.h"

namespace cvl::test {
namespace {

using Op = PlatformOperation;

// The calls that give something back: when one of them is the call that
// fails, the one thing it was to give back stays held.
bool ReleasesSomething(Op operation) {
    switch (operation) {
        case Op::RegCloseKey:
        case Op::CloseHandle:
        case Op::FindClose:
        case Op::LocalFree:
        case Op::SetupDiDestroyDeviceInfoList:
        case Op::CloseServiceHandle:
        case Op::CM_Disconnect_Machine:
            return true;
        default:
            return false;
    }
}

// Failures are gathered and the first few told, so that a fault that
// breaks many runs reads as one.
class Findings {
public:
    void Add(std::string finding) {
        ++count_;
        if (told_.size() < 12) told_.push_back(std::move(finding));
    }
    void Report(const std::string &scenario) const {
        if (count_ == 0) return;
        std::string text = scenario + ": " + std::to_string(count_) + " findings, the first:\n";
        for (const auto &finding : told_) text += "  " + finding + "\n";
        ADD_FAILURE() << text;
    }

private:
    std::size_t count_ = 0;
    std::vector<std::string> told_;
};

std::string Describe(std::size_t k, Op operation, DWORD error) {
    std::ostringstream text;
    text << "call " << k << " " << operation << " failing with " << image::ErrorName(error);
    return text.str();
}

void CheckNothingOfOthersTouched(const std::vector<std::string> &changes, const OwnedThings &owned,
                                 const std::string &run, Findings &findings) {
    for (const std::string &line : changes)
        if (DeletesOrOverwrites(line) && !BelongsToProduct(line, owned))
            findings.Add(run + ": touched what is not the product's: " + line);
}

class FaultSweep : public ::testing::TestWithParam<Scenario> {};

TEST_P(FaultSweep, EveryFailingCallLeavesTheProgramCorrect) {
    const Scenario &scenario = GetParam();
    const SeededMachine clean = Seed(scenario);
    const SweepRun whole = RunOn(*clean.machine, clean.before, scenario.tail);
    ASSERT_EQ(whole.exitCode, scenario.expectedExitCode) << whole.log.value_or("(no log)");
    Findings findings;
    CheckNothingOfOthersTouched(whole.changes, clean.owned, "the run without failures", findings);
    const std::set<std::string> wholeChanges(whole.changes.begin(), whole.changes.end());
    const std::vector<DWORD> allowedCodes = AllowedExitCodes(scenario.kind);

    const std::size_t calls = whole.trace.size();
    std::size_t runs = 0;
    for (std::size_t k = 1; k <= calls; k += SweepStride()) {
        const Op operation = whole.trace[k - 1];
        const auto errors = image::DocumentedErrors(operation);
        if (errors.empty()) continue;
        const DWORD error = errors[k % errors.size()];
        const std::string run = Describe(k, operation, error);
        SeededMachine seeded = Seed(scenario, &clean);
        SweepFault fault;
        fault.rule = RuleForCall(whole.trace, k, error);
        const SweepRun failed = RunOn(*seeded.machine, seeded.before, scenario.tail, fault);
        ++runs;

        if (std::find(allowedCodes.begin(), allowedCodes.end(), failed.exitCode) ==
                allowedCodes.end() &&
            !EndsBeforeTheAction(operation, failed.exitCode))
            findings.Add(run + ": exit code " + std::to_string(failed.exitCode));
        const std::size_t mayHold = ReleasesSomething(operation) ? 1 : 0;
        if (failed.heldHandles > mayHold)
            findings.Add(run + ": " + std::to_string(failed.heldHandles) + " handles held");
        if (failed.heldBlocks > mayHold)
            findings.Add(run + ": " + std::to_string(failed.heldBlocks) + " blocks held");
        if (failed.log && operation != Op::WriteFile) {
            const std::string expected = "Exit code: = " + std::to_string(failed.exitCode);
            if (LastLine(*failed.log) != expected)
                findings.Add(run + ": the log ends with '" + LastLine(*failed.log) + "'");
        }
        for (const std::string &line : failed.changes) {
            if (wholeChanges.count(line) != 0) continue;
            if (AllowedOtherWork(scenario.kind, operation, line)) continue;
            findings.Add(run + ": did what the run without failures does not: " + line);
        }
        CheckNothingOfOthersTouched(failed.changes, seeded.owned, run, findings);
    }
    std::cout << "[ sweep    ] " << scenario.name << ": N = " << calls << ", " << runs
              << " runs with a failing call\n";
    findings.Report(scenario.name);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FaultSweep, ::testing::ValuesIn(SweepScenarios()),
                         [](const auto &info) { return info.param.name; });

}  // namespace
}  // namespace cvl::test

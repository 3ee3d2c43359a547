#include "app/parameter_retry.h"

namespace cvl {
namespace {

constexpr int kMaxPasses = 10;
constexpr DWORD kAfterSuccessMs = 1000;
constexpr DWORD kBetweenPassesMs = 2000;

}  // namespace

void RetryParameterWrites(Platform &platform, RunState &state, ParameterTargets targets,
                          std::span<const DeviceFamily> families) {
    bool passSucceeded = false;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        if (!families.empty()) {
            // Every family is written in every pass; one that failed is not
            // hidden by a later one that succeeded.
            passSucceeded = true;
            for (DeviceFamily family : families)
                if (!CheckDriverSetParameters(platform, state, family, targets))
                    passSucceeded = false;
        }
        if (passSucceeded) {
            platform.Sleep(kAfterSuccessMs);
            return;
        }
        platform.Sleep(kBetweenPassesMs);
    }
}

}  // namespace cvl

#include "app/parameter_retry.h"

#include "device/device_family.h"
#include "device/version_check.h"

namespace cvl {
namespace {

constexpr int kMaxPasses = 10;
constexpr DWORD kAfterSuccessMs = 1000;
constexpr DWORD kBetweenPassesMs = 2000;

}  // namespace

std::vector<std::uint8_t> SelectedPerFamilyFamilies(const InstallOptions &options) {
    std::vector<std::uint8_t> families;
    if (options.vistaB701) families.push_back(FamilyVistaB701);
    if (options.vistaB703) families.push_back(FamilyVistaB703);
    if (options.vistaB760) families.push_back(FamilyVistaB760);
    if (options.vistaB761) families.push_back(FamilyVistaB761);
    if (options.vistaB762) families.push_back(FamilyVistaB762);
    if (options.vistaB76x) families.push_back(FamilyVistaB76x);
    return families;
}

std::vector<std::uint8_t> SelectedLegacyFamilies(const InstallOptions &options) {
    std::vector<std::uint8_t> families;
    if (options.b701) families.push_back(options.b703 ? FamilyVistaB703 : FamilyPci);
    if (options.b702) families.push_back(FamilyPcie);
    return families;
}

void RetryParameterWrites(Platform &platform, RunState &state, const InstallOptions &options,
                          const std::vector<std::uint8_t> &families) {
    int passResult = 0;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        if (!families.empty()) {
            // Every family is written in every pass; one that failed is not
            // hidden by a later one that succeeded.
            passResult = 1;
            for (std::uint8_t family : families)
                if (CheckDriverSetParameters(platform, state, family, options) == 0) passResult = 0;
        }
        if (passResult != 0) {
            platform.Sleep(kAfterSuccessMs);
            return;
        }
        platform.Sleep(kBetweenPassesMs);
    }
}

}  // namespace cvl

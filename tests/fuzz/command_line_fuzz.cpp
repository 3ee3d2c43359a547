// Feeds arbitrary command lines to the parser and the hardware-id builders
// and checks what must hold for any input: nothing is written outside its
// slot, the lists never pass their limits, and the text changes only where a
// letter A to Z became lower case.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/command_line.h"
#include "app/hardware_id_builders.h"
#include "common/limits.h"
#include "common/text.h"
#include "options/install_options.h"
#include "platform/sim/simulated_platform.h"
#include "run/run_state.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

template <std::size_t N>
void RequireTerminated(const std::array<char16_t, N> &slot) {
    Require(cvl::SlotText(slot).size() < N);
}

// The first byte picks the reported version (for "/betadrv"); the rest is
// UTF-16LE text.
void ParseOnce(const std::uint8_t *data, std::size_t size) {
    cvl::sim::SimulatedPlatform platform;
    if (size > 0) {
        const std::uint8_t pick = data[0];
        platform.Setup().SetVersion(pick & 0x3, (pick >> 2) & 0x7, (pick >> 5) * 5);
        ++data;
        --size;
    }
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    const std::u16string original = text;

    cvl::RunState state{platform};
    cvl::InstallOptions options;
    const bool acceptable = cvl::ParseCommandLine(platform, text, options, state);
    cvl::BuildOemHardwareIds(state);
    cvl::BuildCheckHardwareIds(state);

    Require(text.size() == original.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        Require(text[i] == original[i] || text[i] == cvl::FoldAZ(original[i]));

    Require(options.action <= cvl::ActionQueryDevice);
    Require(state.parameters.count <= cvl::limits::kMaxParameters);
    Require(state.oemFragments.count <= cvl::limits::kMaxOemEntries);
    Require(state.checkFragments.count <= cvl::limits::kMaxCheckEntries);
    Require(state.ids.oemCount == state.oemFragments.count);
    Require(state.ids.checkCount == state.checkFragments.count);
    for (const auto &entry : state.parameters.entries) {
        RequireTerminated(entry.name);
        RequireTerminated(entry.value);
    }
    for (const auto &slot : state.ids.OemHardwareIds) RequireTerminated(slot);
    for (const auto &slot : state.ids.CheckHardwareIds) RequireTerminated(slot);
    RequireTerminated(state.nicIdText);
    RequireTerminated(state.QueryDeviceId);
    Require(!options.infPath || options.infPath->find(u"inf") != std::u16string::npos);
    Require(options.infPathGiven == options.infPath.has_value());
    if (text.empty()) Require(acceptable && options.action == cvl::ActionNone);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    ParseOnce(data, size);
    return 0;
}

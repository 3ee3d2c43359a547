// The INF reader and the package version read on any bytes: the reader must
// never crash or read out of bounds, every field it hands out must fit the
// size it reported, and the version it yields has no leading zeros after the
// first part.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/text.h"
#include "install/driver_package.h"
#include "platform/sim/simulated_platform.h"
#include "run/run_state.h"

namespace {

constexpr char16_t kInfPath[] = u"C:\\setup\\fuzz.inf";

void WalkSection(cvl::Platform &platform, cvl::HINF inf, const char16_t *section) {
    cvl::InfContext context{};
    if (!platform.SetupFindFirstLineW(inf, section, nullptr, &context)) return;
    for (int line = 0; line < 64; ++line) {
        for (cvl::DWORD field = 0; field < 4; ++field) {
            cvl::DWORD required = 0;
            if (!platform.SetupGetStringFieldW(&context, field, nullptr, 0, &required)) continue;
            std::u16string buffer(required, u'\xFFFF');
            cvl::DWORD stored = 0;
            if (!platform.SetupGetStringFieldW(&context, field, buffer.data(),
                                               static_cast<cvl::DWORD>(buffer.size()), &stored))
                std::abort();
            if (stored != required || required == 0 || buffer[required - 1] != u'\0') std::abort();
        }
        if (!platform.SetupFindNextLine(&context, &context)) break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    cvl::sim::SimulatedPlatform machine;
    machine.Setup().AddFile(kInfPath, std::string(reinterpret_cast<const char *>(data), size));

    cvl::UINT errorLine = 0;
    cvl::HINF inf = machine.SetupOpenInfFileW(kInfPath, nullptr, cvl::INF_STYLE_WIN4, &errorLine);
    if (inf != cvl::InvalidHandleValue()) {
        for (const char16_t *section : {u"Version", u"Strings", u"Manufacturer", u"version"})
            WalkSection(machine, inf, section);
        machine.SetupCloseInfFile(inf);
    }

    cvl::RunState state(machine);
    state.PackageInfPath = kInfPath;
    cvl::LoadPackageDriverVersion(machine, state);
    const std::u16string &version = state.PackageDriverVersion;
    if (version.size() > 255) std::abort();
    for (std::size_t i = 1; i + 1 < version.size(); ++i)
        if (version[i - 1] == u'.' && version[i] == u'0' && version[i + 1] != u'.') std::abort();
    if (machine.Setup().OpenHandleCount() != 0) std::abort();
    return 0;
}

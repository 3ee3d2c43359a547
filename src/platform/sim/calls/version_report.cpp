// The version report, in the two record sizes Windows knows.
#include <algorithm>
#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

constexpr BYTE kVerNtWorkstation = 1;

// "Service Pack 6a" -> 6.
WORD ServicePackMajor(std::u16string_view servicePack) {
    const std::size_t digit = servicePack.find_first_of(u"0123456789");
    if (digit == std::u16string_view::npos) return 0;
    WORD value = 0;
    for (std::size_t i = digit;
         i < servicePack.size() && servicePack[i] >= u'0' && servicePack[i] <= u'9'; ++i)
        value = static_cast<WORD>(value * 10 + (servicePack[i] - u'0'));
    return value;
}

// The extended record exists from NT 4.0 with Service Pack 6 on; the 9x
// family and older NT refuse its size.
bool KnowsExtendedRecord(const VersionReport &version) {
    return version.platformId == VER_PLATFORM_WIN32_NT &&
           (version.major >= 5 ||
            (version.major == 4 && ServicePackMajor(version.servicePack) >= 6));
}

}  // namespace

BOOL SimulatedPlatform::DoGetVersionExW(OsVersionInfoEx &info) {
    Machine &m = *machine_;
    const VersionReport &version = m.system.Version();
    const DWORD size = info.dwOSVersionInfoSize;
    const bool extended = size == kOsVersionInfoExSize && KnowsExtendedRecord(version);
    if (size != kOsVersionInfoSize && !extended) return m.FailWith(ERROR_INSUFFICIENT_BUFFER);
    info.dwMajorVersion = version.major;
    info.dwMinorVersion = version.minor;
    // The 9x family keeps its version in the high word of the build number.
    info.dwBuildNumber =
        version.platformId == VER_PLATFORM_WIN32_WINDOWS
            ? (version.major << 24) | (version.minor << 16) | (version.build & 0xFFFF)
            : version.build;
    info.dwPlatformId = version.platformId;
    std::fill(std::begin(info.szCSDVersion), std::end(info.szCSDVersion), u'\0');
    const std::size_t length = std::min<std::size_t>(version.servicePack.size(), 127);
    std::copy_n(version.servicePack.begin(), length, info.szCSDVersion);
    if (extended) {
        info.wServicePackMajor = ServicePackMajor(version.servicePack);
        info.wServicePackMinor = 0;
        info.wSuiteMask = 0;
        info.wProductType = kVerNtWorkstation;
        info.wReserved = 0;
    }
    return TRUE;
}

}  // namespace cvl::sim

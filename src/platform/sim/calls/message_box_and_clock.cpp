// The version report, the clock, the message box and local memory.
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

void SimulatedMachineSetup::SetVersion(DWORD platformId, DWORD major, DWORD minor, DWORD build,
                                       std::u16string servicePack) {
    platform_.machine_->system.SetVersion(
        VersionReport{platformId, major, minor, build, std::move(servicePack)});
}

VersionReport SimulatedMachineSetup::Version() const {
    return platform_.machine_->system.Version();
}

BOOL SimulatedPlatform::GetVersionExW(OsVersionInfoEx &info) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::GetVersionExW)) return m.FailWith(*error);
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

int SimulatedPlatform::MessageBoxW(const char16_t *text, const char16_t *caption, UINT type) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::MessageBoxW)) return m.Fail(*error, 0);
    return m.system.ShowMessageBox(
        MessageBoxRecord{text != nullptr ? text : u"", caption != nullptr ? caption : u"", type});
}

void SimulatedMachineSetup::SetMessageBoxAnswer(int answer) {
    platform_.machine_->system.SetMessageBoxAnswer(answer);
}

const std::vector<MessageBoxRecord> &SimulatedMachineSetup::MessageBoxes() const {
    return platform_.machine_->system.MessageBoxes();
}

void SimulatedPlatform::Sleep(DWORD milliseconds) {
    machine_->Injected(PlatformOperation::Sleep);
    machine_->system.Sleep(milliseconds);
    machine_->devices.Record("sleep " + std::to_string(milliseconds));
}

DWORD SimulatedPlatform::GetTickCount() {
    machine_->Injected(PlatformOperation::GetTickCount);
    return machine_->system.Ticks();
}

BOOL SimulatedPlatform::CryptGenRandom(DWORD length, BYTE *buffer) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::CryptGenRandom)) {
        // A failed call still draws its bytes, so that one failure does not
        // hand the names of later calls on to others: a run with a failure
        // names its files as the run without it does, and the two compare.
        for (DWORD index = 0; index < length; ++index) m.system.NextRandomByte();
        return m.FailWith(*error);
    }
    if (buffer == nullptr && length > 0) return m.FailWith(ERROR_INVALID_PARAMETER);
    for (DWORD index = 0; index < length; ++index) buffer[index] = m.system.NextRandomByte();
    return TRUE;
}

DWORD SimulatedMachineSetup::Now() const {
    return platform_.machine_->system.Ticks();
}

void SimulatedMachineSetup::SetTickCount(DWORD ticks) {
    platform_.machine_->system.SetTicks(ticks);
}

const std::vector<DWORD> &SimulatedMachineSetup::Sleeps() const {
    return platform_.machine_->system.Sleeps();
}

HLOCAL SimulatedPlatform::LocalAlloc(UINT flags, std::size_t bytes) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::LocalAlloc))
        return m.Fail(*error, HLOCAL{nullptr});
    return m.memory.Allocate(flags, bytes);
}

HLOCAL SimulatedPlatform::LocalFree(HLOCAL memory) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::LocalFree)) return m.Fail(*error, memory);
    if (memory == nullptr) return nullptr;
    if (!m.memory.Free(memory)) return m.Fail(ERROR_INVALID_HANDLE, memory);
    return nullptr;
}

}  // namespace cvl::sim

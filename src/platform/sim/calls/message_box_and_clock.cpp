// The message box, the virtual clock and the random bytes.
#include <algorithm>

#include "platform/sim/parts/machine.h"

namespace cvl::sim {
int SimulatedPlatform::DoMessageBoxW(const char16_t *text, const char16_t *caption, UINT type) {
    Machine &m = *machine_;
    return m.system.ShowMessageBox(
        MessageBoxRecord{text != nullptr ? text : u"", caption != nullptr ? caption : u"", type});
}

void SimulatedPlatform::DoSleep(DWORD milliseconds) {
    machine_->system.Sleep(milliseconds);
    machine_->devices.Record("sleep " + std::to_string(milliseconds));
}

DWORD SimulatedPlatform::DoGetTickCount() {
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

}  // namespace cvl::sim

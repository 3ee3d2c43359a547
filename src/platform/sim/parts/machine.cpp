// The parts together: a fresh machine, and the helpers every call uses.
#include "platform/sim/parts/machine.h"
#include "platform/sim/parts/device_registry.h"

namespace cvl::sim {

SimulatedPlatform::Machine::Machine() {
    registry.MakeKey(u"HKLM\\SOFTWARE");
    registry.MakeKey(u"HKLM\\SYSTEM\\CurrentControlSet\\Enum");
    registry.MakeKey(u"HKLM\\SYSTEM\\CurrentControlSet\\Services");
    registry.MakeKey(DriverKeyPath(kNetClassGuidText))
        ->SetValue(u"Class", RegValue{REG_SZ, {'N', 0, 'e', 0, 't', 0, 0, 0}});
    registry.MakeKey(u"HKCU\\Software");
}

BOOL SimulatedPlatform::Machine::FailWith(DWORD error) {
    lastError = error;
    return FALSE;
}

void SimulatedPlatform::Machine::Close(const void *handle) {
    if (const auto object = handles.Remove(handle)) files.Closed(*object);
}

}  // namespace cvl::sim

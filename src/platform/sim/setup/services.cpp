// Services as a test or a machine image seeds them.
#include <algorithm>
#include "common/text.h"
#include "platform/sim/parts/device_registry.h"
#include "platform/sim/parts/machine.h"

namespace cvl::sim {

void SimulatedMachineSetup::AddService(std::u16string_view name, std::u16string_view imagePath,
                                       DWORD type, DWORD start) {
    AddServiceKey(*this, name, imagePath, type, start);
}

}  // namespace cvl::sim

// Services as the registry holds them.
#include "platform/sim/sim_device_registry.h"
#include "platform/sim/sim_machine.h"

namespace cvl::sim {

void SimulatedPlatform::AddService(std::u16string_view name, std::u16string_view imagePath,
                                   DWORD type, DWORD start) {
    const std::u16string key = std::u16string(kServicesRoot) + u"\\" + std::u16string(name);
    SetRegString(key, u"ImagePath", imagePath, REG_EXPAND_SZ);
    SetRegDword(key, u"Type", type);
    SetRegDword(key, u"Start", start);
    SetRegDword(key, u"ErrorControl", 1);
}

}  // namespace cvl::sim

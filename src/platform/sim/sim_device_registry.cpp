#include "platform/sim/sim_device_registry.h"

#include <cstdio>

#include "common/little_endian.h"
#include "common/text.h"
#include "platform/sim/sim_paths.h"

namespace cvl::sim {

std::u16string EnumKeyPath(std::u16string_view instanceId) {
    return std::u16string(kEnumRoot) + u"\\" + std::u16string(instanceId);
}

std::u16string DriverKeyPath(std::u16string_view driverValue) {
    return std::u16string(kClassRoot) + u"\\" + std::u16string(driverValue);
}

std::vector<std::u16string> MultiStrings(const std::optional<RegValue> &value) {
    std::vector<std::u16string> texts;
    if (!value || value->type != REG_MULTI_SZ) return texts;
    std::u16string text;
    for (std::size_t i = 0; i + 1 < value->data.size(); i += 2) {
        const char16_t c = Utf16UnitAt(value->data.data(), i);
        if (c != u'\0') {
            text.push_back(c);
        } else if (text.empty()) {
            break;
        } else {
            texts.push_back(std::move(text));
            text.clear();
        }
    }
    return texts;
}

std::u16string GuidText(const Guid &guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  static_cast<unsigned>(guid.data1), guid.data2, guid.data3, guid.data4[0],
                  guid.data4[1], guid.data4[2], guid.data4[3], guid.data4[4], guid.data4[5],
                  guid.data4[6], guid.data4[7]);
    return Widen(text);
}

std::u16string NextDriverKeyName(const SimulatedPlatform &machine, std::u16string_view classGuid) {
    const auto taken = machine.RegSubkeyNames(DriverKeyPath(classGuid));
    for (int number = 0; number < 10000; ++number) {
        char name[8];
        std::snprintf(name, sizeof name, "%04d", number);
        const std::u16string candidate = Widen(name);
        bool used = false;
        for (const auto &existing : taken) used = used || EqualsFoldAZ(existing, candidate);
        if (!used) return candidate;
    }
    return u"";
}

std::u16string LinkNewDriverKey(SimulatedPlatform &machine, std::u16string_view instanceId,
                                std::u16string_view classGuid) {
    const std::u16string driverValue =
        std::u16string(classGuid) + u"\\" + NextDriverKeyName(machine, classGuid);
    const std::u16string path = DriverKeyPath(driverValue);
    machine.CreateRegKey(path);
    machine.SetRegString(EnumKeyPath(instanceId), u"Driver", driverValue);
    return path;
}

}  // namespace cvl::sim

#include "platform/sim/parts/device_registry.h"

#include <cstdio>

#include "common/little_endian.h"
#include "common/text.h"
#include "platform/sim/parts/paths.h"

namespace cvl::sim {

std::vector<std::u16string> MultiStrings(const std::optional<RegValue> &value) {
    if (!value) return {};
    return MultiStrings(*value);
}

std::vector<std::u16string> MultiStrings(const RegValue &value) {
    std::vector<std::u16string> texts;
    if (value.type != REG_MULTI_SZ) return texts;
    std::u16string text;
    for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
        const char16_t c = Utf16UnitAt(value.data.data(), i);
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

namespace {

std::u16string DriverKeyNumber(int number) {
    char name[12];
    std::snprintf(name, sizeof name, "%04d", number);
    return Widen(name);
}

}  // namespace

std::u16string NextDriverKeyName(const RegistryPaths &registry, std::u16string_view classGuid) {
    // The subkeys come sorted and four-digit numbers sort by value, so one
    // pass finds the lowest free number.
    int number = 0;
    std::u16string candidate = DriverKeyNumber(number);
    for (const auto &existing : registry.RegSubkeyNames(DriverKeyPath(classGuid))) {
        if (existing != candidate) continue;
        if (++number == 10000) return u"";
        candidate = DriverKeyNumber(number);
    }
    return candidate;
}

std::u16string LinkNewDriverKey(RegistryPaths &registry, std::u16string_view instanceId,
                                std::u16string_view classGuid, std::u16string_view keyName) {
    const std::u16string driverValue =
        std::u16string(classGuid) + u"\\" +
        (keyName.empty() ? NextDriverKeyName(registry, classGuid) : std::u16string(keyName));
    const std::u16string path = DriverKeyPath(driverValue);
    registry.CreateRegKey(path);
    registry.SetRegString(EnumKeyPath(instanceId), u"Driver", driverValue);
    return path;
}

void AddServiceKey(RegistryPaths &registry, std::u16string_view name, std::u16string_view imagePath,
                   DWORD type, DWORD start) {
    const std::u16string key = std::u16string(kServicesRoot) + u"\\" + std::u16string(name);
    registry.SetRegString(key, u"ImagePath", imagePath, REG_EXPAND_SZ);
    registry.SetRegDword(key, u"Type", type);
    registry.SetRegDword(key, u"Start", start);
    registry.SetRegDword(key, u"ErrorControl", 1);
}

}  // namespace cvl::sim

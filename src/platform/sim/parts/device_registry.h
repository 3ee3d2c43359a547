// Where Windows keeps what it knows of a device: the instance key under
// Enum, the class key and the driver key under Control\Class, linked by the
// instance's "Driver" value ("{guid}\NNNN").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/parts/registry_paths.h"
#include "platform/sim/setup/device_key_paths.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {

// The texts of a REG_MULTI_SZ value, up to the empty one that ends it.
std::vector<std::u16string> MultiStrings(const std::optional<RegValue> &value);
std::vector<std::u16string> MultiStrings(const RegValue &value);

// "{4d36e972-e325-11ce-bfc1-08002be10318}": lower case, as class keys are named.
std::u16string GuidText(const Guid &guid);

// The first four-digit name not yet used below a class key: "0000", "0001"...
std::u16string NextDriverKeyName(const RegistryPaths &registry, std::u16string_view classGuid);

// A service as the registry keeps it, under Services\<name>.
void AddServiceKey(RegistryPaths &registry, std::u16string_view name, std::u16string_view imagePath,
                   DWORD type, DWORD start);

// Makes the class key and links the instance to a driver key below it,
// named `keyName` or, when that is empty, the first free number; returns the
// driver key's path.
std::u16string LinkNewDriverKey(RegistryPaths &registry, std::u16string_view instanceId,
                                std::u16string_view classGuid, std::u16string_view keyName = {});

}  // namespace cvl::sim

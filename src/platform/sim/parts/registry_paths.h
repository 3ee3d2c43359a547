// The registry named by paths: "HKLM\\Software\\X" or "HKCU\\..." (also
// the long hive names). Keys are made with every missing parent; the
// setters answer false when the path names no hive. Strings are stored with
// their terminating zero. The calls that name keys by path use it, and so
// do the helpers that seed and read the machine.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/setup/simulated_machine_types.h"

namespace cvl::sim {

class Registry;

class RegistryPaths {
public:
    explicit RegistryPaths(Registry &registry) : registry_(registry) {}

    bool SetRegValue(std::u16string_view keyPath, std::u16string_view name, DWORD type,
                     std::vector<BYTE> data);
    bool SetRegString(std::u16string_view keyPath, std::u16string_view name,
                      std::u16string_view text, DWORD type = REG_SZ);
    bool SetRegMultiString(std::u16string_view keyPath, std::u16string_view name,
                           const std::vector<std::u16string> &texts);
    bool SetRegDword(std::u16string_view keyPath, std::u16string_view name, DWORD value);
    bool CreateRegKey(std::u16string_view keyPath);
    bool DeleteRegValue(std::u16string_view keyPath, std::u16string_view name);
    bool DeleteRegTree(std::u16string_view keyPath);
    bool RegKeyExists(std::u16string_view keyPath) const;
    std::vector<std::u16string> RegSubkeyNames(std::u16string_view keyPath) const;
    std::vector<std::pair<std::u16string, RegValue>> RegValues(std::u16string_view keyPath) const;
    std::optional<RegValue> GetRegValue(std::u16string_view keyPath,
                                        std::u16string_view name) const;
    // The string of a REG_SZ/REG_EXPAND_SZ value, up to its first zero.
    std::optional<std::u16string> GetRegString(std::u16string_view keyPath,
                                               std::u16string_view name) const;
    std::optional<DWORD> GetRegDword(std::u16string_view keyPath, std::u16string_view name) const;

private:
    Registry &registry_;
};

// The string of a REG_SZ/REG_EXPAND_SZ value, up to its first zero.
std::optional<std::u16string> RegStringOf(const RegValue &value);

}  // namespace cvl::sim

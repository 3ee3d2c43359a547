// The families a command line switches on.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

#include "common/family_code.h"

namespace cvl {

class FamilySet {
public:
    constexpr FamilySet() = default;
    constexpr FamilySet(std::initializer_list<DeviceFamily> families) {
        for (const DeviceFamily family : families) Add(family);
    }

    constexpr void Add(DeviceFamily family) { bits_ |= Bit(family); }
    constexpr void Remove(DeviceFamily family) {
        bits_ &= static_cast<std::uint16_t>(~Bit(family));
    }
    constexpr bool Has(DeviceFamily family) const { return (bits_ & Bit(family)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool operator==(const FamilySet &) const = default;

    // The members, in the order the list names them.
    std::vector<DeviceFamily> InOrder(std::span<const DeviceFamily> order) const {
        std::vector<DeviceFamily> members;
        for (const DeviceFamily family : order)
            if (Has(family)) members.push_back(family);
        return members;
    }

    // The first member the list names.
    std::optional<DeviceFamily> FirstOf(std::span<const DeviceFamily> order) const {
        for (const DeviceFamily family : order)
            if (Has(family)) return family;
        return std::nullopt;
    }

private:
    static constexpr std::uint16_t Bit(DeviceFamily family) {
        return static_cast<std::uint16_t>(1u << static_cast<unsigned>(family));
    }

    std::uint16_t bits_ = 0;
};

}  // namespace cvl

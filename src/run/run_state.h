// What one run knows beyond its options: the values that start-up and the
// parser write once and every later step reads. One record per run, so many
// runs can share a process without sharing state.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/hardware_id_layout.h"
#include "common/limits.h"
#include "common/os_kind.h"
#include "log/install_log.h"

namespace cvl {

using ParameterNameSlot = std::array<char16_t, limits::kParameterNameChars>;
using ParameterValueSlot = std::array<char16_t, limits::kParameterValueChars>;
using IdFragment = std::array<char16_t, limits::kIdFragmentChars>;

inline constexpr std::int32_t kParameterKindText = 1;
inline constexpr std::int32_t kParameterKindHexNumber = 4;

struct ParameterEntry {
    ParameterNameSlot name{};
    std::int32_t kind = 0;
    ParameterValueSlot value{};
};

struct ParameterList {
    std::array<ParameterEntry, limits::kMaxParameters> entries{};
    std::uint32_t count = 0;
};

struct OemIdFragments {
    IdFragment vendorId{};
    IdFragment deviceId{};
    IdFragment subsystemVendorId{};
    IdFragment subsystemDeviceId{};
};

struct CheckIdFragments {
    IdFragment vendorId{};
    IdFragment deviceId{};
    IdFragment subsystemVendorId{};
    IdFragment subsystemId{};
};

using OemHardwareIdSlot = std::array<char16_t, limits::kOemHardwareIdChars>;
using CheckHardwareIdSlot = std::array<char16_t, limits::kCheckHardwareIdChars>;
using NicIdSlot = std::array<char16_t, limits::kNicIdChars>;

// A device query id and its terminator.
using QueryDeviceIdSlot = std::array<char16_t, hardware_id_layout::kQueryIdLength + 1>;

struct OemIdList {
    std::array<OemIdFragments, limits::kMaxOemEntries> entries{};
    std::uint32_t count = 0;  // complete entries
};

struct CheckIdList {
    std::array<CheckIdFragments, limits::kMaxCheckEntries> entries{};
    std::uint32_t count = 0;  // complete entries
};

struct HardwareIdLists {
    std::array<OemHardwareIdSlot, limits::kMaxOemEntries> OemHardwareIds{};
    std::uint32_t oemCount = 0;
    std::array<CheckHardwareIdSlot, limits::kMaxCheckEntries> CheckHardwareIds{};
    std::uint32_t checkCount = 0;
};

struct RunState {
    OsKind osKind = OsUnsupported;
    InstallLog log;  // logFile and logSuppressed
    ParameterList parameters;
    OemIdList oemFragments;
    CheckIdList checkFragments;
    HardwareIdLists ids;
    QueryDeviceIdSlot QueryDeviceId{};
    bool nicIdGiven = false;
    NicIdSlot nicIdText{};
    std::u16string PackageInfPath;
    std::u16string PackageDriverVersion;

    explicit RunState(Platform &platform) : log(platform) {}
};

}  // namespace cvl

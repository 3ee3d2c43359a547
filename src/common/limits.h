// The fixed sizes of the system's slots and buffers. Texts longer than a
// slot are cut exactly where the system cuts them.
#pragma once

#include <cstddef>

namespace cvl::limits {

// Characters, each including the terminating zero.
inline constexpr std::size_t kParameterNameChars = 32;
inline constexpr std::size_t kParameterValueChars = 32;
inline constexpr std::size_t kNicIdChars = 256;
inline constexpr std::size_t kIdFragmentChars = 4;  // no terminator
inline constexpr std::size_t kOemHardwareIdChars = 46;
inline constexpr std::size_t kCheckHardwareIdChars = 40;
inline constexpr std::size_t kPathChars = 260;
inline constexpr std::size_t kLongPathChars = 512;
inline constexpr std::size_t kSelfDeletePathChars = 100;
inline constexpr std::size_t kSelfDeleteCommandChars = 200;
inline constexpr std::size_t kComponentIdChars = 260;
inline constexpr std::size_t kPrefixCompareChars = 21;

// Counts.
inline constexpr std::size_t kMaxParameters = 20;
inline constexpr std::size_t kMaxOemEntries = 16;
inline constexpr std::size_t kMaxCheckEntries = 16;

// Bytes of the registry reads.
inline constexpr std::size_t kComponentIdBytes = 518;
inline constexpr std::size_t kDriverVersionBytes = 512;
inline constexpr std::size_t kNetCfgInstanceIdBytes = 512;
inline constexpr std::size_t kInfPathBytes = 1024;

}  // namespace cvl::limits

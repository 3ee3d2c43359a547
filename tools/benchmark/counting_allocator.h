// The benchmark's memory figure: every allocation made with operator new in
// this program is counted (by the size malloc really gave), so the bytes a
// run holds at its peak can be read as a difference from where it started.
#pragma once

#include <cstddef>

namespace cvl::benchmark {

// Bytes held now through operator new.
std::size_t LiveBytes();

// Starts a new peak at the bytes held now and returns them.
std::size_t ResetPeak();

// The most bytes held at once since the last ResetPeak.
std::size_t PeakBytes();

}  // namespace cvl::benchmark

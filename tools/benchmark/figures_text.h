// How the benchmark writes its figures in its tables.
#pragma once

#include <cstdio>
#include <string>

namespace cvl::benchmark {

inline std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The ratio of a figure to the one before it; `before` is 0 for the first.
inline std::string Growth(double before, double now, int decimals = 1) {
    if (before <= 0) return "-";
    return Fixed(now / before, decimals);
}

}  // namespace cvl::benchmark

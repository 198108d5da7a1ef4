#pragma once

#include <cstdint>

namespace esf {

// Memories of the 50 Hz display filter of one lead. Zero at start-up, never cleared:
// switching the filter off and on resumes from where it stopped.
struct FilterMemory {
    std::int32_t x1 = 0, x2 = 0, x3 = 0;
    std::int32_t y1 = 0, y2 = 0, y3 = 0;
};

inline constexpr std::int32_t kFilterMax = 255;
inline constexpr std::int32_t kFilterMin = -256;

// Four inputs near 0.25 span 20 ms, which cancels 50 Hz at 200 samples/s and passes a
// constant with gain 1. Only what is drawn goes through it.
std::int32_t filterSample(FilterMemory& m, std::int32_t x);

} // namespace esf

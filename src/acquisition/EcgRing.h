#pragma once

#include "acquisition/DisplaySettings.h"

#include <array>
#include <cstdint>
#include <vector>

namespace esf {

inline constexpr int kRingLength = 2000;  // frames kept: 10 s at 200 frames/s
inline constexpr int kStripLength = 2001; // a captured strip repeats its first value at the end

// The only store of the live signal: gain-scaled, unfiltered samples of the last 2000 frames.
struct EcgRing {
    // Rows of 2001 entries as stored in the original; only 0..1999 are ever written.
    std::array<std::array<std::int32_t, kStripLength>, kLeadCount> samples{};
    int writeIndex = 0; // entry of the newest frame

    std::int32_t at(int lead, int index) const
    {
        return samples[static_cast<std::size_t>(lead)][static_cast<std::size_t>(
            ((index % kRingLength) + kRingLength) % kRingLength)];
    }

    // The three leads oldest first, 2001 values each (value 2000 repeats value 0).
    std::array<std::vector<std::int32_t>, kLeadCount> captureStrip() const;
};

} // namespace esf

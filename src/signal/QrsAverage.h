#pragma once

#include "acquisition/EcgRing.h"

#include <array>
#include <cstdint>

namespace esf {

inline constexpr int kQrsWindow = 201; // 1.005 s, the detection point in the middle

using QrsBeats = std::array<std::array<std::int32_t, kQrsWindow>, kLeadCount>;

// Exponentially weighted average of the last beats of each lead, aligned on detection.
struct QrsAverage {
    static constexpr int kUpdateDelay = 100; // frames after a beat: its edge lands on entry 100

    QrsBeats values{}; // entry 200 is the newest frame of the window
    std::int32_t fidIdx = 0;

    void update(const EcgRing& ring, int index, int beatCounter);
};

} // namespace esf

#pragma once

#include "acquisition/EcgRing.h"

#include <cstdint>

namespace esf {

// Slope detector on lead 1 ("V2") with a smoothed heart rate.
struct BeatDetector {
    static constexpr int kSlopeSpan = 3;       // frames (15 ms)
    static constexpr int kSlopeThreshold = 50; // sample units, strictly greater
    static constexpr int kRefractory = 30;     // a beat needs BeatCounter above this
    static constexpr int kFlagFrames = 35;     // heart symbol off above this
    static constexpr int kTimeout = 1200;      // six seconds without a beat
    static constexpr int kDetectionLead = 1;

    std::int32_t heartRate = 0;   // beats per minute, 0 = no rate
    std::int32_t beatCounter = 0; // frames since the last beat
    bool beatFlag = false;        // heart symbol shown

    // Run once per frame right after lead 1's sample was stored at ring index.
    // Returns true when this frame is a beat.
    bool detect(const EcgRing& ring, int index);
};

// Smoothed rate: old and new beat weighted 0.7 / 0.3, each product rounded on its own.
std::int32_t smoothHeartRate(std::int32_t old, std::int32_t beatInterval);

} // namespace esf

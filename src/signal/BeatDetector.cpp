#include "signal/BeatDetector.h"

#include "common/Rounding.h"

#include <cstdlib>

namespace esf {

std::int32_t smoothHeartRate(std::int32_t old, std::int32_t beatInterval)
{
    // Exact ratios: binary fractions would turn true halves such as 85 × 0.7 = 59.5 or
    // 12000 / 192 = 62.5 into 59.4999... or 62.5000...1 and round them the wrong way.
    const std::int64_t inst = roundHalfEvenRatio(12000, beatInterval);
    return static_cast<std::int32_t>(roundHalfEvenRatio(std::int64_t(old) * 7, 10) +
                                     roundHalfEvenRatio(inst * 3, 10));
}

bool BeatDetector::detect(const EcgRing& ring, int index)
{
    const std::int32_t old = heartRate;
    ++beatCounter;
    if (beatCounter > kFlagFrames)
        beatFlag = false;

    const std::int64_t d =
        std::llabs(std::int64_t(ring.at(kDetectionLead, index + kRingLength - kSlopeSpan)) -
                   ring.at(kDetectionLead, index));
    bool beat = false;
    if (beatCounter > kRefractory && d > kSlopeThreshold) {
        beatFlag = true;
        heartRate = smoothHeartRate(old, beatCounter);
        beatCounter = 0;
        beat = true;
    }
    if (beatCounter > kTimeout) {
        heartRate = 0;
        beatCounter = 0;
    }
    return beat;
}

} // namespace esf

#include "signal/BeatDetector.h"

#include "common/Rounding.h"

#include <cstdlib>

namespace esf {

std::int32_t smoothHeartRate(std::int32_t old, std::int32_t beatInterval)
{
    // Plain double on purpose: 65 × 0.7 must land on 45.5 and round to 46,
    // which extended precision would not give.
    const double inst = static_cast<double>(roundHalfEven(1.0 / (beatInterval * 5.0) * 1000.0 * 60.0));
    return static_cast<std::int32_t>(roundHalfEven(old * 0.7) + roundHalfEven(inst * 0.3));
}

bool BeatDetector::detect(const EcgRing& ring, int index)
{
    const std::int32_t old = heartRate;
    ++beatCounter;
    if (beatCounter > kFlagFrames)
        beatFlag = false;

    const std::int64_t d = std::llabs(std::int64_t(ring.at(kDetectionLead, index + kRingLength - kSlopeSpan)) -
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

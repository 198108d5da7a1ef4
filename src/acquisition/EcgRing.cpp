#include "acquisition/EcgRing.h"

namespace esf {

std::array<std::vector<std::int32_t>, kLeadCount> EcgRing::captureStrip() const
{
    std::array<std::vector<std::int32_t>, kLeadCount> strip;
    const int oldest = (writeIndex + 1) % kRingLength;
    for (int lead = 0; lead < kLeadCount; ++lead) {
        auto& out = strip[static_cast<std::size_t>(lead)];
        out.reserve(kStripLength);
        for (int k = 0; k < kStripLength; ++k)
            out.push_back(at(lead, oldest + k));
    }
    return strip;
}

} // namespace esf

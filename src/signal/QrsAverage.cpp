#include "signal/QrsAverage.h"

#include "common/Rounding.h"

namespace esf {

void QrsAverage::update(const EcgRing& ring, int index, int beatCounter)
{
    for (int lead = 0; lead < kLeadCount; ++lead) {
        auto& row = values[static_cast<std::size_t>(lead)];
        for (int j = 0; j < kQrsWindow; ++j) {
            auto& entry = row[static_cast<std::size_t>(kQrsWindow - 1 - j)];
            const long double mixed = 0.3L * ring.at(lead, index - j + kRingLength) + 0.7L * entry;
            entry = static_cast<std::int32_t>(roundHalfEven(mixed));
        }
    }
    fidIdx = kQrsWindow - 1 - beatCounter;
}

} // namespace esf

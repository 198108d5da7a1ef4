#include "acquisition/DisplayFilter.h"

#include "common/Rounding.h"

#include <algorithm>

namespace esf {

std::int32_t filterSample(FilterMemory& m, std::int32_t x)
{
    // The memories hold the previous input and output; shifting them first makes
    // x1/y1 the last call's values.
    const long double y = 0.2546232L * x + 0.2546133L * m.x1 + 0.250645L * m.x2 +
                          0.2506549L * m.x3 -
                          (-0.197226L * m.y1 + 0.2091631L * m.y2 - 0.001400682L * m.y3);
    const auto out = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(roundHalfEven(y), kFilterMin, kFilterMax));
    m.x3 = m.x2;
    m.x2 = m.x1;
    m.x1 = x;
    m.y3 = m.y2;
    m.y2 = m.y1;
    m.y1 = out;
    return out;
}

} // namespace esf

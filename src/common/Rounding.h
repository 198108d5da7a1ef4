#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace esf {

// Round to nearest, halves to even: the only rounding this system uses.
// std::nearbyint follows the default FE_TONEAREST mode, which is exactly that.
inline std::int64_t roundHalfEven(double v)
{
    return static_cast<std::int64_t>(std::nearbyint(v));
}

inline std::int64_t roundHalfEven(long double v)
{
    return static_cast<std::int64_t>(std::nearbyintl(v));
}

inline std::int16_t saturateInt16(std::int64_t v)
{
    if (v > std::numeric_limits<std::int16_t>::max())
        return std::numeric_limits<std::int16_t>::max();
    if (v < std::numeric_limits<std::int16_t>::min())
        return std::numeric_limits<std::int16_t>::min();
    return static_cast<std::int16_t>(v);
}

// Integer division truncating towards zero, as "div" in the original arithmetic.
constexpr int divTrunc(int a, int b) { return a / b; }

} // namespace esf

#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace esf {

// Round to nearest, halves to even: the only rounding this system uses.
// llrint follows the default FE_TONEAREST mode, which is exactly that; it costs a couple of
// nanoseconds where nearbyint saves and restores the floating-point environment every call.
inline std::int64_t roundHalfEven(double v)
{
    return std::llrint(v);
}

inline std::int64_t roundHalfEven(long double v)
{
    return std::llrintl(v);
}

inline std::int16_t saturateInt16(std::int64_t v)
{
    if (v > std::numeric_limits<std::int16_t>::max())
        return std::numeric_limits<std::int16_t>::max();
    if (v < std::numeric_limits<std::int16_t>::min())
        return std::numeric_limits<std::int16_t>::min();
    return static_cast<std::int16_t>(v);
}

// num / den rounded half to even, exactly: no binary fraction gets in the way of a true half
// (85 × 7 / 10 is 59.5 and must give 60). den must not be 0.
constexpr std::int64_t roundHalfEvenRatio(std::int64_t num, std::int64_t den)
{
    if (den < 0) {
        num = -num;
        den = -den;
    }
    std::int64_t q = num / den;
    std::int64_t r = num % den;
    if (r < 0) {
        q -= 1;
        r += den;
    }
    if (2 * r > den || (2 * r == den && (q % 2 != 0)))
        q += 1;
    return q;
}

// round(factor × value) for the layout and formula percentages.
inline int roundShare(double factor, int value)
{
    return static_cast<int>(roundHalfEven(factor * value));
}

// Integer division truncating towards zero, as "div" in the original arithmetic.
constexpr int divTrunc(int a, int b)
{
    return a / b;
}

} // namespace esf

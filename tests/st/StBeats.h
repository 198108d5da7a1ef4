#pragma once

#include "signal/QrsAverage.h"

// Averages for the ST view's tests.
namespace esf::test {

inline QrsBeats constantBeats(std::int32_t v)
{
    QrsBeats avg{};
    for (auto& lead : avg)
        lead.fill(v);
    return avg;
}

// Every entry holds its own index, so an ST result names the sample it read.
inline QrsBeats indexRamp()
{
    QrsBeats avg{};
    for (auto& lead : avg)
        for (std::size_t i = 0; i < lead.size(); ++i)
            lead[i] = static_cast<std::int32_t>(i);
    return avg;
}

} // namespace esf::test

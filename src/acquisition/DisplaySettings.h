#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace esf {

inline constexpr std::array<int, 3> kSpeedTable = {10, 25, 50};      // mm/s by SpeedIndex
inline constexpr std::array<double, 3> kGainTable = {0.5, 1.0, 2.0}; // cm/mV by GainIndex
inline constexpr int kLeadCount = 3;

// Labels of leads 0, 1, 2 by LeadSetIndex; only one row exists.
inline const std::array<std::array<QLatin1StringView, 3>, 1> kLeadLabelTable = {
    {{QLatin1StringView("II"), QLatin1StringView("V2"), QLatin1StringView("V5")}}};

// What the operator switches with the tool buttons; stored with every stage record.
struct DisplaySettings {
    bool filterOn = false;
    std::uint8_t speedIndex = 1;
    std::uint8_t gainIndex = 1;
    std::uint8_t leadSetIndex = 0;

    int speed() const { return kSpeedTable[speedIndex % 3]; }
    double gain() const { return kGainTable[gainIndex % 3]; }
};

} // namespace esf

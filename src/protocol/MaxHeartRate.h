#pragma once

namespace esf {

inline constexpr int kFormulaCount = 8;
inline constexpr int kUserFormula = 7;

struct HeartRateLimits {
    int maxHR = 0;
    int subMaxHR = 0;
};

// sex: 0 male, 1 female.
int robinsonMaxHR(int age, int sex);
// Maximal rate by the formula of the "Frecuencia máxima" menu; the submaximal rate is 85 % of
// it. An unknown formula gives no rate (0, 0).
HeartRateLimits maxHeartRate(int age, int sex, int formula, int userMaxHR);

} // namespace esf

#include "protocol/MaxHeartRate.h"

#include "common/Rounding.h"

#include <array>

namespace esf {
namespace {

struct RobinsonRow {
    int from;
    int to;
    int male;
    int female;
};

constexpr std::array<RobinsonRow, 50> kRobinson = {{
    {5, 7, 182, 182},   {8, 9, 199, 199},   {10, 10, 200, 194}, {11, 11, 199, 194},
    {12, 12, 199, 193}, {13, 13, 198, 193}, {14, 14, 198, 192}, {15, 15, 197, 192},
    {16, 16, 197, 191}, {17, 17, 196, 191}, {18, 18, 196, 190}, {19, 19, 195, 190},
    {20, 20, 195, 189}, {21, 21, 194, 189}, {22, 22, 194, 188}, {23, 23, 193, 188},
    {24, 24, 193, 187}, {25, 26, 192, 186}, {27, 28, 191, 185}, {29, 30, 190, 184},
    {31, 31, 189, 183}, {32, 32, 188, 183}, {33, 34, 187, 182}, {35, 36, 186, 181},
    {37, 38, 185, 180}, {39, 40, 184, 179}, {41, 42, 183, 178}, {43, 43, 182, 177},
    {44, 44, 181, 177}, {45, 45, 181, 176}, {46, 46, 180, 176}, {47, 47, 180, 175},
    {48, 48, 179, 175}, {49, 49, 179, 174}, {50, 50, 178, 174}, {51, 51, 178, 173},
    {52, 52, 177, 173}, {53, 53, 177, 172}, {54, 54, 176, 172}, {55, 56, 175, 171},
    {57, 58, 174, 170}, {59, 60, 173, 169}, {61, 62, 172, 168}, {63, 64, 171, 167},
    {65, 65, 170, 166}, {66, 66, 169, 166}, {67, 67, 169, 165}, {68, 68, 168, 165},
    {69, 72, 166, 166}, {73, 76, 147, 147},
}};

} // namespace

int robinsonMaxHR(int age, int sex)
{
    if (age < 5)
        return 182;
    for (const RobinsonRow& row : kRobinson) {
        if (age >= row.from && age <= row.to)
            return sex == 0 ? row.male : row.female;
    }
    return 147;
}

HeartRateLimits maxHeartRate(int age, int sex, int formula, int userMaxHR)
{
    int maxHR = 0;
    switch (formula) {
    case 0:
        maxHR = robinsonMaxHR(age, sex);
        break;
    case 1:
        maxHR = 220 - age;
        break;
    case 2:
        maxHR = roundShare(0.9, 220 - age);
        break;
    case 3:
        maxHR = roundShare(0.8, 220 - age);
        break;
    case 4:
        maxHR = roundShare(0.75, 220 - age);
        break;
    case 5:
        maxHR = 200 - age;
        break;
    case 6:
        maxHR = static_cast<int>(roundHalfEven(205.0 - age / 2.0));
        break;
    case kUserFormula:
        maxHR = userMaxHR;
        break;
    default:
        return {};
    }
    return {maxHR, roundShare(0.85, maxHR)};
}

} // namespace esf

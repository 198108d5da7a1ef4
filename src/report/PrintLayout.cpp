#include "report/PrintLayout.h"

#include "common/Rounding.h"

#include <algorithm>
#include <cmath>

namespace esf {
namespace {

// Far outside any page yet safe to convert: values from a damaged file must not overflow.
constexpr double kPixelLimit = 1.0e7;

int truncPixel(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::clamp(v, -kPixelLimit, kPixelLimit));
}

int roundPixel(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int>(roundHalfEven(std::clamp(v, -kPixelLimit, kPixelLimit)));
}

} // namespace

PageGeometry pageGeometry(int width, int height)
{
    PageGeometry g;
    g.width = width;
    g.height = height;
    g.unit = height / 5;
    g.gap = roundShare(0.04, width);
    g.graph = roundShare(0.2, width);
    for (int k = 1; k <= 4; ++k)
        g.graphLeft[k - 1] = k * g.gap + (k - 1) * g.graph;
    g.right = g.graphLeft[3] + g.graph;
    g.band = roundShare(0.9, g.unit);
    g.stripWidth = roundShare(0.859, width);
    g.stripLeft = (width - g.stripWidth) / 2;
    return g;
}

PrintTimeAxis printTimeAxis(std::int32_t lastElapsedSeconds)
{
    const double minutes = lastElapsedSeconds / 60.0;
    PrintTimeAxis a;
    a.xmax = roundPixel(minutes) + 1;
    a.step = std::max(1, roundPixel(minutes / 8));
    a.columns = std::max(0, roundPixel(minutes + 1) / a.step);
    return a;
}

int PlotScale::x(double seconds) const
{
    // A damaged file can give an axis without extent; everything then sits at its start.
    if (xmax <= xmin)
        return x1;
    return x1 + truncPixel(seconds * (x2 - x1) / (xmax - xmin) / 60.0);
}

int PlotScale::y(double value) const
{
    if (ymax <= ymin)
        return y2;
    const double v = std::isnan(value) ? ymin : std::clamp(value, ymin, ymax);
    const double perUnit = (y2 - y1) / (ymax - ymin);
    return y2 + truncPixel(perUnit * ymin) - roundPixel(v * perUnit);
}

QList<TableBand> tableBands(int recordCount)
{
    const int rows = recordCount + 1;
    if (rows <= 12)
        return {{1, recordCount + 1, 2}};
    if (rows <= 24) {
        const int m = rows / 2;
        return {{1, m, 2}, {m, recordCount + 1, 3}};
    }
    const int a = rows / 3;
    return {{1, a, 2}, {a, 2 * a, 3}, {2 * a, recordCount + 1, 4}};
}

QList<StripBand> stripBands(int lastTableBand, const QList<int>& records, int unit)
{
    QList<StripBand> out;
    int band = lastTableBand;
    int top = 0;
    int page = 0;
    for (int record : records) {
        band = (band + 1) % 5;
        if (band == 0) {
            ++page;
            top = roundShare(0.1, unit);
        }
        out.append({record, page, band, band * unit + top});
    }
    return out;
}

} // namespace esf

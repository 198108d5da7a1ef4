#include "display/QrsBox.h"

#include "common/Rounding.h"
#include "display/SweepDisplay.h"

#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QPolygon>
#include <algorithm>
#include <vector>

namespace esf {

namespace {

constexpr int kWindowLast = 200; // entries 0..200 of the averaged window
constexpr int kMaxScroll = 100;  // range of the box's scroll bar

} // namespace

void drawQrsBox(QPainter& painter, int w, int h, int bigDiv, QColor buttonFace)
{
    if (w <= 0 || h <= 0)
        return;
    painter.fillRect(QRect(0, 0, w, h), buttonFace);
    if (bigDiv <= 0)
        return; // no scale to draw a grid at

    const int smallDiv = bigDiv / 5;
    std::vector<QPoint> pts;
    for (int x = 0; x <= w; ++x) {
        if (x % 8 > 4) {
            for (int k = 1; k <= 28 && k * bigDiv <= h; ++k)
                pts.emplace_back(x, k * bigDiv);
        }
        if (smallDiv > 0 && x % smallDiv == 0) {
            for (int y = 0; y <= h; y += smallDiv)
                pts.emplace_back(x, y);
        }
    }
    const auto lines = roundHalfEven(static_cast<double>(w) / bigDiv);
    for (int k = 1; k <= lines && k * bigDiv <= w; ++k) {
        for (int y = 0; y <= h; y += kGridDotPeriod)
            pts.emplace_back(k * bigDiv, y);
    }
    if (pts.empty())
        return;

    const QPen oldPen = painter.pen();
    painter.setPen(QPen(QColor(kGridColor), 1));
    painter.drawPoints(pts.data(), static_cast<int>(pts.size()));
    painter.setPen(oldPen);
}

void drawQrsAverage(QPainter& painter, const std::array<std::array<std::int32_t, 201>, 3>& avg,
                    const std::array<int, 3>& qrsBaseline, double pxPerSample, double pxPerUnit,
                    int scrollPos)
{
    const int first = std::clamp(scrollPos, 0, kMaxScroll);
    const QPen oldPen = painter.pen();
    painter.setPen(QPen(QColor(kQrsAverageColor), 1));
    QPolygon line;
    line.reserve(kWindowLast - first + 2);
    for (std::size_t lead = 0; lead < avg.size(); ++lead) {
        const int base = qrsBaseline[lead];
        line.clear();
        line << QPoint(0, base);
        for (int i = 0; i <= kWindowLast - first; ++i) {
            const auto entry = avg[lead][static_cast<std::size_t>(first + i)];
            line << QPoint(static_cast<int>(roundHalfEven(i * pxPerSample)),
                           base - static_cast<int>(roundHalfEven(entry * pxPerUnit)));
        }
        painter.drawPolyline(line);
    }
    painter.setPen(oldPen);
}

} // namespace esf

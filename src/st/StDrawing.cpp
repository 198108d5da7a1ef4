#include "st/StDrawing.h"

#include "common/Rounding.h"
#include "display/SweepDisplay.h"

#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <algorithm>
#include <vector>

namespace esf {

namespace {

constexpr int kCurveWidth = 3;
constexpr int kMarkerPenWidth = 2;
constexpr int kDashPeriod = 8; // a division row lights 3 pixels in every 8
constexpr int kFiducialRadius = 2;
// Far enough outside the view to be clipped, near enough for the rasteriser's fixed point.
constexpr int kFarOff = 100000;

std::size_t at(int i)
{
    return static_cast<std::size_t>(i);
}

} // namespace

void drawStGrid(QPainter& painter)
{
    const QRect area(QPoint(kStX0, kStY0), QPoint(kStX1 - 1, kStY1 - 1));
    painter.fillRect(area, QColor(kStPaperColor));

    std::vector<QPoint> pts;
    for (int x = area.left(); x <= area.right(); ++x) {
        pts.emplace_back(x, area.top());
        pts.emplace_back(x, area.bottom());
    }
    for (int y = area.top(); y <= area.bottom(); ++y) {
        pts.emplace_back(area.left(), y);
        pts.emplace_back(area.right(), y);
    }
    // The division rows are counted from the window top, not from the drawing's.
    for (int x = kStX0; x <= kStX1; ++x) {
        if (x % kDashPeriod > 4) {
            for (int k = 1; k <= 10; ++k)
                pts.emplace_back(x, kStPxPerDiv * k);
        }
    }
    const int smallDiv = kStPxPerDiv / 5;
    for (int x = kStX0; x <= kStX1; ++x) {
        if (x % smallDiv != 0)
            continue;
        for (int y = kStY0; y <= kStY1; ++y) {
            if (y % smallDiv == 0)
                pts.emplace_back(x, y);
        }
    }
    const auto lines = roundHalfEvenRatio(kStX1 - kStX0, kStPxPerDiv);
    for (int k = 1; k <= lines; ++k) {
        for (int y = kStY0; y < kStY1; ++y) {
            if (y % kGridDotPeriod == 0)
                pts.emplace_back(kStX0 + kStPxPerDiv * k, y);
        }
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(kStBaselineColor), 1));
    painter.drawPoints(pts.data(), static_cast<int>(pts.size()));
    painter.restore();
}

void drawStCurves(QPainter& painter, const QrsBeats& average, int fidIdx, int speedMmPerS)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(
        QPen(QColor(kStCurveColor), kCurveWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    const auto point = [&](int lead, int i) {
        return QPoint(stSampleX(i, speedMmPerS),
                      std::clamp(stSampleY(average[at(lead)][at(i)], lead), -kFarOff, kFarOff));
    };
    QPolygon line;
    line.reserve(kQrsWindow + 1);
    for (int lead = 0; lead < kLeadCount; ++lead) {
        line.clear();
        line << QPoint(kStX0, kStY0 + kStZeroLine[at(lead)]);
        for (int i = 0; i < kQrsWindow; ++i)
            line << point(lead, i);
        painter.drawPolyline(line);
    }

    // No detection point yet, or a foreign one, leaves no dot.
    if (fidIdx >= 0 && fidIdx < kQrsWindow) {
        painter.setPen(QPen(QColor(kStJColor), kCurveWidth));
        painter.setBrush(QColor(kStJColor));
        for (int lead = 0; lead < kLeadCount; ++lead) {
            const QPoint c = point(lead, fidIdx);
            painter.drawEllipse(QRect(c.x() - kFiducialRadius, c.y() - kFiducialRadius,
                                      2 * kFiducialRadius, 2 * kFiducialRadius));
        }
    }
    painter.restore();
}

void drawStMarkers(QPainter& painter, const StMarkers& markers)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const QRect& r : markers.baselines)
        painter.fillRect(r, QColor(kStBaselineColor));
    painter.fillRect(markers.jLine, QColor(kStJColor));
    painter.setBrush(Qt::NoBrush);
    // Hollow circles, so the sample they mark stays visible; the pen fills the 10 × 10 box.
    const auto circles = [&painter](const auto& rects, QRgb colour) {
        painter.setPen(QPen(QColor(colour), kMarkerPenWidth));
        for (const QRect& r : rects)
            painter.drawEllipse(QRectF(r).adjusted(1, 1, -1, -1));
    };
    circles(markers.jCircles, kStJColor);
    circles(markers.stCircles, kStBaselineColor);
    painter.restore();
}

void drawStView(QPainter& painter, const StMeasurement& measurement)
{
    drawStGrid(painter);
    drawStCurves(painter, measurement.average(), measurement.fidIdx(), measurement.speed());
    drawStMarkers(painter, measurement.markers());
}

void xorCaliperFigure(QPainter& painter, const CaliperFigure& figure)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(QColor(kStCaliperColor), 1));
    painter.drawPolyline(figure.data(), static_cast<int>(figure.size()));
    painter.restore();
}

} // namespace esf

#include "records/StudyCharts.h"

#include "common/Rounding.h"
#include "display/SweepDisplay.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace esf {
namespace {

constexpr int kNumberPointSize = 4;
constexpr int kNumberGap = 5;  // numbers stand this far left of a chart
constexpr int kSquareHalf = 3; // the 6 × 6 point of a line chart
constexpr int kMarkerHalf = 5; // half the base of the record marker
constexpr int kPressurePen = 2;
constexpr int kStripColumns = 50;
constexpr int kStripSamples = 2000;
const QString kTimeTitle = QStringLiteral("T[min]");
const QString kStripTimeTitle = QStringLiteral("25 [mm/seg]");

// Pixel-exact drawing: no antialiasing, 1-pixel pens, everything restored on leaving.
class Saved {
public:
    explicit Saved(QPainter& p) : m_p(p)
    {
        m_p.save();
        m_p.setRenderHint(QPainter::Antialiasing, false);
    }
    ~Saved() { m_p.restore(); }
    Saved(const Saved&) = delete;
    Saved& operator=(const Saved&) = delete;

private:
    QPainter& m_p;
};

QRect pixels(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

// Text whose top-left corner is (x, y), on the background colour.
void textAt(QPainter& p, int x, int y, const QString& text)
{
    const QFontMetrics fm(p.font());
    p.drawText(QRect(x, y, fm.horizontalAdvance(text), fm.height()),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
}

void setTextColours(QPainter& p, QColor window)
{
    p.setPen(QColor(kLabelColor));
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(window);
}

QFont numberFont(const QFont& base)
{
    QFont f = base;
    f.setBold(false);
    f.setPointSize(kNumberPointSize);
    return f;
}

std::int32_t recordTime(const StageRecord& r)
{
    return clampElapsed(r.elapsed);
}

struct Charts {
    std::array<ChartSpec, 4> charts;
    TimeAxis axis;
    LoadChart load = LoadChart::None;
};

Charts chartsOf(const ReviewScene& scene)
{
    const StudyReview& review = *scene.review;
    Charts c;
    c.load = loadChartKind(review.protocol());
    c.charts = chartSpecs(scene.units, c.load);
    c.axis = timeAxis(review.totalTime());
    return c;
}

void markers(QPainter& p, const ReviewScene& scene, const Charts& c, const StageRecord& r,
             MarkerMode mode)
{
    const StudyReview& review = *scene.review;
    const std::int32_t t = recordTime(r);
    const int m = c.axis.minutes;
    const QColor navy(kMarkerColor);
    DrawRecordMarker(p, scene.layout.chart(1), mode, navy, t, r.heartRate, c.charts[1].range, m);
    DrawRecordMarker(p, scene.layout.chart(2), mode, navy, t, r.itt(), c.charts[2].range, m);
    if (c.charts[3].shown)
        DrawRecordMarker(p, scene.layout.chart(3), mode, navy, t,
                         stageLoadValue(review.protocol(), r.stage), c.charts[3].range, m);
}

} // namespace

void DrawChartFrame(QPainter& p, const ChartBox& box, QColor fill, QColor line, int rows,
                    int columns)
{
    if (box.width() <= 0 || box.height() <= 0)
        return;
    Saved saved(p);
    p.fillRect(pixels(box.left, box.top, box.right, box.bottom), fill);
    p.setPen(QPen(line, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(box.left, box.top, box.width() - 1, box.height() - 1));
    std::vector<QPoint> dots;
    for (int k = 1; k < rows; ++k) {
        const int y = box.top + static_cast<int>(std::int64_t(k) * box.height() / rows);
        for (int x = box.left; x < box.right; x += kGridDotPeriod)
            dots.emplace_back(x, y);
    }
    for (int k = 1; k < columns; ++k) {
        const int x = box.left + static_cast<int>(std::int64_t(k) * box.width() / columns);
        for (int y = box.top; y < box.bottom; y += kGridDotPeriod)
            dots.emplace_back(x, y);
    }
    p.drawPoints(dots.data(), static_cast<int>(dots.size()));
}

void DrawChartLabels(QPainter& p, const ChartBox& box, int valueStep, int timeStep,
                     ValueRange values, ValueRange minutes, const QString& valueTitle,
                     const QString& timeTitle, QColor window)
{
    Saved saved(p);
    setTextColours(p, window);
    QFont bold = p.font();
    bold.setBold(true);
    p.setFont(bold);
    const QFontMetrics fm(bold);
    textAt(p, box.left - fm.horizontalAdvance(valueTitle) / 2,
           box.top - roundShare(1.5, fm.height()), valueTitle);
    textAt(p, box.right - fm.horizontalAdvance(timeTitle), box.bottom + fm.height(), timeTitle);

    p.setFont(numberFont(bold));
    const QFontMetrics small(p.font());
    if (!values.empty() && valueStep > 0) {
        for (int v = values.min; v <= values.max; ++v) {
            if (v % valueStep != 0)
                continue;
            const QString text = QString::number(v);
            const int y =
                box.bottom - static_cast<int>(std::int64_t(box.height()) * (v - values.min) /
                                              (values.max - values.min));
            textAt(p, box.left - kNumberGap - small.horizontalAdvance(text), y - small.height() / 2,
                   text);
        }
    }
    if (!minutes.empty() && timeStep > 0) {
        for (int m = minutes.min; m <= minutes.max; ++m) {
            if (m % timeStep != 0)
                continue;
            const QString text = QString::number(m);
            const int x =
                box.left + static_cast<int>(std::int64_t(box.width()) * (m - minutes.min) /
                                            (minutes.max - minutes.min));
            textAt(p, x - small.horizontalAdvance(text) / 2, box.bottom, text);
        }
    }
}

void DrawTrendSegment(QPainter& p, const ChartBox& box, TrendMode mode, QColor colour,
                      std::int32_t prevTime, double prevValue, std::int32_t time, double value,
                      ValueRange range, int minutes)
{
    const int x0 = timeToX(box, prevTime, minutes);
    const int x1 = timeToX(box, time, minutes);
    const int y1 = valueToY(box, value, range);
    Saved saved(p);
    p.setPen(QPen(colour, 1));
    switch (mode) {
    case TrendMode::LineWithPoints:
        p.drawLine(x0, valueToY(box, prevValue, range), x1, y1);
        // The square takes whatever brush the canvas has.
        p.drawRect(
            QRect(x1 - kSquareHalf, y1 - kSquareHalf, 2 * kSquareHalf - 1, 2 * kSquareHalf - 1));
        break;
    case TrendMode::Step:
        p.drawLine(x0, y1, x1, y1);
        break;
    case TrendMode::Bar:
        p.fillRect(pixels(std::min(x0, x1), y1, std::max(x0, x1), box.bottom), colour);
        break;
    }
}

void DrawPressureMark(QPainter& p, const ChartBox& box, QColor colour, std::int32_t time,
                      double diastolic, double systolic, ValueRange range, int minutes)
{
    const int x = timeToX(box, time, minutes);
    const int ys = valueToY(box, systolic, range);
    const int yd = valueToY(box, diastolic, range);
    // The polyline (x - 2, ys), (x + 2, ys), (x, ys), (x, yd), (x - 2, yd), (x + 2, yd) with a
    // 2-pixel pen, filled directly: a hundred wide-pen strokes per repaint cost more than the
    // rest of the charts.
    const int w = kPressurePen;
    p.fillRect(QRect(x - 2, ys - w / 2, 5, w), colour);
    p.fillRect(QRect(x - 2, yd - w / 2, 5, w), colour);
    p.fillRect(QRect(x - w / 2, std::min(ys, yd) - w / 2, w, std::abs(yd - ys) + w), colour);
}

void DrawRecordMarker(QPainter& p, const ChartBox& box, MarkerMode mode, QColor colour,
                      std::int32_t time, double value, ValueRange range, int minutes)
{
    const int x = timeToX(box, time, minutes);
    const int y = valueToY(box, value, range);
    Saved saved(p);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QColor c = mode == MarkerMode::Erase ? QColor(kChartPaperColor) : colour;
    p.setPen(QPen(c, 1));
    if (mode == MarkerMode::Outline)
        p.setBrush(Qt::NoBrush);
    else
        p.setBrush(c);
    const QPoint pts[] = {{x, y - kMarkerHalf},
                          {x - kMarkerHalf, y - 2 * kMarkerHalf},
                          {x + kMarkerHalf, y - 2 * kMarkerHalf}};
    p.drawPolygon(pts, 3);
}

void DrawStrips(QPainter& p, const ChartBox& box, QColor colour,
                const std::array<std::vector<std::int32_t>, kLeadCount>& strips, int verticalRange)
{
    const std::int64_t h = box.height();
    if (verticalRange <= 0 || h <= 0 || box.width() <= 0)
        return;
    Saved saved(p);
    p.setPen(QPen(colour, 1));
    QPolygon line;
    for (int lead = 0; lead < kLeadCount; ++lead) {
        const std::vector<std::int32_t>& s = strips[static_cast<std::size_t>(lead)];
        const int n = std::min(static_cast<int>(s.size()), kStripSamples + 1);
        const std::int64_t baseline = box.top + (box.height() / 4) * (lead + 1);
        const std::int64_t above = baseline - box.top;    // highest offset that stays inside
        const std::int64_t below = baseline - box.bottom; // lowest
        line.resize(n);
        for (int j = 0; j < n; ++j) {
            std::int64_t v = s[static_cast<std::size_t>(j)];
            if (v * h > above * verticalRange)
                v = roundHalfEvenRatio(above * verticalRange, h);
            if (v * h < below * verticalRange)
                v = roundHalfEvenRatio(below * verticalRange, h);
            const std::int64_t y = baseline - roundHalfEvenRatio(v * h, verticalRange);
            // The last row of the panel is the lowest a point may take.
            line[j] =
                QPoint(box.left + static_cast<int>(std::int64_t(j) * box.width() / kStripSamples),
                       static_cast<int>(std::clamp<std::int64_t>(y, box.top, box.bottom - 1)));
        }
        if (n > 0)
            p.drawPolyline(line);
    }
}

void DrawLeadLabels(QPainter& p, const ChartBox& box, QColor window)
{
    Saved saved(p);
    setTextColours(p, window);
    p.setFont(numberFont(p.font()));
    const QFontMetrics fm(p.font());
    const QString names[] = {QStringLiteral("II"), QStringLiteral("V2"), QStringLiteral("V5")};
    for (int i = 1; i <= 3; ++i) {
        const QString& name = names[i - 1];
        const int y = box.top + box.height() * i / 4;
        textAt(p, box.left - kNumberGap - fm.horizontalAdvance(name), y - fm.height() / 2, name);
    }
}

void drawRecordMarks(QPainter& p, const ReviewScene& scene, bool current)
{
    const StudyReview& review = *scene.review;
    if (review.currentRecord() < 1)
        return;
    const Charts c = chartsOf(scene);
    const StageRecord& r = review.current();
    const QColor pressure(current ? kCurrentPressureColor : kCurveColor);
    DrawPressureMark(p, scene.layout.chart(0), pressure, recordTime(r), r.diastolic, r.systolic,
                     c.charts[0].range, c.axis.minutes);
    markers(p, scene, c, r, current ? MarkerMode::Filled : MarkerMode::Erase);
}

void drawStripPanel(QPainter& p, const ReviewScene& scene)
{
    const StudyReview& review = *scene.review;
    const ReviewLayout& l = scene.layout;
    // The frame fills the whole panel, which clears whatever strips were there.
    DrawChartFrame(p, l.strips, QColor(kStripPaperColor), QColor(kStripGridColor), l.stripRows,
                   kStripColumns);
    if (review.currentReadable())
        DrawStrips(p, l.strips, QColor(kStripTraceColor), review.current().strip, l.stripRange);
    DrawChartLabels(p, l.strips, 0, 0, {}, {}, gainTitle(review.current().gain), kStripTimeTitle,
                    scene.window);
    DrawLeadLabels(p, l.strips, scene.window);
}

void drawReviewCanvas(QPainter& p, const ReviewScene& scene)
{
    const StudyReview& review = *scene.review;
    const ReviewLayout& l = scene.layout;
    Saved saved(p);
    p.fillRect(QRect(0, 0, l.width, l.height), scene.window);
    p.setFont(scene.font);
    p.setBrush(scene.window); // the canvas brush fills the points of the line charts
    const Charts c = chartsOf(scene);
    const int m = c.axis.minutes;

    for (int i = 0; i < 4; ++i)
        DrawChartFrame(p, l.chart(i), QColor(kChartPaperColor), QColor(kChartLineColor),
                       c.charts[static_cast<std::size_t>(i)].rows, c.axis.columns());
    for (int i = 0; i < 4; ++i) {
        const ChartSpec& s = c.charts[static_cast<std::size_t>(i)];
        if (s.shown)
            DrawChartLabels(p, l.chart(i), s.labelStep, c.axis.step, s.labels, {0, m}, s.title,
                            kTimeTitle, scene.window);
    }

    const QColor red(kCurveColor);
    std::int32_t prevTime = 0;
    std::int32_t prevHR = 0;
    std::int32_t prevITT = 0;
    const std::vector<StageRecord>& records = review.trend().records;
    for (std::size_t k = 0; k < records.size(); ++k) {
        const StageRecord& r = records[k];
        const std::int32_t t = recordTime(r);
        if (c.charts[3].shown)
            DrawTrendSegment(p, l.chart(3), TrendMode::Step, red, prevTime, 0.0, t,
                             stageLoadValue(review.protocol(), r.stage), c.charts[3].range, m);
        DrawPressureMark(p, l.chart(0), red, t, r.diastolic, r.systolic, c.charts[0].range, m);
        DrawTrendSegment(p, l.chart(1), TrendMode::LineWithPoints, red, prevTime, prevHR, t,
                         r.heartRate, c.charts[1].range, m);
        DrawTrendSegment(p, l.chart(2), TrendMode::LineWithPoints, red, prevTime, prevITT, t,
                         r.itt(), c.charts[2].range, m);
        if (static_cast<int>(k) + 1 == review.currentRecord())
            markers(p, scene, c, r, MarkerMode::Filled);
        prevHR = r.heartRate;
        prevITT = r.itt();
        prevTime = t;
    }

    // Nothing above draws inside the strip panel, so it is drawn once, here.
    drawStripPanel(p, scene);
    if (review.currentReadable()) {
        const StageRecord& r = review.current();
        DrawPressureMark(p, l.chart(0), QColor(kCurrentPressureColor), recordTime(r), r.diastolic,
                         r.systolic, c.charts[0].range, m);
    }
}

} // namespace esf

#pragma once

#include "records/StudyReview.h"

#include <QColor>
#include <QFont>
#include <QRgb>

class QPainter;

namespace esf {

inline constexpr QRgb kChartPaperColor = qRgb(0xFF, 0xFF, 0xFF);
inline constexpr QRgb kChartLineColor = qRgb(0x00, 0x00, 0x00);
inline constexpr QRgb kCurveColor = qRgb(0xFF, 0x00, 0x00);
inline constexpr QRgb kCurrentPressureColor = qRgb(0x00, 0x80, 0x00);
inline constexpr QRgb kMarkerColor = qRgb(0x00, 0x00, 0x80);
inline constexpr QRgb kLabelColor = qRgb(0x00, 0x00, 0xFF);
inline constexpr QRgb kStripPaperColor = qRgb(0x00, 0x00, 0x00);
inline constexpr QRgb kStripGridColor = qRgb(0x00, 0x80, 0x00);
inline constexpr QRgb kStripTraceColor = qRgb(0xFF, 0xFF, 0x00);

enum class TrendMode { LineWithPoints = 0, Step = 1, Bar = 2 };
enum class MarkerMode { Filled = 0, Erase = 1, Outline = 2 };

// Every routine leaves the painter's pen, brush and font as it found them; none antialiases.

// Fill, border and the dotted inner grid of `rows` × `columns` cells.
void DrawChartFrame(QPainter& p, const ChartBox& box, QColor fill, QColor line, int rows,
                    int columns);
// Titles (bold, current font size) and the numbers (4-point) of a chart, blue on `window`.
// An empty range writes no numbers.
void DrawChartLabels(QPainter& p, const ChartBox& box, int valueStep, int timeStep,
                     ValueRange values, ValueRange minutes, const QString& valueTitle,
                     const QString& timeTitle, QColor window);
void DrawTrendSegment(QPainter& p, const ChartBox& box, TrendMode mode, QColor colour,
                      std::int32_t prevTime, double prevValue, std::int32_t time, double value,
                      ValueRange range, int minutes);
// A bar from diastolic to systolic with ticks at both ends, 2 pixels wide.
void DrawPressureMark(QPainter& p, const ChartBox& box, QColor colour, std::int32_t time,
                      double diastolic, double systolic, ValueRange range, int minutes);
// A triangle pointing down at the value.
void DrawRecordMarker(QPainter& p, const ChartBox& box, MarkerMode mode, QColor colour,
                      std::int32_t time, double value, ValueRange range, int minutes);
// The three leads on their baselines, each point kept inside the box.
void DrawStrips(QPainter& p, const ChartBox& box, QColor colour,
                const std::array<std::vector<std::int32_t>, kLeadCount>& strips, int verticalRange);
void DrawLeadLabels(QPainter& p, const ChartBox& box, QColor window);

// What the review canvas shows.
struct ReviewScene {
    ReviewLayout layout;
    const StudyReview* review = nullptr;
    UnitTexts units;
    QColor window;
    QFont font;
};

// The whole canvas: background, the four charts with their curves and the current record's
// marks, and the strip panel.
void drawReviewCanvas(QPainter& p, const ReviewScene& scene);
// The current record's marks: green pressure and navy markers when `current`, otherwise the
// red pressure mark and the markers erased.
void drawRecordMarks(QPainter& p, const ReviewScene& scene, bool current);
// Panel, strips of the current record and the panel labels.
void drawStripPanel(QPainter& p, const ReviewScene& scene);

} // namespace esf

#pragma once

#include "st/StMeasure.h"

#include <QRgb>

class QPainter;

namespace esf {

inline constexpr QRgb kStPaperColor = qRgb(255, 255, 255);
inline constexpr QRgb kStCurveColor = qRgb(0, 0, 0);
inline constexpr QRgb kStJColor = qRgb(255, 0, 0);         // J line, J circles, detection point
inline constexpr QRgb kStBaselineColor = qRgb(0, 128, 0);  // baselines, ST circles, grid
inline constexpr QRgb kStCaliperColor = qRgb(255, 255, 0); // XOR-ed onto what is below

// White drawing area with its outline, the division dashes, the small-division dots and the
// dotted division lines.
void drawStGrid(QPainter& painter);

// The three averaged beats, each from its zero line at the left edge, and a red dot on each
// at the detection point.
void drawStCurves(QPainter& painter, const QrsBeats& average, int fidIdx, int speedMmPerS);

// Baselines, J line, J circles and ST circles.
void drawStMarkers(QPainter& painter, const StMarkers& markers);

// Grid, curves and markers: the whole view but the caliper figures.
void drawStView(QPainter& painter, const StMeasurement& measurement);

// Drawing a figure a second time at the same place erases it.
void xorCaliperFigure(QPainter& painter, const CaliperFigure& figure);

} // namespace esf

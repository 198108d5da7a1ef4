#pragma once

#include <QColor>
#include <QRect>

class QPainter;

namespace esf {

inline const QColor kGaugeNavy(0, 0, 128);
inline const QColor kGaugeRed(255, 0, 0);

// The stage gauge: a pie whose filled share is percent of the circle, drawn from 12 o'clock.
void drawPieGauge(QPainter& painter, const QRect& rect, int percent, const QColor& fore,
                  const QColor& back);

} // namespace esf

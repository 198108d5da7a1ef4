#pragma once

#include <QColor>
#include <QRegion>
#include <array>
#include <cstdint>

class QImage;
class QPainter;

namespace esf {

// Background in the button-face colour and the ECG grid at the sweep's scale; w, h are the
// size of the box's image.
void drawQrsBox(QPainter& painter, int w, int h, int bigDiv, QColor buttonFace);
// The same box back over `area` of an image it was drawn on before, taking away what was drawn
// over it there; the whole box when its size, scale or colour changed since the last one.
void restoreQrsBox(QImage& image, int bigDiv, QColor buttonFace, const QRegion& area);

// The averaged beat of each lead around its zero line, from entry scrollPos (0..100) of the
// 201-entry window, starting at the box's left edge. Returns an area holding every pixel drawn.
QRegion drawQrsAverage(QPainter& painter, const std::array<std::array<std::int32_t, 201>, 3>& avg,
                       const std::array<int, 3>& qrsBaseline, double pxPerSample, double pxPerUnit,
                       int scrollPos);

} // namespace esf

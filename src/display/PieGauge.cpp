#include "display/PieGauge.h"

#include <QPainter>
#include <algorithm>

namespace esf {

void drawPieGauge(QPainter& painter, const QRect& rect, int percent, const QColor& fore,
                  const QColor& back)
{
    const QRect r = rect.adjusted(1, 1, -1, -1);
    if (r.width() <= 0 || r.height() <= 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(back);
    painter.drawEllipse(r);
    const int share = std::clamp(percent, 0, 100);
    if (share > 0) {
        painter.setBrush(fore);
        // Qt angles are in 1/16 degree, counter-clockwise from 3 o'clock.
        painter.drawPie(r, 90 * 16, -share * 360 * 16 / 100);
    }
    painter.restore();
}

} // namespace esf

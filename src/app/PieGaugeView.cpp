#include "app/PieGaugeView.h"

#include "display/PieGauge.h"

#include <QPainter>

namespace esf {

PieGaugeView::PieGaugeView(QWidget* parent) : QWidget(parent), m_fore(kGaugeNavy) {}

void PieGaugeView::setProgress(int percent)
{
    if (m_progress == percent)
        return;
    m_progress = percent;
    update();
}

void PieGaugeView::setForeColor(const QColor& c)
{
    if (m_fore == c)
        return;
    m_fore = c;
    update();
}

void PieGaugeView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    drawPieGauge(p, rect(), m_progress, m_fore, Qt::white);
}

} // namespace esf

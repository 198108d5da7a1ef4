#include "app/ImageView.h"

#include <QPaintEvent>
#include <QPainter>

namespace esf {

ImageView::ImageView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageView::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    if (m_image && !m_image->isNull()) {
        // Each rectangle on its own: the two strips of a wrapping sweep, not the width between.
        for (const QRect& r : event->region())
            p.drawImage(r, *m_image, r);
    } else {
        p.fillRect(event->rect(), Qt::black);
    }
}

void ImageView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Q_EMIT resized(size());
}

void ImageView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QWidget::mouseDoubleClickEvent(event);
    Q_EMIT doubleClicked();
}

} // namespace esf

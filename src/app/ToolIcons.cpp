#include "app/ToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace esf {
namespace {

void drawText(QPainter& p, const QRect& r, const QString& text, const QColor& colour, int px)
{
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(px);
    f.setBold(true);
    p.setFont(f);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

void drawDocument(QPainter& p)
{
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.setBrush(Qt::white);
    p.drawRect(7, 3, 18, 26);
}

void drawTriangle(QPainter& p, int x, int w, const QColor& c)
{
    QPainterPath path;
    path.moveTo(x, 6);
    path.lineTo(x + w, 16);
    path.lineTo(x, 26);
    path.closeSubpath();
    p.fillPath(path, c);
}

} // namespace

QIcon toolIcon(ToolGlyph glyph)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect all(0, 0, 32, 32);
    const QColor green(0, 128, 0);
    switch (glyph) {
    case ToolGlyph::NewStudy:
        drawDocument(p);
        drawText(p, all, QStringLiteral("+"), green, 20);
        break;
    case ToolGlyph::OpenStudy:
        p.setPen(QPen(QColor(120, 90, 20), 2));
        p.setBrush(QColor(240, 200, 90));
        p.drawRect(3, 9, 26, 18);
        p.drawRect(3, 6, 10, 4);
        break;
    case ToolGlyph::ViewStudy:
        drawDocument(p);
        p.setPen(QPen(Qt::red, 2));
        p.drawPolyline(QPolygon({QPoint(9, 18), QPoint(13, 18), QPoint(15, 9), QPoint(17, 23),
                                 QPoint(19, 18), QPoint(23, 18)}));
        break;
    case ToolGlyph::Leads:
        drawText(p, all, QStringLiteral("D"), QColor(60, 60, 60), 22);
        break;
    case ToolGlyph::Filter:
        drawText(p, all, QStringLiteral("F"), green, 24);
        break;
    case ToolGlyph::Speed:
        drawText(p, all, QStringLiteral("mm/s"), Qt::red, 11);
        break;
    case ToolGlyph::Gain:
        drawText(p, all, QStringLiteral("mV"), Qt::blue, 14);
        break;
    case ToolGlyph::Start:
        drawTriangle(p, 8, 18, green);
        break;
    case ToolGlyph::Next:
        drawTriangle(p, 5, 12, QColor(0, 90, 170));
        drawTriangle(p, 16, 12, QColor(0, 90, 170));
        break;
    case ToolGlyph::Stop:
        p.fillRect(8, 8, 16, 16, QColor(200, 0, 0));
        break;
    case ToolGlyph::Recovery:
        drawTriangle(p, 4, 14, QColor(0, 90, 170));
        p.fillRect(21, 6, 5, 20, QColor(0, 90, 170));
        break;
    case ToolGlyph::SaveStrip:
        p.setPen(QPen(QColor(40, 40, 40), 2));
        p.setBrush(QColor(90, 110, 160));
        p.drawRect(4, 4, 24, 24);
        p.fillRect(9, 5, 14, 9, Qt::white);
        break;
    }
    p.end();
    return QIcon(pm);
}

} // namespace esf

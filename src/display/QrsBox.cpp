#include "display/QrsBox.h"

#include "common/Rounding.h"
#include "display/SweepDisplay.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QPolygon>
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace esf {

namespace {

constexpr int kWindowLast = 200; // entries 0..200 of the averaged window
constexpr int kMaxScroll = 100;  // range of the box's scroll bar

// The box the direct way: a fill and one batch of grid points.
void paintQrsBox(QPainter& painter, int w, int h, int bigDiv, QColor buttonFace)
{
    if (w <= 0 || h <= 0)
        return;
    painter.fillRect(QRect(0, 0, w, h), buttonFace);
    if (bigDiv <= 0)
        return; // no scale to draw a grid at

    const int smallDiv = bigDiv / 5;
    std::vector<QPoint> pts;
    for (int x = 0; x <= w; ++x) {
        if (x % 8 > 4) {
            for (int k = 1; k <= 28 && k * bigDiv <= h; ++k)
                pts.emplace_back(x, k * bigDiv);
        }
        if (smallDiv > 0 && x % smallDiv == 0) {
            for (int y = 0; y <= h; y += smallDiv)
                pts.emplace_back(x, y);
        }
    }
    const auto lines = roundHalfEven(static_cast<double>(w) / bigDiv);
    for (int k = 1; k <= lines && k * bigDiv <= w; ++k) {
        for (int y = 0; y <= h; y += kGridDotPeriod)
            pts.emplace_back(k * bigDiv, y);
    }
    if (pts.empty())
        return;

    const QPen oldPen = painter.pen();
    painter.setPen(QPen(QColor(kGridColor), 1));
    painter.drawPoints(pts.data(), static_cast<int>(pts.size()));
    painter.setPen(oldPen);
}

// The last box drawn on a raster device, kept as the image that painting it gave: the box is
// redrawn under every new average, and copying it costs a fraction of plotting its grid.
struct BoxCache {
    int w = 0;
    int h = 0;
    int bigDiv = 0;
    QRgb face = 0;
    QImage image;
};

// The box at this size, scale and colour; `changed` tells whether it differs from the last one
// asked for.
const QImage& cachedBox(int w, int h, int bigDiv, QColor buttonFace, bool& changed)
{
    static BoxCache cache;
    changed = cache.image.isNull() || cache.w != w || cache.h != h || cache.bigDiv != bigDiv ||
              cache.face != buttonFace.rgba();
    if (changed) {
        cache = {w, h, bigDiv, buttonFace.rgba(), QImage(w, h, QImage::Format_RGB32)};
        QPainter boxPainter(&cache.image);
        paintQrsBox(boxPainter, w, h, bigDiv, buttonFace);
    }
    return cache.image;
}

} // namespace

void drawQrsBox(QPainter& painter, int w, int h, int bigDiv, QColor buttonFace)
{
    if (w <= 0 || h <= 0)
        return;
    // Only where the copy gives the very pixels that painting would: an RGB32 image, painted
    // plainly with an opaque colour.
    const auto* image = painter.device() && painter.device()->devType() == QInternal::Image
                            ? static_cast<const QImage*>(painter.device())
                            : nullptr;
    const bool raster = image && image->format() == QImage::Format_RGB32 &&
                        buttonFace.alpha() == 255 && painter.transform().isIdentity() &&
                        !painter.hasClipping() && painter.opacity() == 1.0 &&
                        painter.compositionMode() == QPainter::CompositionMode_SourceOver;
    if (!raster) {
        paintQrsBox(painter, w, h, bigDiv, buttonFace);
        return;
    }
    bool changed = false;
    painter.drawImage(QPoint(0, 0), cachedBox(w, h, bigDiv, buttonFace, changed));
}

void restoreQrsBox(QImage& image, int bigDiv, QColor buttonFace, const QRegion& area)
{
    if (image.isNull())
        return;
    if (image.format() != QImage::Format_RGB32 || buttonFace.alpha() != 255) {
        QPainter painter(&image);
        drawQrsBox(painter, image.width(), image.height(), bigDiv, buttonFace);
        return;
    }
    // Row by row from the cached box: no painter to set up on the tick of a new beat.
    bool changed = false;
    const QImage& box = cachedBox(image.width(), image.height(), bigDiv, buttonFace, changed);
    // A new scale or colour changes the whole box, not only the area asked for.
    const QRegion restored = changed ? QRegion(image.rect()) : area.intersected(image.rect());
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (const QRect& r : restored) {
        const auto offset = qsizetype(r.left()) * qsizetype(sizeof(QRgb));
        const auto bytes = std::size_t(r.width()) * sizeof(QRgb);
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::memcpy(bits + y * stride + offset, box.constScanLine(y) + offset, bytes);
    }
}

QRegion drawQrsAverage(QPainter& painter, const std::array<std::array<std::int32_t, 201>, 3>& avg,
                       const std::array<int, 3>& qrsBaseline, double pxPerSample, double pxPerUnit,
                       int scrollPos)
{
    const int first = std::clamp(scrollPos, 0, kMaxScroll);
    const QPen oldPen = painter.pen();
    painter.setPen(QPen(QColor(kQrsAverageColor), 1));
    // Points beyond the device's right edge draw nothing: the line stops at the first one a
    // few pixels past it, so the segment crossing the edge keeps its pixels. Most of the window
    // lies there at 25 mm/s and faster, and each segment costs the painter the same.
    const QPaintDevice* device = painter.device();
    const int stopX = device && painter.transform().isIdentity() ? device->width() + 2
                                                                 : std::numeric_limits<int>::max();
    QPolygon line;
    line.reserve(kWindowLast - first + 2);
    QRegion drawn;
    for (std::size_t lead = 0; lead < avg.size(); ++lead) {
        const int base = qrsBaseline[lead];
        line.clear();
        line << QPoint(0, base);
        for (int i = 0; i <= kWindowLast - first; ++i) {
            const auto entry = avg[lead][static_cast<std::size_t>(first + i)];
            const int x = static_cast<int>(roundHalfEven(i * pxPerSample));
            line << QPoint(x, base - static_cast<int>(roundHalfEven(entry * pxPerUnit)));
            if (x >= stopX)
                break;
        }
        painter.drawPolyline(line);
        // Square caps and the stroker's rounding reach a pixel past the points.
        drawn += line.boundingRect().adjusted(-2, -2, 2, 2);
    }
    painter.setPen(oldPen);
    return drawn;
}

} // namespace esf

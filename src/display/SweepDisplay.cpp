#include "display/SweepDisplay.h"

#include "acquisition/DisplaySettings.h"
#include "common/Rounding.h"
#include "common/SoftAssert.h"

#include <QPainter>
#include <QPen>
#include <QPoint>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace esf {

namespace {

constexpr int kLargeDivisions = 28; // across the width, and the most rows of dashes
constexpr int kSmallDotColumns = 145;
constexpr int kDashPeriod = 8; // dashes of 3 pixels every 8 along each large-division row

void appendDashes(std::vector<QPoint>& pts, const SweepGeometry& g, int x)
{
    if (g.bigDiv <= 0 || x % kDashPeriod <= 4)
        return;
    for (int k = 1; k <= kLargeDivisions && k * g.bigDiv <= g.height; ++k)
        pts.emplace_back(x, k * g.bigDiv);
}

void appendDottedLine(std::vector<QPoint>& pts, int x, int height)
{
    for (int y = 0; y <= height; y += kGridDotPeriod)
        pts.emplace_back(x, y);
}

void appendDotColumn(std::vector<QPoint>& pts, int x, int smallDiv, int height)
{
    if (smallDiv <= 0)
        return;
    for (int y = 0; y <= height; y += smallDiv)
        pts.emplace_back(x, y);
}

// True where the full grid puts a column of small-division dots: at fifths of a large
// division, so a restored column matches the grid around it even when bigDiv is not a
// multiple of 5.
bool isSmallDivisionColumn(const SweepGeometry& g, int x)
{
    if (g.smallDiv <= 0 || x < 0)
        return false;
    const int i = (x * 5 + g.bigDiv - 1) / g.bigDiv;
    return i <= kSmallDotColumns && (i * g.bigDiv) / 5 == x;
}

void appendGridColumn(std::vector<QPoint>& pts, const SweepGeometry& g, int x)
{
    if (g.bigDiv > 0 && x % g.bigDiv == 0)
        appendDottedLine(pts, x, g.height);
    if (isSmallDivisionColumn(g, x))
        appendDotColumn(pts, x, g.smallDiv, g.height);
    appendDashes(pts, g, x);
}

// One drawPoints call per batch: a full-screen grid is tens of thousands of pixels.
void plotPoints(QPainter& painter, const std::vector<QPoint>& pts, QRgb colour)
{
    if (pts.empty())
        return;
    const QPen oldPen = painter.pen();
    painter.setPen(QPen(QColor(colour), 1));
    painter.drawPoints(pts.data(), static_cast<int>(pts.size()));
    painter.setPen(oldPen);
}

// A trace segment inside the image, pixel for pixel as the raster painter draws it with a
// one-pixel pen and square caps: one pixel per row (steep) or column (flat) from end to end,
// stepped in 16.16 fixed point from half a step past the first end.
void plotSegment(uchar* bits, qsizetype stride, const QLine& line)
{
    const auto plot = [bits, stride](int x, int y) {
        reinterpret_cast<QRgb*>(bits + y * stride)[x] = kTraceColor;
    };
    QPoint a = line.p1();
    QPoint b = line.p2();
    if (a == b) {
        plot(a.x(), a.y());
        return;
    }
    const auto start = [](std::int64_t from, std::int64_t step) {
        return from * 65536 + (step > 0 ? step - (step >> 1) : 0);
    };
    if (std::abs(b.x() - a.x()) < std::abs(b.y() - a.y())) {
        if (a.y() > b.y())
            std::swap(a, b);
        const std::int64_t step = std::int64_t(b.x() - a.x()) * 65536 / (b.y() - a.y());
        std::int64_t x = start(a.x(), step);
        for (int y = a.y(); y <= b.y(); ++y, x += step)
            plot(static_cast<int>(x >> 16), y);
    } else {
        if (a.x() > b.x())
            std::swap(a, b);
        const std::int64_t step = std::int64_t(b.y() - a.y()) * 65536 / (b.x() - a.x());
        std::int64_t y = start(a.y(), step);
        for (int x = a.x(); x <= b.x(); ++x, y += step)
            plot(x, static_cast<int>(y >> 16));
    }
}

// The sweep image in memory the kernel may back with 2 MB pages. Erasing a column touches
// every row, each on its own 4 KB page otherwise, and once other programs have pushed the
// image out of the caches those page-table walks are most of a tick.
QImage allocateSweepImage(int w, int h)
{
#ifdef Q_OS_LINUX
    constexpr std::size_t kHugePage = std::size_t(2) << 20;
    const auto bytesPerLine = std::size_t(w) * sizeof(QRgb);
    const std::size_t bytes = bytesPerLine * std::size_t(h);
    if (bytes >= kHugePage) {
        const std::size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        if (void* memory = std::aligned_alloc(kHugePage, size)) {
            madvise(memory, size, MADV_HUGEPAGE); // only a hint: the image works either way
            return QImage(
                static_cast<uchar*>(memory), w, h, qsizetype(bytesPerLine), QImage::Format_RGB32,
                [](void* p) { std::free(p); }, memory);
        }
    }
#endif
    return QImage(w, h, QImage::Format_RGB32);
}

} // namespace

SweepGeometry computeSweepGeometry(int w, int h, int hq, int speedMmPerS)
{
    SweepGeometry g;
    g.width = std::max(w, 0);
    g.height = std::max(h, 0);
    g.bigDiv = divTrunc(g.width, kLargeDivisions);
    g.smallDiv = divTrunc(g.bigDiv, 5);
    g.pxPerUnit = g.bigDiv / 70.0;
    // The whole width holds 145.25 / speed seconds of frames 5 ms apart.
    g.pxPerSample = speedMmPerS > 0 ? g.width / ((145.25 / speedMmPerS) / 0.005) : 0.0;
    const int quarter = divTrunc(g.height, 4);
    const int qrsQuarter = divTrunc(std::max(hq, 0), 4);
    for (int k = 0; k < kLeadCount; ++k) {
        g.baseline[static_cast<std::size_t>(k)] = (k + 1) * quarter;
        g.qrsBaseline[static_cast<std::size_t>(k)] = (k + 1) * qrsQuarter;
    }
    return g;
}

void drawGrid(QPainter& painter, const SweepGeometry& g)
{
    painter.fillRect(QRect(0, 0, g.width, g.height), QColor(kSweepBackgroundColor));
    if (g.bigDiv <= 0)
        return; // narrower than one division per pixel: nothing meaningful to draw

    std::vector<QPoint> pts;
    pts.reserve(static_cast<std::size_t>(g.width) * 3 / 8 * (g.height / g.bigDiv + 1) +
                static_cast<std::size_t>(kLargeDivisions + 1) * (g.height / kGridDotPeriod + 1) +
                (g.smallDiv > 0
                     ? static_cast<std::size_t>(kSmallDotColumns + 1) * (g.height / g.smallDiv + 1)
                     : 0));
    for (int x = 0; x <= g.width; ++x)
        appendDashes(pts, g, x);
    for (int i = 0; i <= kLargeDivisions; ++i)
        appendDottedLine(pts, i * g.bigDiv, g.height);
    if (g.smallDiv > 0) {
        // Small divisions at fifths of the large ones, which is not always a multiple of
        // smallDiv when bigDiv is not a multiple of 5.
        for (int i = 0; i <= kSmallDotColumns; ++i) {
            const int x = (i * g.bigDiv) / 5;
            if (x > g.width)
                break;
            appendDotColumn(pts, x, g.smallDiv, g.height);
        }
    }
    plotPoints(painter, pts, kGridColor);
}

void restoreGridColumn(QPainter& painter, const SweepGeometry& g, int x)
{
    std::vector<QPoint> pts;
    appendGridColumn(pts, g, x);
    plotPoints(painter, pts, kGridColor);
}

void SweepDisplay::resize(int w, int h, int hq)
{
    w = std::max(w, 0);
    h = std::max(h, 0);
    hq = std::max(hq, 0);
    if (w == m_image.width() && h == m_image.height() && hq == m_qrsHeight)
        return;
    m_qrsHeight = hq;
    m_image = (w > 0 && h > 0) ? allocateSweepImage(w, h) : QImage();
    drawGrid(m_speed);
}

void SweepDisplay::drawGrid(int speedMmPerS)
{
    m_speed = speedMmPerS;
    m_geometry = computeSweepGeometry(m_image.width(), m_image.height(), m_qrsHeight, m_speed);
    // What was still to be drawn would be covered by the new grid.
    m_pendingLines.clear();
    m_pendingLeads.clear();
    m_ink.assign(static_cast<std::size_t>(m_image.width()), {});
    m_eraseLast = m_eraseFirst - 1;
    if (!m_image.isNull()) {
        QPainter painter(&m_image);
        esf::drawGrid(painter, m_geometry);
    }
    m_state.sweepCount = 0.0;
    m_state.sweepX = 0;
    m_state.prevX = 0;
    m_dirty = m_image.rect();
    m_dirtyBeforeWrap = QRect();
}

void SweepDisplay::drawTraceSample(int value, int lead)
{
    ESF_ASSERT(lead >= 0 && lead < kLeadCount, return );
    if (m_image.isNull())
        return;

    if (lead == 0)
        advance();

    const auto k = static_cast<std::size_t>(lead);
    const int y = static_cast<int>(roundHalfEven(value * m_geometry.pxPerUnit));
    const int base = m_geometry.baseline[k];
    const QPoint from(m_state.prevX, base - m_state.lastY[k]);
    const QPoint to(m_state.sweepX, base - y);
    m_pendingLines.emplace_back(from, to);
    m_pendingLeads.push_back(lead);
    markDirty(QRect(from, to).normalized());
    m_state.lastY[k] = y;
}

void SweepDisplay::advance()
{
    const int w = m_geometry.width;
    m_state.prevX = m_state.sweepX;
    m_state.sweepCount += 1.0;
    const std::int64_t pos = roundHalfEven(m_state.sweepCount * m_geometry.pxPerSample);
    m_state.sweepX = static_cast<int>(((pos % w) + w) % w);
    if (m_state.sweepX == m_state.prevX)
        return; // several frames on one column draw vertical strokes there

    int first = m_state.prevX + 1;
    if (m_state.sweepX < m_state.prevX) {
        // Wrapped. On a wide display the new column may lie past the left edge: clear up to it
        // and start the segments at the edge, so no line is drawn back across the screen.
        m_state.prevX = 0;
        first = 0;
        flush(); // the segments so far may lie where the new columns are erased
        m_dirtyBeforeWrap |= std::exchange(m_dirty, QRect());
    }
    // Without a wrap the new columns continue the pending ones.
    if (m_eraseLast < m_eraseFirst)
        m_eraseFirst = first;
    m_eraseLast = m_state.sweepX;
    markDirty(QRect(first, 0, m_state.sweepX - first + 1, m_geometry.height));
}

void SweepDisplay::flush() const
{
    if (m_eraseLast < m_eraseFirst && m_pendingLines.empty())
        return;
    // Plain pixel writes where they give the pixels the painter would: a painter's set-up and
    // its general code paths cost more than the few hundred pixels of a tick.
    uchar* const bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    if (m_eraseLast >= m_eraseFirst) {
        // Background and grid again on the rows that hold trace: the rest of each column
        // has nothing else on it.
        const auto pixel = [bits, stride](int x, int y) -> QRgb& {
            return reinterpret_cast<QRgb*>(bits + y * stride)[x];
        };
        for (int x = m_eraseFirst; x <= m_eraseLast; ++x) {
            auto& ink = m_ink[static_cast<std::size_t>(x)];
            const auto inked = [&ink](int y) {
                return std::any_of(ink.begin(), ink.end(),
                                   [y](const InkRows& r) { return y >= r.top && y <= r.bottom; });
            };
            for (const InkRows& r : ink) {
                for (int y = r.top; y <= r.bottom; ++y)
                    pixel(x, y) = kSweepBackgroundColor;
            }
            m_gridPoints.clear();
            appendGridColumn(m_gridPoints, m_geometry, x);
            for (const QPoint& p : m_gridPoints) {
                if (inked(p.y()))
                    pixel(p.x(), p.y()) = kGridColor;
            }
            ink.fill(InkRows{});
        }
        m_eraseLast = m_eraseFirst - 1;
    }
    // Segments that leave the image go to the painter, which clips them.
    const QRect bounds = m_image.rect();
    std::size_t clipped = 0;
    for (std::size_t i = 0; i < m_pendingLines.size(); ++i) {
        const QLine line = m_pendingLines[i];
        // The painter's square caps and rounding stay within a pixel of the end points.
        const QRect box =
            QRect(line.p1(), line.p2()).normalized().adjusted(-1, -1, 1, 1).intersected(bounds);
        for (int x = box.left(); x <= box.right(); ++x) {
            InkRows& rows = m_ink[static_cast<std::size_t>(x)][std::size_t(m_pendingLeads[i])];
            if (rows.bottom < rows.top) {
                rows = {box.top(), box.bottom()};
            } else {
                rows.top = std::min(rows.top, box.top());
                rows.bottom = std::max(rows.bottom, box.bottom());
            }
        }
        if (bounds.contains(line.p1()) && bounds.contains(line.p2()))
            plotSegment(bits, stride, line);
        else
            m_pendingLines[clipped++] = line;
    }
    if (clipped > 0) {
        QPainter painter(&m_image);
        painter.setPen(QPen(QColor(kTraceColor), 1));
        painter.drawLines(m_pendingLines.data(), static_cast<int>(clipped));
    }
    m_pendingLines.clear();
    m_pendingLeads.clear();
}

QRegion SweepDisplay::takeDirtyRegion()
{
    flush(); // the tick is over: the window is about to show the image
    QRegion region(std::exchange(m_dirtyBeforeWrap, QRect()));
    region += std::exchange(m_dirty, QRect());
    return region;
}

void SweepDisplay::markDirty(const QRect& r)
{
    m_dirty |= r.intersected(m_image.rect());
}

} // namespace esf

#pragma once

#include <QImage>
#include <QLine>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QRgb>
#include <array>
#include <vector>

class QPainter;

namespace esf {

inline constexpr QRgb kSweepBackgroundColor = qRgb(0, 0, 0); // also the erase pen
inline constexpr QRgb kGridColor = qRgb(0, 128, 0);
inline constexpr QRgb kTraceColor = qRgb(255, 255, 0);
inline constexpr QRgb kQrsAverageColor = qRgb(255, 0, 0);

// Dotted large-division lines light one pixel in every kGridDotPeriod rows, counted from the
// top, so a line restored column by column matches the one drawn with the whole grid.
inline constexpr int kGridDotPeriod = 3;

// Scales shared by the sweep, the QRS box and the ST view.
struct SweepGeometry {
    int width = 0;
    int height = 0;
    int bigDiv = 0;                // pixels of one large division (0.5 mV), on both axes
    int smallDiv = 0;              // bigDiv div 5; 0 when the display is narrower than 140 pixels
    double pxPerUnit = 0.0;        // 70 sample units per large division
    double pxPerSample = 0.0;      // horizontal advance per frame
    std::array<int, 3> baseline{}; // zero line of each lead in the sweep
    std::array<int, 3> qrsBaseline{}; // zero line of each lead in the QRS box
};

// w, h: sweep image size; hq: QRS box height; speed in mm/s. A non-positive speed gives a
// sweep that does not advance.
SweepGeometry computeSweepGeometry(int w, int h, int hq, int speedMmPerS);

// Black background and the whole grid.
void drawGrid(QPainter& painter, const SweepGeometry& g);

// The grid of one pixel column, for a column that has just been erased.
void restoreGridColumn(QPainter& painter, const SweepGeometry& g, int x);

struct SweepState {
    double sweepCount = 0;      // frames since the last drawGrid
    int sweepX = 0;             // column of the newest frame
    int prevX = 0;              // column the newest segments start from
    std::array<int, 3> lastY{}; // last plotted offset of each lead, pixels above its zero line
};

// The live ECG image: frames are written at a position that sweeps left to right and wraps,
// leaving the older signal visible to the right of it until it is overwritten.
class SweepDisplay {
public:
    // Reallocates the image and redraws the grid at the current speed when a size changed.
    void resize(int w, int h, int hq);

    // Clears the image, recomputes the geometry and restarts the sweep at the left edge.
    void drawGrid(int speedMmPerS);

    // One sample of one lead; lead 0 of each frame advances the sweep. The drawing waits until
    // the dirty region is taken or the image is read: a tick's columns are then erased in one
    // pass and its segments drawn together, which gives the same pixels.
    void drawTraceSample(int value, int lead);

    const QImage& image() const
    {
        flush();
        return m_image;
    }
    const SweepGeometry& geometry() const { return m_geometry; }
    const SweepState& state() const { return m_state; }

    // Area changed since the last call, so a window repaints only the new columns: on the tick
    // that wraps, the strip at the right edge and the one at the left, not the whole width.
    QRegion takeDirtyRegion();

private:
    void advance();
    void markDirty(const QRect& r);
    void flush() const;

    // The image and what is still to be drawn on it, all brought up to date by flush().
    // Pending erased columns lie right of every pending segment: a wrap flushes first.
    mutable QImage m_image;
    mutable int m_eraseFirst = 0;
    mutable int m_eraseLast = -1; // no columns to erase while below m_eraseFirst
    mutable std::vector<QLine> m_pendingLines;
    mutable std::vector<int> m_pendingLeads; // the lead of each pending segment
    // Rows of each column that may hold trace pixels, per lead: erasing a column needs only
    // these, and touching every row of a tall image for a few pixels of trace is most of a
    // tick once other programs have emptied the caches.
    struct InkRows {
        int top = 0;
        int bottom = -1; // none while below top
    };
    mutable std::vector<std::array<InkRows, 3>> m_ink;
    mutable std::vector<QPoint> m_gridPoints; // reused for the grid of the erased columns
    SweepGeometry m_geometry;
    SweepState m_state;
    QRect m_dirty;           // since the last wrap
    QRect m_dirtyBeforeWrap; // up to the right edge, when the sweep wrapped since the last take
    int m_speed = 25;        // mm/s until the first drawGrid
    int m_qrsHeight = 0;
};

} // namespace esf

#include "display/QrsBox.h"
#include "display/SweepDisplay.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <cmath>

using namespace esf;

namespace {

const QRgb kYellow = qRgb(255, 255, 0); // traces
const QRgb kBlack = qRgb(0, 0, 0);      // sweep background and erase pen

QString describe(const QImage& img, int x, int y)
{
    return QStringLiteral("pixel (%1, %2) is %3").arg(x).arg(y).arg(QColor(img.pixel(x, y)).name());
}

// Frames, each with the same value on all three leads.
void drawFrames(SweepDisplay& d, int count, int value)
{
    for (int i = 0; i < count; ++i)
        for (int lead = 0; lead < 3; ++lead)
            d.drawTraceSample(value, lead);
}

// Columns x0..x1 of the whole height.
QImage columns(const QImage& img, int x0, int x1)
{
    return img.copy(x0, 0, x1 - x0 + 1, img.height());
}

using Average = std::array<std::array<std::int32_t, 201>, 3>;

const QRgb kFace = qRgb(240, 240, 240);
const QRgb kRed = qRgb(255, 0, 0);                    // the averaged beat
const std::array<int, 3> kBaselines = {80, 160, 240}; // a box 320 pixels high

// Drawn at 0.5 px per unit: 140 units, 1 mV, are 70 px.
QImage averageImage(const Average& avg, int scroll, double pxPerSample)
{
    QImage img(200, 320, QImage::Format_RGB32);
    img.fill(kBlack);
    QPainter p(&img);
    drawQrsAverage(p, avg, kBaselines, pxPerSample, 0.5, scroll);
    return img;
}

// Entry i of every lead is entry(i).
template <typename Entry> Average averageOf(Entry entry)
{
    Average avg{};
    for (auto& lead : avg)
        for (std::size_t i = 0; i < lead.size(); ++i)
            lead[i] = entry(static_cast<int>(i));
    return avg;
}

} // namespace

// The live sweep and the QRS box beside it.
class TestDisplay : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void geometry();
    void framesPerSweep();
    void sampleLandsAtScale();
    void gridEdges();
    void wrapAtColumnZeroErasesOnlyColumnZero();
    void sweptColumnsKeepNoOldTrace_data();
    void sweptColumnsKeepNoOldTrace();
    void wrapPastColumnZeroRestartsAtLeftEdge();
    void dirtyRectAndRestart();
    void tinyDisplaysNeverCrash();
    void boxGrid();
    void averageOnItsRowsAndScrolled();
    void redrawsMatchTheWholeDrawing_data();
    void redrawsMatchTheWholeDrawing();
};

void TestDisplay::geometry()
{
    const SweepGeometry g = computeSweepGeometry(1000, 600, 251, 25);
    QCOMPARE(g.pxPerUnit, 0.5);
    QCOMPARE(g.baseline, (std::array<int, 3>{150, 300, 450}));
    QCOMPARE(g.qrsBaseline, (std::array<int, 3>{62, 124, 186})); // 251 / 4 truncated
    // Small divisions need 140 pixels; 1600 gives a large division that is no multiple of 5.
    for (auto [w, bigDiv, smallDiv] : {std::array{1000, 35, 7}, std::array{1600, 57, 11},
                                       std::array{140, 5, 1}, std::array{139, 4, 0}}) {
        const SweepGeometry other = computeSweepGeometry(w, 600, 200, 25);
        QCOMPARE(other.bigDiv, bigDiv);
        QCOMPARE(other.smallDiv, smallDiv);
    }
}

void TestDisplay::framesPerSweep()
{
    // Width, speed and frames per sweep; at 1600 pixels more than one pixel per frame, and the
    // table speeds still bring every wrap onto column 0.
    for (const auto& [w, speed, frames] :
         {std::array{1000, 10, 2905}, {1000, 50, 581}, {1600, 50, 581}}) {
        SweepDisplay d;
        d.resize(w, 8, 8);
        d.drawGrid(speed);
        QList<int> wrapFrames;
        for (int frame = 1; wrapFrames.size() < 3 && frame <= 4 * frames; ++frame) {
            const int before = d.state().sweepX;
            d.drawTraceSample(0, 0);
            if (d.state().sweepX < before) {
                QCOMPARE(d.state().sweepX, 0);
                wrapFrames << frame;
            }
        }
        QCOMPARE(wrapFrames.size(), 3);
        // Rounding may bring the first wrap one frame early; from then on the period is exact.
        QVERIFY2(qAbs(wrapFrames[0] - frames) <= 1, qPrintable(QString::number(wrapFrames[0])));
        QCOMPARE(wrapFrames[2] - wrapFrames[1], frames);
        QCOMPARE(wrapFrames[1] - wrapFrames[0], frames);
    }
}

void TestDisplay::sampleLandsAtScale()
{
    // At 10 mm/s on 1000 pixels frames 2, 3 and 4 share column 1.
    SweepDisplay d;
    d.resize(1000, 600, 200);
    d.drawGrid(10);
    drawFrames(d, 2, 0);
    QCOMPARE(d.state().sweepX, 1);

    // +1 mV on lead 0; on leads 1 and 2 half pixels, -23.5 and 22.5, which round to even.
    d.drawTraceSample(140, 0);
    d.drawTraceSample(-47, 1);
    d.drawTraceSample(45, 2);
    QCOMPARE(d.state().lastY, (std::array<int, 3>{70, -24, 22}));
    const QImage& img = d.image();
    QCOMPARE(img.pixel(1, 150 - 70), kYellow);
    QCOMPARE(img.pixel(1, 150 - 71), kBlack);
    QCOMPARE(img.pixel(1, 300 + 24), kYellow);
    QCOMPARE(img.pixel(1, 450 - 22), kYellow);

    // A later frame on the same column adds its stroke without erasing the earlier one.
    drawFrames(d, 1, -70);
    QCOMPARE(d.state().sweepX, 1);
    QCOMPARE(d.image().pixel(1, 150 - 70), kYellow);
    QCOMPARE(d.image().pixel(1, 150 + 35), kYellow);
}

void TestDisplay::gridEdges()
{
    // Display size, a pixel and whether the grid lights it. At 1600 the large division is 57
    // and small ones sit at its fifths (11, 22, 34), not at multiples of 11; at 100 it is 3,
    // with no whole-pixel small division.
    const struct {
        int w, h;
        QPoint at;
        bool grid;
    } cases[] = {{1000, 600, {7, 35}, true},   // last pixel of a dash
                 {1000, 600, {8, 35}, false},  // the gap after it
                 {1000, 600, {980, 3}, true},  // last large division, dotted
                 {700, 1000, {6, 700}, true},  // dash on the 28th division row
                 {700, 1000, {6, 725}, false}, // none past it
                 {1600, 300, {34, 11}, true},  {1600, 300, {33, 11}, false},
                 {100, 50, {3, 3}, true},      {100, 50, {1, 0}, false}};
    for (const auto& c : cases) {
        SweepDisplay d;
        d.resize(c.w, c.h, 100);
        d.drawGrid(25);
        QVERIFY2(d.image().pixel(c.at) == (c.grid ? kGridColor : kBlack),
                 qPrintable(describe(d.image(), c.at.x(), c.at.y())));
    }
}

void TestDisplay::wrapAtColumnZeroErasesOnlyColumnZero()
{
    // A large division of 57, no multiple of 5: restored dots must still sit at its fifths.
    const int width = 1600;
    const int right = width - 1;
    SweepDisplay grid;
    grid.resize(width, 600, 200);
    grid.drawGrid(25);

    SweepDisplay d;
    d.resize(width, 600, 200);
    d.drawGrid(25);
    // First sweep: strokes of +-300 units cover every row of every column; back to 0 at the end.
    for (int frame = 0; frame < 1160; ++frame)
        drawFrames(d, 1, frame % 2 == 0 ? 300 : -300);
    drawFrames(d, 1, 0);
    QCOMPARE(d.state().sweepX, right);
    const QImage before = d.image().copy();

    drawFrames(d, 1, 70); // wraps: the new segment is a stroke from each zero line up
    QCOMPARE(d.state().sweepX, 0);
    QCOMPARE(d.state().prevX, 0);
    const QImage& img = d.image();
    QVERIFY2(columns(img, 1, right) == columns(before, 1, right), "a column right of 0 changed");
    // Column 0: erased, grid back, a new stroke from each zero line up to the new value.
    const int rise = static_cast<int>(std::nearbyint(70 * d.geometry().pxPerUnit));
    for (int y : {300, 300 - rise})
        QCOMPARE(img.pixel(0, y), kYellow);
    for (int y : {0, 300 + 1, 300 - rise - 1})
        QCOMPARE(img.pixel(0, y), grid.image().pixel(0, y));

    // Further on far off the top: the erased columns show nothing but the grid.
    drawFrames(d, 600, 100000);
    const int last = d.state().sweepX;
    QVERIFY(last > 400);
    QVERIFY2(columns(d.image(), 1, last) == columns(grid.image(), 1, last),
             "erased columns differ");
    QCOMPARE(d.image().pixel(last + 1, 300), kYellow); // not yet erased
}

void TestDisplay::sweptColumnsKeepNoOldTrace_data()
{
    QTest::addColumn<int>("speed");
    QTest::newRow("10 mm/s") << 10;
    QTest::newRow("25 mm/s") << 25;
    QTest::newRow("50 mm/s") << 50;
}

void TestDisplay::sweptColumnsKeepNoOldTrace()
{
    // A random trace, partly off the image, then one far above it: wherever the sweep has
    // passed again only the grid is left, at every speed and slope.
    QFETCH(int, speed);
    SweepDisplay grid;
    grid.resize(997, 400, 100);
    grid.drawGrid(speed);
    SweepDisplay d;
    d.resize(997, 400, 100);
    d.drawGrid(speed);
    std::uint32_t seed = 12345;
    int value = 0;
    while (d.state().sweepCount < 1.2 * 997 / d.geometry().pxPerSample) {
        for (int lead = 0; lead < 3; ++lead) {
            seed = seed * 1103515245u + 12345u;
            value = std::clamp(value + int(seed >> 16) % 161 - 80, -900, 900);
            d.drawTraceSample(lead == 1 ? -value : value, lead);
        }
    }
    const int start = d.state().sweepX;
    drawFrames(d, int(600 / d.geometry().pxPerSample), 100000);
    const int last = d.state().sweepX;
    QVERIFY(last > start + 500);
    QVERIFY2(columns(d.image(), start + 1, last) == columns(grid.image(), start + 1, last),
             "swept columns differ from the grid");
}

void TestDisplay::wrapPastColumnZeroRestartsAtLeftEdge()
{
    // 60 mm/s (484.17 frames across) on 1600 pixels: frame 485 lands on column 3, not on 0.
    SweepDisplay d;
    d.resize(1600, 600, 200);
    d.drawGrid(60);
    drawFrames(d, 483, 0);
    d.takeDirtyRegion();
    drawFrames(d, 1, 0);
    QCOMPARE(d.state().sweepX, 1599);
    const QImage before = d.image().copy();

    drawFrames(d, 1, 140);
    const int x = d.state().sweepX;
    QCOMPARE(x, 3);
    QCOMPARE(d.state().prevX, 0);
    // The window repaints the strip at the right edge and the one at the left, not the width.
    const QRegion dirty = d.takeDirtyRegion();
    QCOMPARE(dirty.rectCount(), 2);
    QCOMPARE(dirty.boundingRect(), QRect(0, 0, 1600, 600));
    QVERIFY(dirty.contains(QRect(0, 0, x + 1, 600)));
    QVERIFY(!dirty.contains(QPoint(800, 300)));
    const QImage& img = d.image();
    // Nothing right of the new column changed: no line back across the screen.
    QVERIFY2(columns(img, x + 1, 1599) == columns(before, x + 1, 1599),
             "a column right of the wrap changed");
    // The old trace in columns 0..x is gone; the new segments run from the left edge on the
    // old level (0) to the new column at 140 units (57/70 px each: 114 px).
    for (int base : {150, 300, 450}) {
        QCOMPARE(img.pixel(0, base), kYellow);
        QCOMPARE(img.pixel(x, base - 114), kYellow);
        for (int c = 1; c <= x; ++c)
            QVERIFY2(img.pixel(c, base) != kYellow, qPrintable(describe(img, c, base)));
    }
}

void TestDisplay::dirtyRectAndRestart()
{
    SweepDisplay d;
    d.resize(1000, 600, 200);
    QCOMPARE(d.takeDirtyRegion().boundingRect(), QRect(0, 0, 1000, 600));
    d.drawGrid(50);
    drawFrames(d, 10, 140);
    d.takeDirtyRegion();
    const int from = d.state().sweepX;
    drawFrames(d, 1, 140);
    // Erased columns are full height; the segments start at the previous column.
    const QRegion dirty = d.takeDirtyRegion();
    QCOMPARE(dirty.rectCount(), 1);
    QCOMPARE(dirty.boundingRect(), QRect(QPoint(from, 0), QPoint(d.state().sweepX, 599)));
    QVERIFY(d.takeDirtyRegion().isEmpty());
    QCOMPARE(d.image().pixel(from, 80), kYellow);

    // A new grid, as on a change of speed, restarts the sweep on a clean image.
    d.drawGrid(25);
    QCOMPARE(d.state().sweepX, 0);
    QCOMPARE(d.image().pixel(from, 80), kBlack);
}

void TestDisplay::tinyDisplaysNeverCrash()
{
    // Around the widths for one large division (28) and one small one (140).
    for (int w : {-5, 0, 1, 27, 28, 139, 140}) {
        for (int h : {0, 1, 17}) {
            SweepDisplay d;
            d.resize(w, h, 5);
            for (int speed : {25, 0}) {
                d.drawGrid(speed);
                drawFrames(d, 300, 100000);
                QVERIFY(d.state().sweepX >= 0 && d.state().sweepX < std::max(w, 1));
            }
        }
    }
}

void TestDisplay::boxGrid()
{
    // Box size, scale, a pixel and whether the grid lights it; without a scale only the face.
    const struct {
        int w, h, bigDiv;
        QPoint at;
        bool grid;
    } cases[] = {{200, 150, 35, {7, 35}, true},  // last pixel of a dash
                 {200, 150, 35, {8, 35}, false}, // the gap after it
                 {200, 150, 35, {14, 7}, true},  // a small-division dot
                 {200, 150, 35, {35, 3}, true},  // a dotted large division
                 {200, 150, 35, {0, 3}, false},  // none on the left edge
                 {172, 60, 57, {171, 0}, true},  // large division on the last column
                 {40, 30, 4, {1, 0}, false},     // no small division
                 {12, 12, 0, {11, 11}, false},   {12, 12, -1, {11, 11}, false},
                 {1, 1, 1, {0, 0}, false}};
    for (const auto& c : cases) {
        QImage img(c.w, c.h, QImage::Format_RGB32);
        img.fill(Qt::magenta); // anything the box leaves unpainted stands out
        QPainter p(&img);
        drawQrsBox(p, c.w, c.h, c.bigDiv, QColor(kFace));
        p.end();
        QVERIFY2(img.pixel(c.at) == (c.grid ? kGridColor : kFace),
                 qPrintable(describe(img, c.at.x(), c.at.y())));
    }
}

void TestDisplay::averageOnItsRowsAndScrolled()
{
    // 70 px above each zero line, at 25 mm/s on a 1000-pixel sweep.
    const QImage img = averageImage(averageOf([](int) { return 140; }), 0, 1000.0 / 1162);
    const int end = 172; // round(200 * 0.8606)
    for (int base : kBaselines) {
        QCOMPARE(img.pixel(end, base - 70), kRed);
        QCOMPARE(img.pixel(end + 1, base - 70), kBlack);
        // From the zero line at the left edge up to the first entry.
        QCOMPARE(img.pixel(0, base), kRed);
    }

    // Entries before the detection point 30 px below the zero line, from it on 30 px above.
    const Average avg = averageOf([](int i) { return i < 100 ? -60 : 60; });
    const auto image = [&](int scroll) { return averageImage(avg, scroll, 1.0); };
    QCOMPARE(image(0).pixel(50, 80 + 30), kRed);

    // At 100 entries 100..200 are drawn from the left edge, and the trace ends at x = 100.
    const QImage scrolled = image(100);
    for (int base : kBaselines) {
        QCOMPARE(scrolled.pixel(100, base - 30), kRed);
        QCOMPARE(scrolled.pixel(101, base - 30), kBlack);
    }
    // Out of range, the scroll bar's ends hold.
    QCOMPARE(image(250), scrolled);
    QCOMPARE(image(-7), image(0));
    QVERIFY(image(50) != image(0));
}

void TestDisplay::redrawsMatchTheWholeDrawing_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<double>("pxPerSample");
    QTest::addColumn<int>("scroll");
    QTest::newRow("10 mm/s, all entries inside") << 138 << 1920.0 / 2905 << 0;
    QTest::newRow("25 mm/s") << 138 << 1920.0 / 1162 << 0;
    QTest::newRow("50 mm/s, scrolled") << 138 << 1920.0 / 581 << 37;
    QTest::newRow("narrow box") << 9 << 3.0 << 100;
}
void TestDisplay::redrawsMatchTheWholeDrawing()
{
    // Each new average restores the box only where the last one lay and stops its lines
    // past the right edge: every image must equal the box and the whole lines drawn anew, also
    // when the desktop's colours change on the way.
    QFETCH(int, width);
    QFETCH(double, pxPerSample);
    QFETCH(int, scroll);
    const int h = 320;
    QImage kept(width, h, QImage::Format_RGB32);
    restoreQrsBox(kept, 35, QColor(kFace), kept.rect());
    QRegion lastDrawn;
    for (int beat = 0; beat < 12; ++beat) {
        // Beats tall enough to leave the box, of either sign, and flat ones.
        const Average avg = averageOf(
            [beat](int i) { return (beat % 3 - 1) * (i * 37 + beat * 101) % (beat * 90 + 1); });
        const QColor face = beat < 6 ? QColor(kFace) : QColor(200, 210, 220);
        restoreQrsBox(kept, 35, face, lastDrawn);
        QPainter keptPainter(&kept);
        lastDrawn = drawQrsAverage(keptPainter, avg, kBaselines, pxPerSample, 0.5, scroll);
        keptPainter.end();

        QImage whole(width, h, QImage::Format_RGB32);
        QPainter p(&whole);
        drawQrsBox(p, width, h, 35, face);
        p.setPen(QPen(QColor(kRed), 1));
        for (std::size_t lead = 0; lead < avg.size(); ++lead) {
            QPolygon line{QPoint(0, kBaselines[lead])};
            for (int i = 0; i + scroll <= 200; ++i)
                line << QPoint(int(std::nearbyint(i * pxPerSample)),
                               kBaselines[lead] - int(std::nearbyint(avg[lead][i + scroll] * 0.5)));
            p.drawPolyline(line);
        }
        p.end();
        QVERIFY2(kept == whole, qPrintable(QStringLiteral("beat %1").arg(beat)));
    }
}

QTEST_MAIN(TestDisplay)
#include "tst_display.moc"

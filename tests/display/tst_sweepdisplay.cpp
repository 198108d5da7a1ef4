#include "display/SweepDisplay.h"

#include <QImage>
#include <QPainter>
#include <QTest>

using namespace esf;

namespace {

QString describe(const QImage& img, int x, int y)
{
    return QStringLiteral("pixel (%1, %2) is %3").arg(x).arg(y).arg(QColor(img.pixel(x, y)).name());
}

// Green exactly where the grid rules put a pixel, black everywhere else.
bool isGridPixel(int x, int y, int bigDiv)
{
    const int smallDiv = bigDiv / 5;
    const bool dash = x % 8 > 4 && y > 0 && y % bigDiv == 0 && y / bigDiv <= 28;
    const bool largeLine = x % bigDiv == 0 && x / bigDiv <= 28 && y % kGridDotPeriod == 0;
    // Small-division columns sit at (i * bigDiv) div 5, i = 0..145.
    const int i = (x * 5 + bigDiv - 1) / bigDiv;
    const bool smallDot = smallDiv > 0 && i <= 145 && (i * bigDiv) / 5 == x && y % smallDiv == 0;
    return dash || largeLine || smallDot;
}

// Frames, each with the same value on all three leads.
void drawFrames(SweepDisplay& d, int count, int value)
{
    for (int i = 0; i < count; ++i)
        for (int lead = 0; lead < 3; ++lead)
            d.drawTraceSample(value, lead);
}

int countInRow(const QImage& img, int y, int x0, int x1, QRgb colour)
{
    int n = 0;
    for (int x = x0; x <= x1; ++x)
        n += img.pixel(x, y) == colour ? 1 : 0;
    return n;
}

} // namespace

class TestSweepDisplay : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void geometry_data();
    void geometry();
    void framesPerSweep_data();
    void framesPerSweep();
    void sampleLandsAtScale();
    void framesOnOneColumnDrawStrokes();
    void gridPixels_data();
    void gridPixels();
    void narrowGridHasNoSmallDivisions();
    void wrapAtColumnZeroErasesOnlyColumnZero();
    void wrapPastColumnZeroRestartsAtLeftEdge();
    void erasedColumnsGetTheirGridBack();
    void dirtyRectCoversOnlyNewColumns();
    void drawGridRestartsSweep();
    void tinyDisplaysNeverCrash();
};

void TestSweepDisplay::geometry_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("hq");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("bigDiv");
    QTest::addColumn<int>("smallDiv");
    QTest::addColumn<double>("pxPerUnit");
    QTest::addColumn<double>("pxPerSample");
    QTest::addColumn<QList<int>>("baselines");
    QTest::addColumn<QList<int>>("qrsBaselines");

    QTest::newRow("1000x600 at 25") << 1000 << 600 << 200 << 25 << 35 << 7 << 0.5 << 1000.0 / 1162
                                    << QList<int>{150, 300, 450} << QList<int>{50, 100, 150};
    QTest::newRow("1000x600 at 10") << 1000 << 600 << 200 << 10 << 35 << 7 << 0.5 << 1000.0 / 2905
                                    << QList<int>{150, 300, 450} << QList<int>{50, 100, 150};
    QTest::newRow("1600x900 at 50")
        << 1600 << 900 << 251 << 50 << 57 << 11 << 57 / 70.0 << 1600.0 / 581
        << QList<int>{225, 450, 675} << QList<int>{62, 124, 186};
    QTest::newRow("odd height") << 1000 << 603 << 7 << 25 << 35 << 7 << 0.5 << 1000.0 / 1162
                                << QList<int>{150, 300, 450} << QList<int>{1, 2, 3};
    QTest::newRow("just wide enough")
        << 140 << 100 << 100 << 25 << 5 << 1 << 5 / 70.0 << 140.0 / 1162 << QList<int>{25, 50, 75}
        << QList<int>{25, 50, 75};
    QTest::newRow("too narrow for small divisions")
        << 139 << 100 << 100 << 25 << 4 << 0 << 4 / 70.0 << 139.0 / 1162 << QList<int>{25, 50, 75}
        << QList<int>{25, 50, 75};
}

void TestSweepDisplay::geometry()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, hq);
    QFETCH(int, speed);
    QFETCH(int, bigDiv);
    QFETCH(int, smallDiv);
    QFETCH(double, pxPerUnit);
    QFETCH(double, pxPerSample);
    QFETCH(QList<int>, baselines);
    QFETCH(QList<int>, qrsBaselines);

    const SweepGeometry g = computeSweepGeometry(w, h, hq, speed);
    QCOMPARE(g.width, w);
    QCOMPARE(g.height, h);
    QCOMPARE(g.bigDiv, bigDiv);
    QCOMPARE(g.smallDiv, smallDiv);
    QCOMPARE(g.pxPerUnit, pxPerUnit);
    QVERIFY2(qAbs(g.pxPerSample - pxPerSample) < 1e-12, qPrintable(QString::number(g.pxPerSample)));
    for (int k = 0; k < 3; ++k) {
        QCOMPARE(g.baseline[static_cast<std::size_t>(k)], baselines.at(k));
        QCOMPARE(g.qrsBaseline[static_cast<std::size_t>(k)], qrsBaselines.at(k));
    }
}

void TestSweepDisplay::framesPerSweep_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("frames");

    QTest::newRow("1000 at 10 mm/s") << 1000 << 10 << 2905;
    QTest::newRow("1000 at 25 mm/s") << 1000 << 25 << 1162;
    QTest::newRow("1000 at 50 mm/s") << 1000 << 50 << 581;
    // More than one pixel per frame: the table speeds still bring every wrap onto column 0.
    QTest::newRow("1600 at 50 mm/s") << 1600 << 50 << 581;
    QTest::newRow("1600 at 25 mm/s") << 1600 << 25 << 1162;
    QTest::newRow("1920 at 50 mm/s") << 1920 << 50 << 581;
}

void TestSweepDisplay::framesPerSweep()
{
    QFETCH(int, w);
    QFETCH(int, speed);
    QFETCH(int, frames);

    SweepDisplay d;
    d.resize(w, 8, 8);
    d.drawGrid(speed);
    QList<int> wrapFrames;
    for (int frame = 1; wrapFrames.size() < 3 && frame <= 4 * frames; ++frame) {
        const int before = d.state().sweepX;
        d.drawTraceSample(0, 0);
        const int x = d.state().sweepX;
        QVERIFY(x >= 0 && x < w);
        if (x < before) {
            QCOMPARE(x, 0);
            wrapFrames << frame;
        }
    }
    QCOMPARE(wrapFrames.size(), 3);
    // Rounding may bring the first wrap one frame early; from then on the period is exact.
    QVERIFY2(qAbs(wrapFrames[0] - frames) <= 1, qPrintable(QString::number(wrapFrames[0])));
    QCOMPARE(wrapFrames[1] - wrapFrames[0], frames);
    QCOMPARE(wrapFrames[2] - wrapFrames[1], frames);
}

void TestSweepDisplay::sampleLandsAtScale()
{
    SweepDisplay d;
    d.resize(1000, 600, 200);
    d.drawGrid(50);
    drawFrames(d, 20, 0);

    // One frame: +1 mV on lead 0, -1 mV on lead 1, a value that lands on half a pixel on lead 2.
    d.drawTraceSample(140, 0);
    const int x = d.state().sweepX;
    d.drawTraceSample(-140, 1);
    d.drawTraceSample(45, 2);
    QCOMPARE(d.state().sweepX, x);                                // only lead 0 advances
    QCOMPARE(d.state().lastY, (std::array<int, 3>{70, -70, 22})); // 22.5 rounds to even

    const QImage& img = d.image();
    QVERIFY2(img.pixel(x, 150 - 70) == kTraceColor, qPrintable(describe(img, x, 80)));
    QVERIFY2(img.pixel(x, 300 + 70) == kTraceColor, qPrintable(describe(img, x, 370)));
    QVERIFY2(img.pixel(x, 450 - 22) == kTraceColor, qPrintable(describe(img, x, 428)));
    // Nothing beyond the sample: the stroke stops at its value.
    QVERIFY(img.pixel(x, 150 - 71) != kTraceColor);
    QVERIFY(img.pixel(x, 300 + 71) != kTraceColor);
    // The segment starts at the previous column on the zero line.
    QVERIFY(img.pixel(d.state().prevX, 150) == kTraceColor);
    QVERIFY(d.state().prevX < x);
}

void TestSweepDisplay::framesOnOneColumnDrawStrokes()
{
    // At 10 mm/s on 1000 pixels frames 2, 3 and 4 share column 1.
    SweepDisplay d;
    d.resize(1000, 600, 200);
    d.drawGrid(10);
    drawFrames(d, 2, 0);
    QCOMPARE(d.state().sweepX, 1);
    drawFrames(d, 1, 140);
    drawFrames(d, 1, -70);
    QCOMPARE(d.state().sweepX, 1);

    const QImage& img = d.image();
    for (int y = 150 - 70; y <= 150 + 35; ++y)
        QVERIFY2(img.pixel(1, y) == kTraceColor, qPrintable(describe(img, 1, y)));
    QVERIFY(img.pixel(2, 150) != kTraceColor);
}

void TestSweepDisplay::gridPixels_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");

    QTest::newRow("1000x600") << 1000 << 600;
    QTest::newRow("bigDiv multiple of 5, rows past the last division") << 700 << 1000;
    QTest::newRow("bigDiv 57") << 1600 << 300;
}

void TestSweepDisplay::gridPixels()
{
    QFETCH(int, w);
    QFETCH(int, h);

    SweepDisplay d;
    d.resize(w, h, 100);
    d.drawGrid(25);
    const QImage& img = d.image();
    const int bigDiv = d.geometry().bigDiv;

    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb expected = isGridPixel(x, y, bigDiv) ? kGridColor : kSweepBackgroundColor;
            if (img.pixel(x, y) != expected)
                QFAIL(qPrintable(describe(img, x, y)));
        }
    }

    if (w == 1000) {
        // A few positions by hand, so the rule above is not the only witness.
        QCOMPARE(img.pixel(5, 35), kGridColor); // dash of three pixels
        QCOMPARE(img.pixel(7, 35), kGridColor);
        QCOMPARE(img.pixel(8, 35), kSweepBackgroundColor);
        QCOMPARE(img.pixel(4, 35), kSweepBackgroundColor);
        QCOMPARE(img.pixel(14, 21), kGridColor); // small-division dot
        QCOMPARE(img.pixel(14, 22), kSweepBackgroundColor);
        QCOMPARE(img.pixel(980, 3), kGridColor); // last large division, dotted
        QCOMPARE(img.pixel(980, 4), kSweepBackgroundColor);
        QCOMPARE(img.pixel(999, 599), kSweepBackgroundColor);
    }
}

void TestSweepDisplay::narrowGridHasNoSmallDivisions()
{
    // bigDiv 3: there is no whole-pixel small division, so only large divisions are drawn.
    SweepDisplay d;
    d.resize(100, 50, 20);
    d.drawGrid(25);
    QCOMPARE(d.geometry().smallDiv, 0);
    const QImage& img = d.image();
    QCOMPARE(img.pixel(3, 3), kGridColor); // large-division line, dotted
    QCOMPARE(img.pixel(5, 3), kGridColor); // dash on the first row
    QCOMPARE(img.pixel(1, 0), kSweepBackgroundColor);
    QCOMPARE(img.pixel(4, 4), kSweepBackgroundColor);

    drawFrames(d, 1000, 0); // restoring columns with smallDiv 0 must not divide by zero
    QVERIFY(d.state().sweepX >= 0 && d.state().sweepX < 100);
}

void TestSweepDisplay::wrapAtColumnZeroErasesOnlyColumnZero()
{
    SweepDisplay d;
    d.resize(1000, 600, 200);
    d.drawGrid(25);
    drawFrames(d, 1, -140); // leaves a stroke below each zero line in column 0
    drawFrames(d, 1160, 0);
    QCOMPARE(d.state().sweepX, 999);
    const QImage before = d.image().copy();
    QCOMPARE(before.pixel(0, 150), kTraceColor);
    QCOMPARE(before.pixel(0, 160), kTraceColor);
    QCOMPARE(before.pixel(0, 310), kTraceColor);

    drawFrames(d, 1, 70); // wraps: the new segment is a stroke from the zero line up 35 px
    QCOMPARE(d.state().sweepX, 0);
    QCOMPARE(d.state().prevX, 0);

    const QImage& img = d.image();
    for (int y = 0; y < 600; ++y) {
        for (int x = 1; x < 1000; ++x) {
            if (img.pixel(x, y) != before.pixel(x, y))
                QFAIL(qPrintable(QStringLiteral("column %1 changed at the wrap").arg(x)));
        }
    }
    QCOMPARE(img.pixel(1, 220), kTraceColor); // the old trace stays to the right
    QCOMPARE(img.pixel(500, 300), kTraceColor);
    QCOMPARE(img.pixel(999, 450), kTraceColor);

    // Column 0: erased, grid back, new strokes from each zero line up to the new value.
    for (int y = 0; y < 600; ++y) {
        const bool stroke =
            (y >= 115 && y <= 150) || (y >= 265 && y <= 300) || (y >= 415 && y <= 450);
        const QRgb expected =
            stroke ? kTraceColor : (isGridPixel(0, y, 35) ? kGridColor : kSweepBackgroundColor);
        QVERIFY2(img.pixel(0, y) == expected, qPrintable(describe(img, 0, y)));
    }
}

void TestSweepDisplay::wrapPastColumnZeroRestartsAtLeftEdge()
{
    // 60 mm/s (484.17 frames across) on 1600 pixels: frame 485 lands on column 3, not on 0.
    SweepDisplay d;
    d.resize(1600, 600, 200);
    d.drawGrid(60);
    drawFrames(d, 484, 0);
    QCOMPARE(d.state().sweepX, 1599);
    const QImage before = d.image().copy();

    drawFrames(d, 1, 140);
    const int x = d.state().sweepX;
    QCOMPARE(x, 3);
    QCOMPARE(d.state().prevX, 0);

    const QImage& img = d.image();
    // Nothing right of the new column changed: no line back across the screen.
    for (int y = 0; y < 600; ++y) {
        for (int c = x + 1; c < 1600; ++c) {
            if (img.pixel(c, y) != before.pixel(c, y))
                QFAIL(qPrintable(QStringLiteral("column %1 changed at the wrap").arg(c)));
        }
    }
    // The old trace in columns 0..x is gone; the new segments run from the left edge on the
    // old level (0) to the new column at 140 units (57/70 px each: 114 px).
    const int rise = 114;
    for (int base : {150, 300, 450}) {
        QCOMPARE(img.pixel(0, base), kTraceColor);
        QCOMPARE(img.pixel(x, base - rise), kTraceColor);
        QCOMPARE(img.pixel(x, base), kSweepBackgroundColor);
        QCOMPARE(countInRow(img, base, 1, x, kTraceColor), 0);
        QCOMPARE(img.pixel(x + 1, base), kTraceColor); // old sweep still to the right
    }
    // Erased columns have their grid back (bigDiv 57: dotted line at 0, dots every 11).
    QCOMPARE(img.pixel(0, 3), kGridColor);
    QCOMPARE(img.pixel(0, 11), kGridColor);
    QCOMPARE(img.pixel(1, 3), kSweepBackgroundColor);
}

void TestSweepDisplay::erasedColumnsGetTheirGridBack()
{
    const int w = 1000;
    const int h = 600;
    QImage grid(w, h, QImage::Format_RGB32);
    {
        QPainter p(&grid);
        drawGrid(p, computeSweepGeometry(w, h, 200, 25));
    }

    SweepDisplay d;
    d.resize(w, h, 200);
    d.drawGrid(25);
    // First sweep: strokes of +-300 units cover every row of every column.
    for (int frame = 0; frame < 1161; ++frame)
        drawFrames(d, 1, frame % 2 == 0 ? 300 : -300);
    QCOMPARE(countInRow(d.image(), 300, 0, w - 1, kTraceColor), w);

    // Second sweep far off the top: apart from the stroke at the wrap column, the erased
    // columns must show nothing but the grid.
    drawFrames(d, 600, 100000);
    const int last = d.state().sweepX;
    QVERIFY(last > 400);
    const QImage& img = d.image();
    for (int x = 1; x <= last; ++x) {
        for (int y = 0; y < h; ++y) {
            if (img.pixel(x, y) != grid.pixel(x, y))
                QFAIL(qPrintable(describe(img, x, y)));
        }
    }
    QCOMPARE(img.pixel(last + 1, 300), kTraceColor); // not yet erased
}

void TestSweepDisplay::dirtyRectCoversOnlyNewColumns()
{
    SweepDisplay d;
    d.resize(1000, 600, 200);
    QCOMPARE(d.takeDirtyRect(), QRect(0, 0, 1000, 600));
    d.drawGrid(50);
    QCOMPARE(d.takeDirtyRect(), QRect(0, 0, 1000, 600));
    QVERIFY(d.takeDirtyRect().isNull());

    drawFrames(d, 10, 0);
    d.takeDirtyRect();
    const int from = d.state().sweepX;
    drawFrames(d, 1, 140);
    const int to = d.state().sweepX;
    const QRect dirty = d.takeDirtyRect();
    // Erased columns are full height; the segments start at the previous column.
    QCOMPARE(dirty, QRect(QPoint(from, 0), QPoint(to, 599)));
    QVERIFY(d.takeDirtyRect().isNull());

    // A segment that runs off the image is clipped to it.
    drawFrames(d, 1, 100000);
    QVERIFY(QRect(0, 0, 1000, 600).contains(d.takeDirtyRect()));
}

void TestSweepDisplay::drawGridRestartsSweep()
{
    SweepDisplay d;
    d.resize(1000, 600, 200);
    d.drawGrid(25);
    drawFrames(d, 300, 140);
    QVERIFY(d.state().sweepX > 200);
    QCOMPARE(d.image().pixel(100, 80), kTraceColor);

    d.drawGrid(50);
    QCOMPARE(d.state().sweepX, 0);
    QCOMPARE(d.state().prevX, 0);
    QCOMPARE(d.state().sweepCount, 0.0);
    QCOMPARE(d.image().pixel(100, 80), kSweepBackgroundColor);
    QCOMPARE(d.geometry().pxPerSample, computeSweepGeometry(1000, 600, 200, 50).pxPerSample);

    // A new size redraws at the speed in use.
    d.resize(1200, 600, 200);
    QCOMPARE(d.image().size(), QSize(1200, 600));
    QCOMPARE(d.geometry().pxPerSample, computeSweepGeometry(1200, 600, 200, 50).pxPerSample);
    QCOMPARE(d.image().pixel(0, 0), kGridColor);
}

void TestSweepDisplay::tinyDisplaysNeverCrash()
{
    // Wide enough or not for a large division (28) and a small one (140).
    for (int w : {0, 1, 2, 3, 5, 8, 13, 27, 28, 29, 100, 139, 140, 141}) {
        for (int h : {0, 1, 3, 17}) {
            SweepDisplay d;
            d.resize(w, h, 5);
            for (int speed : {25, 50, 0}) {
                d.drawGrid(speed);
                for (int frame = 0; frame < 600; ++frame)
                    for (int lead = 0; lead < 3; ++lead)
                        d.drawTraceSample((frame % 7 - 3) * 5000, lead);
                if (w > 0 && h > 0)
                    QVERIFY(d.state().sweepX >= 0 && d.state().sweepX < w);
                else
                    QCOMPARE(d.state().sweepX, 0);
            }
        }
    }
    SweepDisplay d;
    d.resize(-5, -5, -5);
    d.drawTraceSample(1, 0);
    QVERIFY(d.image().isNull());
}

QTEST_MAIN(TestSweepDisplay)
#include "tst_sweepdisplay.moc"

#include "display/QrsBox.h"
#include "display/SweepDisplay.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <cmath>

using namespace esf;

namespace {

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
    void sweptColumnsKeepNoOldTrace_data();
    void sweptColumnsKeepNoOldTrace();
    void tinyDisplaysNeverCrash();
    void redrawsMatchTheWholeDrawing_data();
    void redrawsMatchTheWholeDrawing();
};

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

void TestDisplay::tinyDisplaysNeverCrash()
{
    // Around the widths for one large division (28) and one small one (140), one or more rows.
    for (auto [w, h] :
         {std::pair{-5, 17}, {0, 17}, {1, 1}, {27, 17}, {28, 1}, {139, 17}, {140, 1}, {140, 0}}) {
        SweepDisplay d;
        d.resize(w, h, 5);
        for (int speed : {25, 0}) {
            d.drawGrid(speed);
            drawFrames(d, 300, 100000);
            QVERIFY(d.state().sweepX >= 0 && d.state().sweepX < std::max(w, 1));
        }
    }
}

void TestDisplay::redrawsMatchTheWholeDrawing_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<double>("pxPerSample");
    QTest::addColumn<int>("scroll");
    QTest::addColumn<int>("bigDiv");
    QTest::newRow("10 mm/s, all entries inside") << 138 << 1920.0 / 2905 << 0 << 35;
    QTest::newRow("25 mm/s") << 138 << 1920.0 / 1162 << 0 << 35;
    QTest::newRow("50 mm/s, scrolled") << 138 << 1920.0 / 581 << 37 << 35;
    QTest::newRow("narrow box") << 9 << 3.0 << 100 << 35;
    QTest::newRow("no scale, no grid") << 138 << 1920.0 / 1162 << 0 << 0;
}
void TestDisplay::redrawsMatchTheWholeDrawing()
{
    // Each new average restores the box only where the last one lay and stops its lines
    // past the right edge: every image must equal the box and the whole lines drawn anew, also
    // when the desktop's colours change on the way.
    QFETCH(int, width);
    QFETCH(double, pxPerSample);
    QFETCH(int, scroll);
    QFETCH(int, bigDiv);
    const int h = 320;
    QImage kept(width, h, QImage::Format_RGB32);
    restoreQrsBox(kept, bigDiv, QColor(kFace), kept.rect());
    QRegion lastDrawn;
    for (int beat = 0; beat < 12; ++beat) {
        // Beats tall enough to leave the box, of either sign, and flat ones.
        const Average avg = averageOf(
            [beat](int i) { return (beat % 3 - 1) * (i * 37 + beat * 101) % (beat * 90 + 1); });
        const QColor face = beat < 6 ? QColor(kFace) : QColor(200, 210, 220);
        restoreQrsBox(kept, bigDiv, face, lastDrawn);
        QPainter keptPainter(&kept);
        lastDrawn = drawQrsAverage(keptPainter, avg, kBaselines, pxPerSample, 0.5, scroll);
        keptPainter.end();

        QImage whole(width, h, QImage::Format_RGB32);
        QPainter p(&whole);
        drawQrsBox(p, width, h, bigDiv, face);
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

#include "display/QrsBox.h"
#include "display/SweepDisplay.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <cmath>

using namespace esf;

namespace {

using Average = std::array<std::array<std::int32_t, 201>, 3>;

const QRgb kFace = qRgb(240, 240, 240);
const QRgb kBlack = qRgb(0, 0, 0);
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

class TestQrsBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void boxGrid()
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
                     qPrintable(QStringLiteral("%1 wide, pixel (%2, %3)")
                                    .arg(c.w)
                                    .arg(c.at.x())
                                    .arg(c.at.y())));
        }
    }
    void constantAverageOnItsRow()
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
    }
    void scrollChoosesFirstEntry()
    {
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
    void redrawsMatchTheWholeDrawing_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<double>("pxPerSample");
        QTest::addColumn<int>("scroll");
        QTest::newRow("10 mm/s, all entries inside") << 138 << 1920.0 / 2905 << 0;
        QTest::newRow("25 mm/s") << 138 << 1920.0 / 1162 << 0;
        QTest::newRow("50 mm/s, scrolled") << 138 << 1920.0 / 581 << 37;
        QTest::newRow("narrow box") << 9 << 3.0 << 100;
    }
    void redrawsMatchTheWholeDrawing()
    {
        // Each new average restores the box only where the last one lay and stops its lines
        // past the right edge: every image must equal the box and the whole lines drawn anew.
        QFETCH(int, width);
        QFETCH(double, pxPerSample);
        QFETCH(int, scroll);
        const int h = 320;
        QImage kept(width, h, QImage::Format_RGB32);
        QPainter keptPainter(&kept);
        drawQrsBox(keptPainter, width, h, 35, QColor(kFace));
        QRegion lastDrawn;
        for (int beat = 0; beat < 12; ++beat) {
            // Beats tall enough to leave the box, of either sign, and flat ones.
            const Average avg = averageOf(
                [beat](int i) { return (beat % 3 - 1) * (i * 37 + beat * 101) % (beat * 90 + 1); });
            drawQrsBox(keptPainter, width, h, 35, QColor(kFace), lastDrawn);
            lastDrawn = drawQrsAverage(keptPainter, avg, kBaselines, pxPerSample, 0.5, scroll);

            QImage whole(width, h, QImage::Format_RGB32);
            QPainter p(&whole);
            drawQrsBox(p, width, h, 35, QColor(kFace));
            p.setPen(QPen(QColor(kRed), 1));
            for (std::size_t lead = 0; lead < avg.size(); ++lead) {
                QPolygon line{QPoint(0, kBaselines[lead])};
                for (int i = 0; i + scroll <= 200; ++i)
                    line << QPoint(int(std::nearbyint(i * pxPerSample)),
                                   kBaselines[lead] -
                                       int(std::nearbyint(avg[lead][i + scroll] * 0.5)));
                p.drawPolyline(line);
            }
            p.end();
            QVERIFY2(kept == whole, qPrintable(QStringLiteral("beat %1").arg(beat)));
        }
    }
};

QTEST_MAIN(TestQrsBox)
#include "tst_qrsbox.moc"

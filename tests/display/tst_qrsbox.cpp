#include "display/QrsBox.h"
#include "display/SweepDisplay.h"

#include <QImage>
#include <QPainter>
#include <QTest>

using namespace esf;

namespace {

using Average = std::array<std::array<std::int32_t, 201>, 3>;

const QRgb kFace = qRgb(240, 240, 240);
const QRgb kBlack = qRgb(0, 0, 0);
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
    void boxGrid_data();
    void boxGrid();
    void constantAverageOnItsRow();
    void scrollChoosesFirstEntry();
};

void TestQrsBox::boxGrid_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("bigDiv");

    QTest::newRow("box of a 1000-pixel sweep") << 200 << 150 << 35;
    QTest::newRow("bigDiv 57, large division on the last column") << 172 << 60 << 57;
    QTest::newRow("no small division") << 40 << 30 << 4;
    QTest::newRow("no scale") << 12 << 12 << 0;
    QTest::newRow("negative scale") << 12 << 12 << -1;
    QTest::newRow("one pixel") << 1 << 1 << 1;
}

void TestQrsBox::boxGrid()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, bigDiv);

    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::magenta); // anything the box leaves unpainted stands out
    {
        QPainter p(&img);
        drawQrsBox(p, w, h, bigDiv, QColor(kFace));
    }
    const int smallDiv = bigDiv / 5;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // Without a scale there is only the background.
            const bool dash = bigDiv > 0 && x % 8 > 4 && y > 0 && y % bigDiv == 0;
            const bool dot = smallDiv > 0 && x % smallDiv == 0 && y % smallDiv == 0;
            const bool line = bigDiv > 0 && x > 0 && x % bigDiv == 0 && y % kGridDotPeriod == 0;
            if (img.pixel(x, y) != (dash || dot || line ? kGridColor : kFace))
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) is wrong").arg(x).arg(y)));
        }
    }
}

void TestQrsBox::constantAverageOnItsRow()
{
    // 70 px above each zero line, at 25 mm/s on a 1000-pixel sweep.
    const QImage img = averageImage(averageOf([](int) { return 140; }), 0, 1000.0 / 1162);
    const int end = 172; // round(200 * 0.8606)
    for (int base : kBaselines) {
        const int row = base - 70;
        for (int x : {0, 1, 100, end})
            QCOMPARE(img.pixel(x, row), kQrsAverageColor);
        QCOMPARE(img.pixel(end + 1, row), kBlack);
        QCOMPARE(img.pixel(100, row + 1), kBlack);
        // From the zero line at the left edge up to the first entry.
        QCOMPARE(img.pixel(0, base), kQrsAverageColor);
        QCOMPARE(img.pixel(1, base), kBlack);
    }
}

void TestQrsBox::scrollChoosesFirstEntry()
{
    // Entries before the detection point 30 px below the zero line, from it on 30 px above.
    const Average avg = averageOf([](int i) { return i < 100 ? -60 : 60; });
    const auto image = [&](int scroll) { return averageImage(avg, scroll, 1.0); };
    QCOMPARE(image(0).pixel(50, 80 + 30), kQrsAverageColor);

    // At 100 entries 100..200 are drawn from the left edge, and the trace ends at x = 100.
    const QImage scrolled = image(100);
    for (int base : kBaselines) {
        QCOMPARE(scrolled.pixel(1, base - 30), kQrsAverageColor);
        QCOMPARE(scrolled.pixel(100, base - 30), kQrsAverageColor);
        QCOMPARE(scrolled.pixel(101, base - 30), kBlack);
        QCOMPARE(scrolled.pixel(50, base + 30), kBlack);
    }
    // Out of range, the scroll bar's ends hold.
    QCOMPARE(image(250), scrolled);
    QCOMPARE(image(-7), image(0));
    QVERIFY(image(50) != image(0));
}

QTEST_MAIN(TestQrsBox)
#include "tst_qrsbox.moc"

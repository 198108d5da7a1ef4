#include "display/QrsBox.h"
#include "display/SweepDisplay.h"

#include <QImage>
#include <QPainter>
#include <QTest>

using namespace esf;

namespace {

using Average = std::array<std::array<std::int32_t, 201>, 3>;

const QRgb kFace = qRgb(240, 240, 240);
const std::array<int, 3> kBaselines = {80, 160, 240}; // a box 320 pixels high

QString describe(const QImage& img, int x, int y)
{
    return QStringLiteral("pixel (%1, %2) is %3").arg(x).arg(y).arg(QColor(img.pixel(x, y)).name());
}

QImage boxImage(int w, int h, int bigDiv)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::magenta); // anything the box leaves unpainted stands out
    QPainter p(&img);
    drawQrsBox(p, w, h, bigDiv, QColor(kFace));
    return img;
}

QImage averageImage(const Average& avg, int scroll, double pxPerSample, double pxPerUnit)
{
    QImage img(200, 320, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    drawQrsAverage(p, avg, kBaselines, pxPerSample, pxPerUnit, scroll);
    return img;
}

Average constantAverage(std::int32_t value)
{
    Average avg{};
    for (auto& lead : avg)
        lead.fill(value);
    return avg;
}

// Entries before the detection point low, from it on high: shows which entries are drawn.
Average stepAverage(std::int32_t before, std::int32_t from)
{
    Average avg{};
    for (auto& lead : avg)
        for (std::size_t i = 0; i < lead.size(); ++i)
            lead[i] = i < 100 ? before : from;
    return avg;
}

} // namespace

class TestQrsBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void boxGrid_data();
    void boxGrid();
    void tinyBoxesNeverCrash();
    void constantAverageOnItsRow();
    void scrollChoosesFirstEntry();
    void scrollIsClamped();
};

void TestQrsBox::boxGrid_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("bigDiv");

    QTest::newRow("box of a 1000-pixel sweep") << 200 << 150 << 35;
    QTest::newRow("bigDiv 57") << 230 << 130 << 57;
    QTest::newRow("large division on the last column") << 172 << 60 << 57;
    QTest::newRow("no small division") << 40 << 30 << 4;
}

void TestQrsBox::boxGrid()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, bigDiv);

    const QImage img = boxImage(w, h, bigDiv);
    const int smallDiv = bigDiv / 5;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool dash = x % 8 > 4 && y > 0 && y % bigDiv == 0;
            const bool dot = smallDiv > 0 && x % smallDiv == 0 && y % smallDiv == 0;
            const bool line = x > 0 && x % bigDiv == 0 && y % kGridDotPeriod == 0;
            const QRgb expected = dash || dot || line ? kGridColor : kFace;
            if (img.pixel(x, y) != expected)
                QFAIL(qPrintable(describe(img, x, y)));
        }
    }
}

void TestQrsBox::tinyBoxesNeverCrash()
{
    for (int w = 0; w <= 12; ++w) {
        for (int h = 0; h <= 12; h += 3) {
            for (int bigDiv = -1; bigDiv <= 6; ++bigDiv) {
                const QImage img = boxImage(std::max(w, 1), std::max(h, 1), bigDiv);
                if (w > 0 && h > 0) {
                    const QRgb corner = img.pixel(w - 1, h - 1);
                    QVERIFY(corner == kFace || corner == kGridColor);
                }
            }
        }
    }
}

void TestQrsBox::constantAverageOnItsRow()
{
    // 140 units at 0.5 px per unit: 70 px above each zero line.
    const double pxPerSample = 1000.0 / 1162; // 25 mm/s on a 1000-pixel sweep
    const QImage img = averageImage(constantAverage(140), 0, pxPerSample, 0.5);
    const int end = 172; // round(200 * 0.8606)
    for (int base : kBaselines) {
        const int row = base - 70;
        for (int x : {0, 1, 100, end})
            QVERIFY2(img.pixel(x, row) == kQrsAverageColor, qPrintable(describe(img, x, row)));
        QCOMPARE(img.pixel(end + 1, row), qRgb(0, 0, 0));
        // From the zero line at the left edge up to the first entry.
        QCOMPARE(img.pixel(0, base), kQrsAverageColor);
        QCOMPARE(img.pixel(0, base - 35), kQrsAverageColor);
        QCOMPARE(img.pixel(1, base), qRgb(0, 0, 0));
        QCOMPARE(img.pixel(100, row - 1), qRgb(0, 0, 0));
        QCOMPARE(img.pixel(100, row + 1), qRgb(0, 0, 0));
    }
}

void TestQrsBox::scrollChoosesFirstEntry()
{
    const Average avg = stepAverage(-60, 60); // 30 px below / above the zero line
    const double pxPerSample = 1.0;

    const QImage whole = averageImage(avg, 0, pxPerSample, 0.5);
    QCOMPARE(whole.pixel(50, 80 + 30), kQrsAverageColor);
    QCOMPARE(whole.pixel(150, 80 - 30), kQrsAverageColor);
    QCOMPARE(whole.pixel(50, 80 - 30), qRgb(0, 0, 0));
    QCOMPARE(whole.pixel(199, 80 - 30), kQrsAverageColor); // entry 199 still inside

    // At 100 entries 100..200 are drawn from the left edge, and the trace ends at x = 100.
    const QImage scrolled = averageImage(avg, 100, pxPerSample, 0.5);
    for (int base : kBaselines) {
        QCOMPARE(scrolled.pixel(1, base - 30), kQrsAverageColor);
        QCOMPARE(scrolled.pixel(50, base - 30), kQrsAverageColor);
        QCOMPARE(scrolled.pixel(100, base - 30), kQrsAverageColor);
        QCOMPARE(scrolled.pixel(101, base - 30), qRgb(0, 0, 0));
        QCOMPARE(scrolled.pixel(50, base + 30), qRgb(0, 0, 0));
    }
}

void TestQrsBox::scrollIsClamped()
{
    Average ramp{};
    for (auto& lead : ramp)
        for (std::size_t i = 0; i < lead.size(); ++i)
            lead[i] = static_cast<std::int32_t>(i) - 100;
    QCOMPARE(averageImage(ramp, 250, 0.9, 0.4), averageImage(ramp, 100, 0.9, 0.4));
    QCOMPARE(averageImage(ramp, -7, 0.9, 0.4), averageImage(ramp, 0, 0.9, 0.4));
    QVERIFY(averageImage(ramp, 50, 0.9, 0.4) != averageImage(ramp, 0, 0.9, 0.4));
}

QTEST_MAIN(TestQrsBox)
#include "tst_qrsbox.moc"

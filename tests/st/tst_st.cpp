#include "TestSupport.h"
#include "st/StDrawing.h"
#include "st/StMeasure.h"
#include "st/TQRSview.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <climits>
#include <functional>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

// Entry i of every lead is level + slope × i; with slope 1 an ST result names the sample it read.
QrsBeats beats(std::int32_t level, std::int32_t slope = 0)
{
    QrsBeats avg{};
    for (auto& lead : avg)
        for (std::size_t i = 0; i < lead.size(); ++i)
            lead[i] = level + slope * static_cast<std::int32_t>(i);
    return avg;
}

StMeasurement opened(const QrsBeats& avg, int fidIdx = 100, int speed = 25, double gain = 1.0)
{
    StMeasurement m;
    m.open(avg, fidIdx, speed, gain);
    return m;
}

// Opens the view and runs the steps while it is up.
std::array<float, 3> showWith(TQRSview& view, const QrsBeats& avg, int fidIdx, int speed,
                              double gain, std::function<void()> steps)
{
    whileShown(view, std::move(steps));
    return view.ShowQRS(avg, fidIdx, speed, gain);
}

QStringList stBoxes(const TQRSview& v)
{
    return {v.STD2lbl->text(), v.STV2lbl->text(), v.STV5lbl->text()};
}

} // namespace

// The ST measurement on an averaged beat, then the window that shows it.
class TestSt : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void measurementAndReadings()
    {
        // 88.5 px across and 29.5 px up both halve to even.
        QCOMPARE(QPoint(stSampleX(60, 25), stSampleY(35, 1)), QPoint(93, 271));
        QVERIFY(stCrossCursorAt({6, 6}) && !stCrossCursorAt({300, 600}));

        // Value, then shown: a zero ST sample lies 5 px under the baseline; a baseline on the
        // zero level; 59 px caliper drags; signs of zero; five digits, then the exponent.
        const std::pair<double, QString> shown[] = {{computeSt(0, 0, 0, 1.0), u"-0.042"_s},
                                                    {computeSt(-70, 0, -5, 0.5), u"-1.000"_s},
                                                    {timeReading(300, 359, 25), u"0.200"_s},
                                                    {timeReading(359, 300, 50), u"0.100"_s},
                                                    {amplitudeReading(300, 241, 1.0), u"0.500"_s},
                                                    {amplitudeReading(241, 300, 2.0), u"0.250"_s},
                                                    {-0.0004, u"0.000"_s},
                                                    {-12345.678, u"-12346.000"_s},
                                                    {123456.0, u"1.2346E+005"_s}};
        for (const auto& [value, text] : shown)
            QCOMPARE(formatStValue(value), text);

        // J–T typed, then samples; text that is no integer leaves the interval in force.
        StMeasurement m = opened(beats(0, 1), 50); // J at 62
        const std::tuple<QString, bool, int> typed[] = {
            {u"80"_s, true, 16}, {u"83"_s, true, 17}, {u"8a"_s, false, 17}};
        for (const auto& [text, taken, samples] : typed) {
            QCOMPARE(m.setJtText(text), taken);
            QCOMPARE(m.stIdx(), 62 + samples);
        }

        // J and the ST point stop at either end of the beat.
        for (auto [fid, j] : {std::pair{-50, 0}, {INT_MAX, 200}, {INT_MIN, 0}})
            QCOMPARE(opened(beats(0, 1), fid).jIdx(), j);
        m = opened(beats(0, 1), 188);
        m.moveJ(1);
        QCOMPARE(m.jIdx(), 200);
        QCOMPARE(m.st()[0], computeSt(200, 0, 0, 1.0));
        m.moveJ(-190);
        QVERIFY(m.setJtText(u"999"_s));
        QCOMPARE(m.stIdx(), 200);

        // One click up lowers that lead's ST by 0.5 / 59 / gain; offsets stop at ±100.
        m = opened(beats(30), 100, 25, 2.0);
        m.computeSt();
        const auto before = m.st();
        m.stepBaseline(1, 1);
        QCOMPARE(m.baselineTop(1), 295);
        QVERIFY(std::abs((before[1] - m.st()[1]) - 0.5 / 59 / 2.0) < 1e-6);
        QVERIFY(m.st()[0] == before[0] && m.st()[2] == before[2]);
        m.stepBaseline(0, 150);
        m.stepBaseline(2, -150);
        QCOMPARE(m.baselineTop(0), 148 - 100);
        QCOMPARE(m.baselineTop(2), 444 + 100);
    }
    void stateKeptBetweenOpenings()
    {
        // Untouched, the first opening shows and returns the results of no computation.
        TQRSview view;
        const auto r0 = showWith(view, beats(70), 100, 25, 2.0, [&] {
            QCOMPARE(view.windowTitle(), u" QRS promedio"_s);
            QCOMPARE(stBoxes(view), QStringList(3, u"0.000"_s));
            QTest::keyClick(&view, Qt::Key_Escape);
        });
        QCOMPARE(r0, (std::array<float, 3>{0.0f, 0.0f, 0.0f}));

        // A J–T that is no integer moves nothing, with no message; leaving the field, or closing
        // the window, gives it back the interval in force. The arrows keep to 0..100.
        QStringList first;
        const auto r1 = showWith(view, beats(0, 1), 100, 25, 1.0, [&] {
            QLineEdit* jt = view.JTtxt;
            typeInto(jt, u"x"_s);
            QCOMPARE(view.measurement().stIdx(), 128);
            for (QWidget* w : QApplication::topLevelWidgets())
                QVERIFY(!(qobject_cast<QMessageBox*>(w) && w->isVisible()));
            view.Okbtn->setFocus();
            QCOMPARE(jt->text(), u"80"_s);
            typeInto(jt, u"150"_s);
            QCOMPARE(view.measurement().stIdx(), 142);
            click(view.UpDownJT->prevButton());
            QCOMPARE(jt->text(), u"99"_s);
            for (int i = 0; i < 3; ++i)
                click(view.UpDownJT->nextButton());
            QCOMPARE(jt->text(), u"100"_s);
            click(view.UpDownV5->prevButton());
            click(view.JIzDe->nextButton());
            first = stBoxes(view);
            jt->clear();
            view.close();
        });
        // J one sample right, 100 ms of 20 samples after it, V5's baseline one click down.
        QCOMPARE(r1[2], computeSt(113 + 20, 2, -1, 1.0));

        const auto r2 = showWith(view, beats(-500), 60, 50, 2.0, [&] {
            QCOMPARE(view.JTtxt->text(), u"100"_s);
            QCOMPARE(stBoxes(view), first);
            // The new snapshot is drawn: J at 5 + round(72 × 2.95), V5's baseline 1 px low.
            QCOMPARE(view.surfaceImage().pixel(217, 500), kStJColor);
            QCOMPARE(view.surfaceImage().pixel(310, 445), kStBaselineColor);
            click(view.Okbtn);
        });
        QCOMPARE(r2, r1);
    }
    void calipers()
    {
        TQRSview view;
        showWith(view, beats(0), 100, 50, 2.0, [&] {
            QWidget* s = view.surface();
            const QColor face = view.palette().color(QPalette::Button);
            const QImage& img = view.surfaceImage();

            QTest::mousePress(s, Qt::LeftButton, {}, QPoint(100, 300));
            QCOMPARE(view.mvtxt->palette().color(QPalette::Window), QColor(Qt::red));
            QTest::mouseMove(s, QPoint(150, 241));
            QTest::mouseMove(s, QPoint(200, 241));
            QCOMPARE(view.mvtxt->text(), u"0.250"_s);
            // The previous figure is erased; the yellow one XOR-ed onto white paper shows blue.
            QCOMPARE(img.pixel(150, 270), kStPaperColor);
            QCOMPARE(img.pixel(200, 270), qRgb(0, 0, 255));
            QCOMPARE(img.pixel(90, 300), kStCaliperColor);
            QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(200, 241));
            QCOMPARE(view.mvtxt->palette().color(QPalette::Window), face);

            QTest::mousePress(s, Qt::RightButton, {}, QPoint(100, 400));
            QTest::mouseMove(s, QPoint(159, 400));
            QCOMPARE(view.deltatxt->text(), u"0.100"_s);
            QTest::mouseRelease(s, Qt::RightButton, {}, QPoint(159, 400));
            click(view.UpDownD2->nextButton());
            QCOMPARE(img.pixel(200, 270), kStPaperColor); // redrawn
        });
        QCOMPARE(view.deltatxt->text(), u"0.100"_s); // kept for the next opening
    }
};

QTEST_MAIN(TestSt)
#include "tst_st.moc"

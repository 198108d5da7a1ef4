#include "TestSupport.h"
#include "st/StDrawing.h"
#include "st/StMeasure.h"
#include "st/TQRSview.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
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

QrsBeats constantBeats(std::int32_t v)
{
    QrsBeats avg{};
    for (auto& lead : avg)
        lead.fill(v);
    return avg;
}

// Every entry holds its own index, so an ST result names the sample it read.
QrsBeats indexRamp()
{
    QrsBeats avg{};
    for (auto& lead : avg)
        for (std::size_t i = 0; i < lead.size(); ++i)
            lead[i] = static_cast<std::int32_t>(i);
    return avg;
}

StMeasurement opened(const QrsBeats& avg, int fidIdx = 100, int speed = 25, double gain = 1.0)
{
    StMeasurement m;
    m.open(avg, fidIdx, speed, gain);
    return m;
}

const QRgb kGreen = kStBaselineColor;
const QRgb kRed = kStJColor;
const QRgb kBlack = kStCurveColor;
const QRgb kWhite = kStPaperColor;
const QRgb kOff = qRgb(255, 0, 255); // left unpainted
const QRgb kBlue = qRgb(0, 0, 255);  // the yellow caliper XOR-ed onto white paper

struct Px {
    int x;
    int y;
    QRgb colour;
};

void expectPixels(const QImage& img, std::initializer_list<Px> pixels)
{
    for (const Px& p : pixels)
        QVERIFY2(
            img.pixel(p.x, p.y) == p.colour,
            qPrintable(u"(%1, %2) is #%3"_s.arg(p.x).arg(p.y).arg(img.pixel(p.x, p.y), 0, 16)));
}

// Opens the view and runs the steps while it is up.
std::array<float, 3> showWith(TQRSview& view, const QrsBeats& avg, int fidIdx, int speed,
                              double gain, std::function<void()> steps)
{
    whileShown(view, std::move(steps));
    return view.ShowQRS(avg, fidIdx, speed, gain);
}

void clickTimes(QToolButton* b, int times)
{
    for (int i = 0; i < times; ++i)
        click(b);
}

QStringList stBoxes(const TQRSview& v)
{
    return {v.STD2lbl->text(), v.STV2lbl->text(), v.STV5lbl->text()};
}

QColor boxColour(const QLabel* box)
{
    return box->palette().color(QPalette::Window);
}

} // namespace

// The ST measurement on an averaged beat, then the window that shows it.
class TestSt : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stGeometry()
    {
        // index, speed, value, lead → where it is drawn; 88.5 px halves to even both ways.
        const struct {
            int index, speed, value, lead;
            QPoint at;
        } rows[] = {{60, 25, 35, 1, {93, 271}}, {200, 50, -140, 2, {595, 567}}};
        for (const auto& r : rows)
            QCOMPARE(QPoint(stSampleX(r.index, r.speed), stSampleY(r.value, r.lead)), r.at);
        // The cross cursor covers the drawing area inside its outline.
        QVERIFY(stCrossCursorAt({6, 6}) && stCrossCursorAt({599, 599}));
        QVERIFY(!stCrossCursorAt({5, 300}) && !stCrossCursorAt({300, 600}));
    }
    void jtSamples()
    {
        // Typed text, then samples; -1000: not an integer, the 83 ms in force stays.
        const std::pair<QString, int> cases[] = {{u"80"_s, 16}, {u"83"_s, 17},  {u"3"_s, 1},
                                                 {u"-8"_s, -2}, {u""_s, -1000}, {u"8a"_s, -1000}};
        for (const auto& [text, samples] : cases) {
            StMeasurement m = opened(indexRamp(), 50); // J at 62: no limit reached either way
            QVERIFY(m.setJtText(u"83"_s));
            QCOMPARE(m.setJtText(text), samples != -1000);
            QCOMPARE(m.stIdx(), 62 + (samples == -1000 ? 17 : samples));
            QCOMPARE(m.jtText().toInt(), m.jtMs());
        }
    }
    void stValues()
    {
        // Sample, lead, baseline offset, gain, shown.
        const std::tuple<int, int, int, double, QString> cases[] = {
            {0, 0, 0, 1.0, u"-0.042"_s}, // zero sample, 5 px under the baseline
            {140, 2, 0, 2.0, u"0.479"_s},
            {-70, 0, -5, 0.5, u"-1.000"_s}}; // baseline on the zero level
        for (const auto& [sample, lead, offset, gain, shown] : cases) {
            // 140 units per mV, less the baseline's height over the zero level at 118 px per mV.
            const double expected = (sample / 140.0 - (5 + offset) / 118.0) / gain;
            const float st = esf::computeSt(sample, lead, offset, gain);
            QVERIFY2(std::abs(st - expected) < 1e-6, qPrintable(QString::number(st)));
            QCOMPARE(formatStValue(st), shown);
        }
    }
    void baselines()
    {
        for (double gain : {0.5, 1.0, 2.0}) {
            StMeasurement m = opened(constantBeats(30), 100, 25, gain);
            m.computeSt();
            const auto before = m.st();
            m.stepBaseline(1, 1);
            QCOMPARE(m.baselineTop(1), 295);
            QVERIFY(std::abs((before[1] - m.st()[1]) - 0.5 / 59 / gain) < 1e-6);
            QVERIFY(m.st()[0] == before[0] && m.st()[2] == before[2]);
        }
        StMeasurement m = opened(constantBeats(0));
        for (int i = 0; i < 150; ++i) {
            m.stepBaseline(0, 1);
            m.stepBaseline(2, -1);
        }
        QCOMPARE(m.baselineTop(0), 148 - 100);
        QCOMPARE(m.baselineTop(2), 444 + 100);
        QCOMPARE(m.baselineOffset(1), 0);
    }
    void jAndStPointsStayInTheBeat()
    {
        StMeasurement m = opened(indexRamp());
        QCOMPARE(m.jIdx(), 112);
        for (int i = 0; i < 100; ++i)
            m.moveJ(1);
        QCOMPARE(m.jIdx(), 200);
        QCOMPARE(m.stIdx(), 200);
        QCOMPARE(m.st()[0], computeSt(200, 0, 0, 1.0));
        for (int i = 0; i < 300; ++i)
            m.moveJ(-1);
        QCOMPARE(m.jIdx(), 0);
        QCOMPARE(m.st()[0], computeSt(16, 0, 0, 1.0));

        m.moveJ(10);
        QVERIFY(m.setJtText(u"999"_s));
        QCOMPARE(m.jtSamples(), 190);
        QVERIFY(m.setJtText(u"-99"_s));
        QCOMPARE(m.stIdx(), 0);
        m.computeSt();
        QCOMPARE(m.st()[0], computeSt(0, 0, 0, 1.0));

        for (auto [fid, j] : {std::pair{0, 12}, {188, 200}, {-50, 0}, {INT_MAX, 200}, {INT_MIN, 0}})
            QCOMPARE(opened(indexRamp(), fid).jIdx(), j);
    }
    void stMarkers()
    {
        StMeasurement m = opened(constantBeats(70)); // every lead 59 px above its zero level
        QCOMPARE(m.markers().baselines[1], QRect(5, 296, 595, 1));
        // J at 113 (166.675 → 167) plus 16 samples (23.6 → 24): one pixel right of where
        // sample 129 itself lies (190.275 → 190).
        m.moveJ(1);
        const StMarkers k = m.markers();
        QCOMPARE(k.jLine.left(), 172);
        QCOMPARE(k.stCircles[0].left(), 191);
        QCOMPARE(stSampleX(129, 25) - 5, 190);
        QVERIFY(k.covers({173, 500}) && k.covers({300, 148}));
        QVERIFY(!k.covers({174, 500}) && !k.covers({300, 149}));
    }
    void caliperFigures()
    {
        Calipers c;
        QVERIFY(c.move(QPoint(1, 1), 1.0, 25).empty());
        c.press(Caliper::Amplitude, QPoint(100, 300));
        auto steps = c.move(QPoint(150, 241), 1.0, 25);
        QCOMPARE(steps.size(), std::size_t{1});
        QVERIFY(!steps[0].erase); // nothing was drawn before the first move
        const CaliperFigure first{QPoint(90, 300), QPoint(150, 300), QPoint(150, 241),
                                  QPoint(140, 241)};
        QCOMPARE(steps[0].draw, first);
        QCOMPARE(c.move(QPoint(200, 241), 1.0, 25)[0].erase, std::optional(first));

        // The second button restarts from a new common origin; both calipers then move.
        c.press(Caliper::Time, QPoint(50, 50));
        steps = c.move(QPoint(109, 80), 2.0, 25);
        QCOMPARE(steps.size(), std::size_t{2});
        QCOMPARE(steps[0].erase, std::optional(Calipers::amplitudeFigure({100, 300}, {200, 241})));
        QCOMPARE(steps[0].reading, 30 / 59.0 * 0.25);
        QCOMPARE(steps[1].draw,
                 (CaliperFigure{QPoint(50, 40), QPoint(50, 80), QPoint(109, 80), QPoint(109, 70)}));
        QCOMPARE(steps[1].reading, 59 / 59.0 * 5.0 / 25);

        c.forgetFigures(); // the surface was redrawn under them
        steps = c.move(QPoint(110, 80), 2.0, 25);
        QVERIFY(!steps[0].erase && !steps[1].erase);
        c.release();
        QVERIFY(c.move(QPoint(120, 80), 1.0, 25).empty());
    }
    void shownValues()
    {
        const std::pair<double, QString> cases[] = {{timeReading(300, 359, 25), u"0.200"_s},
                                                    {timeReading(359, 300, 50), u"0.100"_s},
                                                    {amplitudeReading(300, 241, 1.0), u"0.500"_s},
                                                    {amplitudeReading(241, 300, 2.0), u"0.250"_s},
                                                    {-0.0004, u"0.000"_s},
                                                    {99.9996, u"100.000"_s},
                                                    {-12345.678, u"-12346.000"_s},
                                                    {123456.0, u"1.2346E+005"_s}};
        for (const auto& [value, shown] : cases)
            QCOMPARE(formatStValue(value), shown);
    }
    void windowAndControls()
    {
        TQRSview view;
        QCOMPARE(view.windowTitle(), u" QRS promedio"_s);
        QCOMPARE(view.minimumSize(), view.maximumSize());
        QVERIFY(view.windowFlags() & Qt::WindowCloseButtonHint); // closing hands the values back
        QCOMPARE((QStringList{view.Label1->text(), view.mvlbl->text(), view.Label2->text(),
                              view.Label5->text(), view.Label3->text(), view.Label4->text()}),
                 (QStringList{u"T[seg]:"_s, u"Amp[mV]:"_s, u"Delta J-T[mS]"_s, u"D2 S-T[mV]"_s,
                              u"V2 S-T[mV]"_s, u"V5 S-T[mV]"_s}));
        QVERIFY(view.Okbtn->isDefault());
        QCOMPARE(view.JTtxt->text(), u"80"_s);
    }
    void drawing()
    {
        QrsBeats avg = constantBeats(0);
        avg[0][50] = 140; // 1 mV: 118 px up, at x = 5 + 73.75
        StMeasurement m;
        m.open(avg, 100, 25, 1.0);
        QImage img(696, 645, QImage::Format_RGB32);
        img.fill(kOff);
        QPainter p(&img);
        drawStView(p, m);
        p.end();

        // clang-format off
        // Outline on the last pixel of the area, nothing beyond; a grid dash; the 1 mV sample; the
        // detection point at 5 + round(147.5); D2's baseline 5 px above its zero level; the J line
        // at 5 + round(112 × 1.475); the ST circle on V2.
        expectPixels(img, {{599, 300, kGreen}, {600, 300, kOff}, {310, 200, kWhite}, {13, 59, kGreen},
                           {79, 35, kBlack}, {153, 153, kRed}, {250, 148, kGreen}, {171, 400, kRed},
                           {172, 400, kWhite}, {189, 300, kGreen}});
        // clang-format on
    }
    void resultHoweverClosed()
    {
        TQRSview untouchedView;
        const auto untouched = showWith(untouchedView, constantBeats(70), 100, 25, 2.0, [&] {
            QCOMPARE(stBoxes(untouchedView), QStringList(3, u"0.000"_s));
            click(untouchedView.Okbtn);
        });
        QCOMPARE(untouched, (std::array<float, 3>{0.0f, 0.0f, 0.0f}));

        for (int how : {0, 1, 2}) { // Ok, Escape, closed by the desktop
            TQRSview view;
            const auto result = showWith(view, constantBeats(70), 100, 25, 2.0, [&] {
                click(view.UpDownD2->nextButton());
                QCOMPARE(view.STD2lbl->text(), u"0.225"_s); // (59 − 5 − 1) / 59 × 0.5 / 2
                if (how == 0)
                    click(view.Okbtn);
                else if (how == 1)
                    QTest::keyClick(&view, Qt::Key_Escape);
                else
                    view.close();
                QVERIFY(!view.isVisible());
            });
            QCOMPARE(result,
                     (std::array<float, 3>{computeSt(70, 0, 1, 2.0), computeSt(70, 1, 0, 2.0),
                                           computeSt(70, 2, 0, 2.0)}));
        }
    }
    void stateKeptBetweenOpenings()
    {
        TQRSview view;
        QStringList first;
        const auto r1 = showWith(view, indexRamp(), 100, 25, 1.0, [&] {
            typeInto(view.JTtxt, u"90"_s);
            clickTimes(view.UpDownV5->prevButton(), 2);
            clickTimes(view.JIzDe->nextButton(), 3);
            first = stBoxes(view);
            view.close();
        });
        QCOMPARE(r1[2], computeSt(115 + 18, 2, -2, 1.0));

        const auto r2 = showWith(view, constantBeats(-500), 60, 50, 2.0, [&] {
            QCOMPARE(view.measurement().jIdx(), 72);
            QCOMPARE(view.JTtxt->text(), u"90"_s);
            QCOMPARE(stBoxes(view), first);
            // The new snapshot is drawn: J at 5 + round(72 × 2.95), V5's baseline 2 px low.
            expectPixels(view.surfaceImage(), {{217, 500, kRed}, {310, 446, kGreen}});
            view.close();
        });
        QCOMPARE(r2, r1);
    }
    void jtField()
    {
        TQRSview view;
        showWith(view, indexRamp(), 100, 25, 1.0, [&] {
            QLineEdit* jt = view.JTtxt;
            jt->setFocus();
            jt->selectAll();
            QTest::keyClick(jt, Qt::Key_Delete);
            QTest::keyClicks(jt, u"x"_s);
            QCOMPARE(view.measurement().stIdx(), 128);
            for (QWidget* w : QApplication::topLevelWidgets())
                QVERIFY(!(qobject_cast<QMessageBox*>(w) && w->isVisible()));
            view.Okbtn->setFocus(); // leaving the field gives it back the interval in force
            QCOMPARE(jt->text(), u"80"_s);

            typeInto(jt, u"150"_s);
            QCOMPARE(view.measurement().stIdx(), 142);
            click(view.UpDownJT->prevButton()); // from the range's end
            QCOMPARE(jt->text(), u"99"_s);
            clickTimes(view.UpDownJT->nextButton(), 3);
            QCOMPARE(jt->text(), u"100"_s);
            jt->clear();
        });
        QCOMPARE(view.JTtxt->text(), u"100"_s); // the interval in force when it closed
    }
    void calipers()
    {
        TQRSview view;
        showWith(view, constantBeats(0), 100, 50, 2.0, [&] {
            QWidget* s = view.surface();
            const QColor face = view.palette().color(QPalette::Button);
            const QImage& img = view.surfaceImage();

            QTest::mousePress(s, Qt::LeftButton, {}, QPoint(100, 300));
            QCOMPARE(boxColour(view.mvtxt), QColor(Qt::red));
            QTest::mouseMove(s, QPoint(150, 241));
            QTest::mouseMove(s, QPoint(200, 241));
            QCOMPARE(view.mvtxt->text(), u"0.250"_s);
            // The previous figure is erased; on the V2 curve the XOR shows yellow.
            expectPixels(img, {{150, 270, kWhite}, {200, 270, kBlue}, {90, 300, kStCaliperColor}});
            QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(200, 241));
            QCOMPARE(boxColour(view.mvtxt), face);

            QTest::mousePress(s, Qt::RightButton, {}, QPoint(100, 400));
            QTest::mouseMove(s, QPoint(159, 400));
            QCOMPARE(view.deltatxt->text(), u"0.100"_s);
            QTest::mouseRelease(s, Qt::RightButton, {}, QPoint(159, 400));

            const QPoint onJ = view.measurement().markers().jLine.center();
            QTest::mousePress(s, Qt::LeftButton, {}, onJ); // a marker, not the surface
            QCOMPARE(boxColour(view.mvtxt), face);
            QTest::mouseRelease(s, Qt::LeftButton, {}, onJ);

            click(view.UpDownD2->nextButton());
            expectPixels(img, {{200, 270, kWhite}}); // redrawn
        });
        QCOMPARE(view.deltatxt->text(), u"0.100"_s); // kept for the next opening
    }
};

QTEST_MAIN(TestSt)
#include "tst_st.moc"

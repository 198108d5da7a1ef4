#include "StBeats.h"
#include "st/StMeasure.h"

#include <QTest>
#include <climits>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

StMeasurement opened(const QrsBeats& avg, int fidIdx = 100, int speed = 25, double gain = 1.0)
{
    StMeasurement m;
    m.open(avg, fidIdx, speed, gain);
    return m;
}

float stOfSample(int index)
{
    return computeSt(index, 0, 0, 1.0);
}

} // namespace

class TestStMeasure : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void geometry()
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
    void computeSt()
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
        QCOMPARE(m.st()[0], stOfSample(200));
        for (int i = 0; i < 300; ++i)
            m.moveJ(-1);
        QCOMPARE(m.jIdx(), 0);
        QCOMPARE(m.st()[0], stOfSample(16));

        m.moveJ(10);
        QVERIFY(m.setJtText(u"999"_s));
        QCOMPARE(m.jtSamples(), 190);
        QVERIFY(m.setJtText(u"-99"_s));
        QCOMPARE(m.stIdx(), 0);
        m.computeSt();
        QCOMPARE(m.st()[0], stOfSample(0));

        for (auto [fid, j] : {std::pair{0, 12}, {188, 200}, {-50, 0}, {INT_MAX, 200}, {INT_MIN, 0}})
            QCOMPARE(opened(indexRamp(), fid).jIdx(), j);
    }
    void markers()
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
    void calipers()
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
};

QTEST_GUILESS_MAIN(TestStMeasure)
#include "tst_stmeasure.moc"

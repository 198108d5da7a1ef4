#include "signal/QrsAverage.h"

#include <QTest>

using namespace esf;

namespace {

EcgRing constantRing(int value)
{
    EcgRing ring;
    for (auto& lead : ring.samples)
        lead.fill(value);
    return ring;
}

} // namespace

class TestQrsAverage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstUpdateRoundsToEvenAndPlacesTheBeat();
    void constantSignalApproachesItsLevel();
    void windowEndsAtTheUpdateFrameAndWrapsTheRing();
};

void TestQrsAverage::firstUpdateRoundsToEvenAndPlacesTheBeat()
{
    // 0.3 × 5 = 1.5, 0.3 × 15 = 4.5, 0.3 × -15 = -4.5.
    for (const auto& [level, entry] : {std::pair{5, 2}, {15, 4}, {-15, -4}}) {
        QrsAverage avg;
        avg.update(constantRing(level), 0, 100);
        QCOMPARE(avg.values[2][200], entry);
    }
    // The detection point lies as far before the window's end as the beat counter says.
    QrsAverage avg;
    avg.update(constantRing(0), 0, 40);
    QCOMPARE(avg.fidIdx, 160);
}

void TestQrsAverage::constantSignalApproachesItsLevel()
{
    QrsAverage avg;
    const EcgRing ring = constantRing(100);
    QList<int> seen;
    for (int i = 0; i < 8; ++i) {
        avg.update(ring, 500, 100);
        seen << avg.values[1][37];
    }
    QCOMPARE(seen, QList<int>({30, 51, 66, 76, 83, 88, 92, 94}));
}

void TestQrsAverage::windowEndsAtTheUpdateFrameAndWrapsTheRing()
{
    EcgRing ring;
    for (int i = 0; i < kRingLength; ++i) {
        ring.samples[0][static_cast<std::size_t>(i)] = i * 10;
        ring.samples[2][static_cast<std::size_t>(i)] = -i * 10;
    }
    QrsAverage avg;
    // Index 50: the window reaches back 200 frames, across the ring's end to entry 1850.
    avg.update(ring, 50, 100);
    QCOMPARE(avg.values[0][200], 150);  // 0.3 × 500
    QCOMPARE(avg.values[0][150], 0);    // entry 0 of the ring
    QCOMPARE(avg.values[0][149], 5997); // 0.3 × 19990
    QCOMPARE(avg.values[0][0], 5550);   // 0.3 × 18500
    QCOMPARE(avg.values[2][200], -150);
}

QTEST_GUILESS_MAIN(TestQrsAverage)
#include "tst_qrsaverage.moc"

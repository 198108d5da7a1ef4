#include "signal/BeatDetector.h"

#include <QTest>
#include <vector>

using namespace esf;

namespace {

// Feeds lead 1 frame by frame as the sample source does and records the rate after
// each detected beat. An edge of `step` units rises over one frame every `interval`.
struct Feeder {
    EcgRing ring;
    BeatDetector det;
    int value = 0;

    bool frame(int sample)
    {
        ring.writeIndex = (ring.writeIndex + 1) % kRingLength;
        ring.samples[1][static_cast<std::size_t>(ring.writeIndex)] = sample;
        return det.detect(ring, ring.writeIndex);
    }

    std::vector<int> ratesAfterBeats(int interval, int beats, int step = 200)
    {
        std::vector<int> rates;
        // Flat lead first so the first edge is already one interval after the start.
        for (int f = 1; f < interval; ++f)
            frame(0);
        for (int b = 0; b < beats; ++b) {
            // A square pulse: up for 10 frames, then back, so each beat has one rising edge
            // and the falling edge stays inside the refractory period.
            for (int f = 0; f < interval; ++f) {
                if (frame(f < 10 ? step : 0))
                    rates.push_back(det.heartRate);
            }
        }
        return rates;
    }
};

} // namespace

class TestBeatDetector : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rateSettlesOnSteadyBeats();
    void refractoryIgnoresEdgesWithoutRestartingTheCount();
    void instantaneousRateComesFromTheInterval();
    void heartSymbolShowsForThirtySixFrames();
    void timeoutDropsTheRateAtTheSixSecondMark();
    void thresholdIsStrictlyAboveFifty();
    void slopeSpansThreeFramesAcrossTheRingEnd();
};

void TestBeatDetector::rateSettlesOnSteadyBeats()
{
    // At 75/min the separate rounding of 22.5 down to 22 holds the rate at 72.
    const std::vector<int> expected = {22, 37, 48, 56, 61, 65, 68, 70, 71, 72, 72, 72, 72, 72};
    QCOMPARE(Feeder().ratesAfterBeats(160, 14), expected);
    // Frames between beats, then the settled rate; at 141 frames 85 × 0.7 is exactly 59.5 on
    // the way up and must round to 60, not fall short to 59. 31 is the shortest interval.
    for (const auto& [interval, settled] : {std::pair{100, 119}, {60, 199}, {31, 386}, {141, 86}}) {
        const std::vector<int> rates = Feeder().ratesAfterBeats(interval, 60);
        QVERIFY(rates.size() >= 50);
        QCOMPARE(rates.back(), settled);
        QCOMPARE(rates[rates.size() - 2], settled);
    }
}

void TestBeatDetector::refractoryIgnoresEdgesWithoutRestartingTheCount()
{
    Feeder f;
    for (int i = 0; i < 40; ++i)
        f.frame(0);
    QVERIFY(f.frame(100)); // beat
    QCOMPARE(f.det.beatCounter, 0);
    // 29 more frames with steep edges back and forth: all inside the refractory period.
    for (int i = 1; i <= 30; ++i)
        QVERIFY(!f.frame(i % 2 ? 0 : 200));
    QCOMPARE(f.det.beatCounter, 30);
    // The 31st frame after the beat with a steep edge counts.
    QVERIFY(f.frame(f.ring.at(1, f.ring.writeIndex - 2) + 300));
}

void TestBeatDetector::instantaneousRateComesFromTheInterval()
{
    QCOMPARE(smoothHeartRate(0, 31), 116);   // 12000/31 = 387; 387 × 0.3 = 116.1
    QCOMPARE(smoothHeartRate(0, 160), 22);   // 75 × 0.3 = 22.5 rounds to even
    QCOMPARE(smoothHeartRate(65, 1200), 49); // 65 × 0.7 = 45.5 → 46, 10 × 0.3 = 3
}

void TestBeatDetector::heartSymbolShowsForThirtySixFrames()
{
    Feeder f;
    for (int i = 0; i < 40; ++i)
        f.frame(0);
    QVERIFY(f.frame(100));
    int visible = 1;
    while (f.det.beatFlag) {
        f.frame(100);
        if (f.det.beatFlag)
            ++visible;
        QVERIFY(visible < 100);
    }
    QCOMPARE(visible, 36);
    QCOMPARE(f.det.beatCounter, 36);
}

void TestBeatDetector::timeoutDropsTheRateAtTheSixSecondMark()
{
    Feeder f;
    f.ratesAfterBeats(160, 5);
    // ratesAfterBeats leaves 150 frames of flat line after the last edge.
    const int sinceBeat = f.det.beatCounter;
    QVERIFY(f.det.heartRate > 0);
    int frames = sinceBeat;
    while (f.det.heartRate != 0) {
        f.frame(0);
        ++frames;
        QVERIFY(frames < 5000);
    }
    QCOMPARE(frames, 1201);
    QCOMPARE(f.det.beatCounter, 0);
}

void TestBeatDetector::thresholdIsStrictlyAboveFifty()
{
    QVERIFY(Feeder().ratesAfterBeats(160, 5, 50).empty());
    QCOMPARE(Feeder().ratesAfterBeats(160, 5, 51).size(), std::size_t(5));
    QCOMPARE(Feeder().ratesAfterBeats(160, 5, -60).size(), std::size_t(5));
}

void TestBeatDetector::slopeSpansThreeFramesAcrossTheRingEnd()
{
    Feeder f;
    for (int i = 0; i < kRingLength - 2; ++i)
        f.frame(0);
    QCOMPARE(f.ring.writeIndex, kRingLength - 2);
    // A ramp of 20 per frame makes 60 over three frames: seen across index 1999 → 0 → 1.
    f.frame(20);
    f.frame(40);
    QCOMPARE(f.ring.writeIndex, 0);
    QVERIFY(f.frame(60));
    QCOMPARE(f.ring.writeIndex, 1);
}

QTEST_GUILESS_MAIN(TestBeatDetector)
#include "tst_beatdetector.moc"

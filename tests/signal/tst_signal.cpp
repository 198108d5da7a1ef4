#include "signal/BeatDetector.h"

#include <QtTest>

using namespace esf;

// Beat detection at its edges; the whole signal path on a real recording is compared with
// frozen output elsewhere.
class TestSignal : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void beatsAtTheEdges_data()
    {
        QTest::addColumn<int>("flatFrames"); // lead 1 at 0 first
        QTest::addColumn<QList<int>>("samples");
        QTest::addColumn<QList<int>>("beats"); // indexes into samples
        QTest::newRow("a change of 50 is no beat") << 40 << QList<int>{50} << QList<int>{};
        QTest::newRow("51 is") << 40 << QList<int>{51} << QList<int>{0};
        QTest::newRow("falling by 60") << 40 << QList<int>{-60} << QList<int>{0};
        // 20 a frame makes 60 over three frames, seen across index 1999 → 0 → 1.
        QTest::newRow("slope across the ring's end")
            << kRingLength - 2 << QList<int>{20, 40, 60} << QList<int>{2};
        // Steep edges back and forth: the 30 frames after a beat are refractory, the 31st counts.
        QList<int> edges{100};
        for (int i = 1; i <= 30; ++i)
            edges << (i % 2 ? 0 : 200);
        QTest::newRow("refractory") << 40 << (edges << 500) << QList<int>{0, 31};
    }
    void beatsAtTheEdges()
    {
        QFETCH(int, flatFrames);
        QFETCH(QList<int>, samples);
        QFETCH(QList<int>, beats);
        EcgRing ring;
        BeatDetector detector;
        QList<int> found;
        for (int f = 0; f < flatFrames + samples.size(); ++f) {
            const int i = f - flatFrames;
            ring.writeIndex = (ring.writeIndex + 1) % kRingLength;
            ring.samples[1][static_cast<std::size_t>(ring.writeIndex)] = i < 0 ? 0 : samples[i];
            if (detector.detect(ring, ring.writeIndex))
                found << i;
        }
        QCOMPARE(found, beats);
    }
};

QTEST_GUILESS_MAIN(TestSignal)
#include "tst_signal.moc"

#include "TestFiles.h"
#include "acquisition/LiveMonitor.h"

#include <QBuffer>
#include <cmath>

using namespace esf;
using namespace Qt::StringLiterals;

namespace {

QByteArray frames(const QList<RawFrame>& list)
{
    QByteArray b;
    for (const RawFrame& f : list) {
        for (std::int16_t s : f) {
            b.append(static_cast<char>(s & 0xFF));
            b.append(static_cast<char>((s >> 8) & 0xFF));
        }
    }
    return b;
}

std::unique_ptr<QIODevice> device(const QByteArray& bytes)
{
    auto buf = std::make_unique<QBuffer>();
    buf->setData(bytes);
    buf->open(QIODevice::ReadOnly);
    return buf;
}

struct Recorder : FrameSink {
    QList<int> shown[3];
    int refreshes = 0;
    int qrsUpdates = 0;
    QList<bool> flags;
    void traceSample(int value, int lead) override { shown[lead] << value; }
    void beatFlagChanged(bool visible) override { flags << visible; }
    void heartRateRefresh(int) override { ++refreshes; }
    void qrsAverageUpdated() override { ++qrsUpdates; }
};

} // namespace

class TestLiveMonitor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void gainScaling();
    void filterOnConstantInput();
    void filterCancelsFiftyHertz();
    void filterOnlyShapesWhatIsDrawn();
    void sourceLoopsIgnoresATornLastFrameAndTicksTenFrames();
    void rateRefreshEverySecondAndStripFromTheOldestFrame();
    void averageWaitsHundredFramesAfterEachBeat();
    void averageWithoutBeatsEvery1201FramesUnlessSwitchedOff();
};

void TestLiveMonitor::gainScaling()
{
    // Raw sample, gain index and ring value: halves to even, then saturation.
    const int cases[][3] = {{3, 0, 2},         {5, 0, 2},         {-3, 0, -2},        {7, 1, 7},
                            {16383, 2, 32766}, {20000, 2, 32767}, {-20000, 2, -32768}};
    for (const auto& [raw, gain, scaled] : cases) {
        LiveMonitor m;
        m.settings.gainIndex = static_cast<std::uint8_t>(gain);
        const auto r = static_cast<std::int16_t>(raw);
        m.processFrame({r, r, r}, nullptr);
        QCOMPARE(m.ring.at(0, 1), scaled);
        QCOMPARE(m.ring.at(2, 1), scaled);
    }
}

void TestLiveMonitor::filterOnConstantInput()
{
    const std::pair<int, QList<int>> cases[] = {{100, {25, 56, 82, 106, 105, 100, 99, 100, 100}},
                                                {300, {76, 168, 245, 255, 255}}, // clamped
                                                {-300, {-76, -168, -245, -256, -256}}};
    for (const auto& [input, drawn] : cases) {
        FilterMemory mem;
        QList<int> out;
        for (qsizetype i = 0; i < drawn.size(); ++i)
            out << filterSample(mem, input);
        QCOMPARE(out, drawn);
    }
}

void TestLiveMonitor::filterCancelsFiftyHertz()
{
    FilterMemory mem;
    // 50 Hz at 200 samples/s is a period of four frames.
    const int sine[4] = {0, 100, 0, -100};
    for (int i = 0; i < 12; ++i)
        filterSample(mem, sine[i % 4]);
    for (int i = 12; i < 400; ++i)
        QVERIFY2(std::abs(filterSample(mem, sine[i % 4])) <= 1, qPrintable(QString::number(i)));
}

// The ring keeps the raw value; the memories live on while the filter is off.
void TestLiveMonitor::filterOnlyShapesWhatIsDrawn()
{
    LiveMonitor m;
    Recorder rec;
    m.settings.filterOn = true;
    m.processFrame({100, 100, 100}, &rec); // 25
    m.settings.filterOn = false;
    m.processFrame({500, 500, 500}, &rec); // drawn raw, filter untouched
    m.settings.filterOn = true;
    m.processFrame({100, 100, 100}, &rec); // resumes as the second frame of a constant 100
    QCOMPARE(rec.shown[2], QList<int>({25, 500, 56}));
    QCOMPARE(m.ring.at(0, m.ring.writeIndex), 100);
}

void TestLiveMonitor::sourceLoopsIgnoresATornLastFrameAndTicksTenFrames()
{
    QList<RawFrame> list;
    for (int i = 0; i < 15; ++i)
        list << RawFrame{static_cast<std::int16_t>(i), -2, 3};
    SampleSource src;
    QVERIFY(src.open(device(frames(list) + QByteArray("\x07\x00\x08", 3))));
    QCOMPARE(src.frameCount(), 15);
    LiveMonitor m;
    Recorder rec;
    m.tick(src, &rec);
    m.tick(src, &rec);
    QCOMPARE(m.ring.writeIndex, 20);
    // Frames 10..14 then the loop back to 0..4.
    QCOMPARE(rec.shown[0].mid(10), QList<int>({10, 11, 12, 13, 14, 0, 1, 2, 3, 4}));
    QCOMPARE(rec.shown[2].last(), 3);

    // Without one whole frame nothing opens, and nothing plays from a closed source.
    QVERIFY(!src.open(device(QByteArray("\x01\x02\x03", 3))));
    QVERIFY(!src.isOpen());
    QVERIFY(!src.open(u"/nonexistent/ECG-1.ecg"_s));
    m.tick(src, nullptr);
    QCOMPARE(m.ring.writeIndex, 20);
}

void TestLiveMonitor::rateRefreshEverySecondAndStripFromTheOldestFrame()
{
    LiveMonitor m;
    QList<int> at;
    for (int f = 1; f <= 2005; ++f) {
        const auto v = static_cast<std::int16_t>(f);
        if (m.processFrame({v, 0, static_cast<std::int16_t>(-f)}, nullptr).heartRateRefresh)
            at << m.ring.writeIndex;
    }
    QCOMPARE(at, QList<int>({200, 400, 600, 800, 1000, 1200, 1400, 1600, 1800, 0}));
    const auto strip = m.ring.captureStrip();
    QCOMPARE(strip[0].size(), std::size_t(2001));
    QCOMPARE(strip[0].front(), 6);         // the oldest frame
    QCOMPARE(strip[0][1999], 2005);        // newest, at entry 5
    QCOMPARE(strip[0][2000], strip[0][0]); // entry 6 again
    QCOMPARE(strip[2][1999], -2005);
}

void TestLiveMonitor::averageWaitsHundredFramesAfterEachBeat()
{
    for (const int interval : {101, 100}) {
        LiveMonitor m;
        int updates = 0;
        int beats = 0;
        for (int f = 0; f < interval * 20; ++f) {
            const std::int16_t v = f % interval < 5 ? 300 : 0;
            const FrameReport r = m.processFrame({v, v, v}, nullptr);
            updates += r.qrsUpdate;
            beats += m.beats.beatCounter == 0;
            if (r.qrsUpdate)
                QCOMPARE(m.qrs.fidIdx, 100);
        }
        QVERIFY(beats >= 18);
        // The count climbs through 100 once before the first beat is seen (the first pulse
        // comes too early after start); after that only beats 101 frames apart update.
        if (interval == 101)
            QCOMPARE(updates, beats + 1);
        else
            QCOMPARE(updates, 1);
    }
}

void TestLiveMonitor::averageWithoutBeatsEvery1201FramesUnlessSwitchedOff()
{
    LiveMonitor m;
    QList<int> at;
    for (int f = 1; f <= 3000; ++f) {
        if (m.processFrame({10, 10, 10}, nullptr).qrsUpdate)
            at << f;
    }
    QCOMPARE(at, QList<int>({100, 1301, 2502}));
    const QrsBeats frozen = m.qrs.values;
    QCOMPARE(frozen[0][200], 6); // 3, then 5.1 and 6.5, each rounded to even
    m.averagingOn = false;
    for (int f = 0; f < 3000; ++f)
        QVERIFY(!m.processFrame({50, 50, 50}, nullptr).qrsUpdate);
    QVERIFY(m.qrs.values == frozen);
}

QTEST_GUILESS_MAIN(TestLiveMonitor)
#include "tst_livemonitor.moc"

// The shipped demonstration recording and a real resting ECG played through the live
// signal path: the beat detector must see every heartbeat and nothing else.

#include "acquisition/LiveMonitor.h"
#include "acquisition/SampleSource.h"
#include "common/BinaryIO.h"

#include <QFile>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString kRecording = QStringLiteral(ESF_SOURCE_DIR "/data/ECG-1.ecg");
const QString kRecordingBeats = QStringLiteral(ESF_TEST_DATA "/ECG-1.beats");
const QString kReal = QStringLiteral(ESF_TEST_DATA "/rest-12lead-II-V2-V5.ecg");
const QString kRealBeats = QStringLiteral(ESF_TEST_DATA "/rest-12lead-II-V2-V5.beats");

constexpr int kFrameRate = 200;

struct Playback {
    std::vector<int> beats;        // frame of each detection, counted from the first frame played
    std::vector<int> refreshRates; // heart rate at each one-second refresh
    std::vector<int> refreshFrames;
};

// One frame number a line.
std::vector<int> readBeatList(const QString& path)
{
    std::vector<int> beats;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                beats.push_back(line.trimmed().toInt());
    }
    return beats;
}

// Frames of source, looping as the live display does, through a fresh monitor.
Playback play(esf::SampleSource& source, int gainIndex, std::int64_t frames)
{
    auto monitor = std::make_unique<esf::LiveMonitor>();
    monitor->settings.gainIndex = std::uint8_t(gainIndex);
    Playback p;
    for (std::int64_t n = 0; n < frames; ++n) {
        const esf::FrameReport report = monitor->processFrame(source.nextFrame(), nullptr);
        // A beat zeroes the counter and raises the flag; the six-second timeout also zeroes
        // the counter, but the flag has been down for long by then.
        if (monitor->beats.beatFlag && monitor->beats.beatCounter == 0)
            p.beats.push_back(int(n));
        if (report.heartRateRefresh) {
            p.refreshRates.push_back(monitor->beats.heartRate);
            p.refreshFrames.push_back(int(n));
        }
    }
    return p;
}

// Empty when detection i falls at listed[i] + [earliest, latest] for every i and the counts
// match: every beat seen once and nothing else, since the windows are far shorter than a beat.
QString compareBeats(const std::vector<int>& detected, const std::vector<int>& listed, int earliest,
                     int latest)
{
    for (std::size_t i = 0; i < std::min(detected.size(), listed.size()); ++i) {
        const int offset = detected[i] - listed[i];
        if (offset < earliest || offset > latest)
            return u"beat listed at %1 detected at %2"_s.arg(listed[i]).arg(detected[i]);
    }
    if (detected.size() != listed.size())
        return u"%1 detections for %2 beats"_s.arg(detected.size()).arg(listed.size());
    return {};
}

void addGains()
{
    QTest::addColumn<int>("gainIndex");
    QTest::newRow("gain 0.5") << 0;
    QTest::newRow("gain 1.0") << 1;
    QTest::newRow("gain 2.0") << 2;
}

} // namespace

class TestEcgData : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void recordingIsWholeFramesAndLongEnough();
    void detectsEveryRecordedBeat_data() { addGains(); }
    void detectsEveryRecordedBeat();
    void realRecordingFindsEachRPeak_data() { addGains(); }
    void realRecordingFindsEachRPeak();
};

void TestEcgData::recordingIsWholeFramesAndLongEnough()
{
    QFile file(kRecording);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size() % esf::kFrameBytes, 0);
    QVERIFY(bytes.size() / esf::kFrameBytes >= 120 * kFrameRate);

    // The doubled gain is held in 16 bits, so raw samples must stay within half the range.
    int peak = 0;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        peak = std::max(peak, std::abs(int(esf::readI16(bytes.constData() + i))));
    QVERIFY2(peak <= 16383, qPrintable(QString::number(peak)));
}

void TestEcgData::detectsEveryRecordedBeat()
{
    QFETCH(int, gainIndex);
    // The listed frame is the steepest V2 edge; the detector fires on the first frame that
    // passes the threshold, which is at or a little before it. At double gain the small r
    // upstroke already passes, up to 40 ms ahead.
    const int earliest = gainIndex == 2 ? -8 : -4;
    esf::SampleSource source;
    QVERIFY(source.open(kRecording));
    const int frames = int(source.frameCount());
    std::vector<int> listed = readBeatList(kRecordingBeats);
    QVERIFY(!listed.empty());

    // Twice through, as the live display loops: the jump from the last frame back to the
    // first must neither look like a QRS edge nor swallow one.
    for (std::size_t i = 0, n = listed.size(); i < n; ++i)
        listed.push_back(listed[i] + frames);
    const Playback p = play(source, gainIndex, 2 * std::int64_t(frames));
    const QString problems = compareBeats(p.beats, listed, earliest, 0);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));

    // The rate starts from 0 and the smoothing keeps 70 % of the old value, so allow ten
    // seconds before every refresh must show a resting rate.
    QVERIFY(p.refreshRates.size() >= 240);
    for (std::size_t i = 0; i < p.refreshRates.size(); ++i) {
        const int rate = p.refreshRates[i];
        QVERIFY2(p.refreshFrames[i] < 10 * kFrameRate || (rate >= 65 && rate <= 85),
                 qPrintable(u"%1/min at frame %2"_s.arg(rate).arg(p.refreshFrames[i])));
    }
}

void TestEcgData::realRecordingFindsEachRPeak()
{
    QFETCH(int, gainIndex);
    esf::SampleSource source;
    QVERIFY(source.open(kReal));
    QCOMPARE(source.frameCount(), std::int64_t(2000));
    const std::vector<int> listed = readBeatList(kRealBeats);
    QCOMPARE(listed.size(), std::size_t(10));

    // The list marks R peaks in lead II, while the detector fires on the r-to-S downstroke of
    // V2 as soon as its 15 ms change passes the threshold. On this recording that happens
    // 0 to 3 frames (up to 15 ms) before the R peak, earlier at higher gain. A frame of slack
    // on top gives +-4 frames (20 ms): well inside the QRS, so a detection on a P or T wave
    // or on a neighbouring beat still fails.
    const Playback p = play(source, gainIndex, source.frameCount());
    const QString problems = compareBeats(p.beats, listed, -4, 4);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
}

QTEST_APPLESS_MAIN(TestEcgData)
#include "tst_ecgdata.moc"

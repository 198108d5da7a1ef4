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

std::vector<int> readBeatList(const QString& path)
{
    std::vector<int> beats;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return beats;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.isEmpty())
            beats.push_back(line.toInt());
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

// Empty when every listed beat has exactly one detection at listed + [earliest, latest] and
// no detection is left over; otherwise the offending frames.
QString compareBeats(const std::vector<int>& detected, const std::vector<int>& listed, int earliest,
                     int latest)
{
    std::vector<int> hits(listed.size(), 0);
    QStringList extra;
    for (int d : detected) {
        const auto it = std::lower_bound(listed.begin(), listed.end(), d - latest);
        if (it != listed.end() && *it <= d - earliest)
            ++hits[std::size_t(it - listed.begin())];
        else
            extra << QString::number(d);
    }
    QStringList missed;
    QStringList doubled;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (hits[i] == 0)
            missed << QString::number(listed[i]);
        else if (hits[i] > 1)
            doubled << QString::number(listed[i]);
    }
    QString problems;
    if (!missed.isEmpty())
        problems += QStringLiteral("missed %1; ").arg(missed.join(QLatin1Char(' ')));
    if (!extra.isEmpty())
        problems += QStringLiteral("extra %1; ").arg(extra.join(QLatin1Char(' ')));
    if (!doubled.isEmpty())
        problems += QStringLiteral("twice %1; ").arg(doubled.join(QLatin1Char(' ')));
    return problems;
}

} // namespace

class TestEcgData : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void recordingIsWholeFramesAndLongEnough();
    void recordingBeatListFitsRecording();
    void detectsEveryRecordedBeat_data();
    void detectsEveryRecordedBeat();
    void recordingHeartRateSettles_data();
    void recordingHeartRateSettles();
    void recordingLoopsWithoutSeam();
    void realRecordingFindsEachRPeak_data();
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

void TestEcgData::recordingBeatListFitsRecording()
{
    esf::SampleSource source;
    QVERIFY(source.open(kRecording));
    const std::vector<int> listed = readBeatList(kRecordingBeats);
    QVERIFY(!listed.empty());
    QVERIFY(std::is_sorted(listed.begin(), listed.end()));
    QVERIFY(listed.front() >= 0);
    QVERIFY(listed.back() < source.frameCount());
    // The detector cannot see two beats closer than its refractory count.
    for (std::size_t i = 1; i < listed.size(); ++i)
        QVERIFY2(listed[i] - listed[i - 1] > esf::BeatDetector::kRefractory + 1,
                 qPrintable(QString::number(listed[i])));
}

void TestEcgData::detectsEveryRecordedBeat_data()
{
    QTest::addColumn<int>("gainIndex");
    QTest::addColumn<int>("earliest");
    // The listed frame is the steepest V2 edge; the detector fires on the first frame that
    // passes the threshold, which is at or a little before it. At double gain the small r
    // upstroke already passes, up to 40 ms ahead.
    QTest::newRow("gain 0.5") << 0 << -4;
    QTest::newRow("gain 1.0") << 1 << -4;
    QTest::newRow("gain 2.0") << 2 << -8;
}

void TestEcgData::detectsEveryRecordedBeat()
{
    QFETCH(int, gainIndex);
    QFETCH(int, earliest);
    esf::SampleSource source;
    QVERIFY(source.open(kRecording));
    const std::vector<int> listed = readBeatList(kRecordingBeats);
    QVERIFY(!listed.empty());

    const Playback p = play(source, gainIndex, source.frameCount());
    const QString problems = compareBeats(p.beats, listed, earliest, 0);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    QCOMPARE(p.beats.size(), listed.size());
}

void TestEcgData::recordingHeartRateSettles_data()
{
    QTest::addColumn<int>("gainIndex");
    QTest::newRow("gain 0.5") << 0;
    QTest::newRow("gain 1.0") << 1;
    QTest::newRow("gain 2.0") << 2;
}

void TestEcgData::recordingHeartRateSettles()
{
    QFETCH(int, gainIndex);
    esf::SampleSource source;
    QVERIFY(source.open(kRecording));

    const Playback p = play(source, gainIndex, source.frameCount());
    QVERIFY(p.refreshRates.size() >= 120);
    // The rate starts from 0 and the smoothing keeps 70 % of the old value, so allow ten
    // seconds before every refresh must show a resting rate.
    for (std::size_t i = 0; i < p.refreshRates.size(); ++i) {
        if (p.refreshFrames[i] < 10 * kFrameRate)
            continue;
        const int rate = p.refreshRates[i];
        QVERIFY2(
            rate >= 65 && rate <= 85,
            qPrintable(QStringLiteral("%1/min at frame %2").arg(rate).arg(p.refreshFrames[i])));
    }
}

void TestEcgData::recordingLoopsWithoutSeam()
{
    // The live display plays the file in an endless loop: the jump from the last frame back
    // to the first must neither look like a QRS edge nor swallow one.
    esf::SampleSource source;
    QVERIFY(source.open(kRecording));
    const int frames = int(source.frameCount());
    const std::vector<int> listed = readBeatList(kRecordingBeats);

    const Playback p = play(source, 1, 2 * std::int64_t(frames));
    std::vector<int> twice = listed;
    for (int b : listed)
        twice.push_back(b + frames);
    const QString problems = compareBeats(p.beats, twice, -4, 0);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));

    // The interval across the seam is an ordinary one, not a pause or an early beat.
    const auto seam = std::lower_bound(p.beats.begin(), p.beats.end(), frames);
    QVERIFY(seam != p.beats.begin() && seam != p.beats.end());
    const int across = *seam - *(seam - 1);
    int shortest = frames;
    int longest = 0;
    for (std::size_t i = 1; i < listed.size(); ++i) {
        shortest = std::min(shortest, listed[i] - listed[i - 1]);
        longest = std::max(longest, listed[i] - listed[i - 1]);
    }
    QVERIFY2(
        across >= shortest - 4 && across <= longest + 4,
        qPrintable(
            QStringLiteral("%1 frames, others %2..%3").arg(across).arg(shortest).arg(longest)));
}

void TestEcgData::realRecordingFindsEachRPeak_data()
{
    QTest::addColumn<int>("gainIndex");
    QTest::newRow("gain 0.5") << 0;
    QTest::newRow("gain 1.0") << 1;
    QTest::newRow("gain 2.0") << 2;
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
    constexpr int kTolerance = 4;
    const Playback p = play(source, gainIndex, source.frameCount());
    const QString problems = compareBeats(p.beats, listed, -kTolerance, kTolerance);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    QCOMPARE(p.beats.size(), listed.size());
}

QTEST_APPLESS_MAIN(TestEcgData)
#include "tst_ecgdata.moc"

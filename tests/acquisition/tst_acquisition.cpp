#include "TestFiles.h"
#include "acquisition/LiveMonitor.h"
#include "acquisition/PortMap.h"

#include <QBuffer>
#include <QRegularExpression>
#include <cmath>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

QByteArray frames(const QList<RawFrame>& list)
{
    QByteArray b;
    for (const RawFrame& f : list)
        for (std::int16_t s : f)
            b.append(static_cast<char>(s & 0xFF)).append(static_cast<char>((s >> 8) & 0xFF));
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

// The port map, and the live monitor from raw frames to the ring, the trace and the average.
class TestAcquisition : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void namesAndDevicePaths()
    {
        QCOMPARE(portName(0), u"COM1"_s);
        QCOMPARE(portName(255), u"COM256"_s);
        QVERIFY(portName(-1).isEmpty() && portName(256).isEmpty());

        // Contents of the remap file, a port name, and the device it opens.
        const char* const usb0 = "/dev/ttyUSB0";
        const struct {
            const char* text;
            const char* name;
            const char* device;
        } cases[] = {
            {"", "COM256", "/dev/ttyS255"},
            {"", "cOm4", "/dev/ttyS3"},
            {"", "COM0", nullptr},
            {"", "COM257", nullptr},
            {"", "COM+1", nullptr},
            {"", "LPT1", nullptr},
            {"COM2=/dev/ttyUSB0\n", "COM3", "/dev/ttyS2"}, // the others keep their default
            {"  \t com2 =  /dev/ttyUSB0 \t\r\n", "Com2", usb0},
            {"\n# adapters\nCOM2\n=/dev/ttyUSB9\nLPT1=/x\nCOM2=/dev/ttyUSB0", "COM2", usb0},
            {"COM2=/dev/ttyUSB0\nCOM2=/dev/ttyACM0\n", "COM2", "/dev/ttyACM0"},
            // Each of these, taken for a device, would replace the good line above it.
            {"COM2=/dev/ttyUSB0\nCOM2=  \nCOM+2=/dev/ttyUSB6\nCOM2=/dev/tty\x01USB1\n"
             "COM2=/dev/tty\xff\xfe\n",
             "COM2", usb0},
            {"COM2=/tmp/a=b\n", "COM2", "/tmp/a=b"},
            {"COM258=/dev/ttyUSB3\n", "COM2", "/dev/ttyS1"}}; // no wrap past the highest
        for (const auto& c : cases)
            QCOMPARE(PortMap::parse(c.text).devicePath(QLatin1String(c.name)),
                     QString::fromLatin1(c.device));
    }
    void loadFromWorkDir()
    {
        QTemporaryDir dir;
        const QDir workDir(dir.path());
        const auto com1 = [&] { return PortMap::load(workDir).devicePath(u"COM1"_s); };
        QCOMPARE(com1(), u"/dev/ttyS0"_s);

        // A folder where the file should be is no file at all.
        QVERIFY(workDir.mkdir(u"Puertos.txt"_s));
        QCOMPARE(com1(), u"/dev/ttyS0"_s);
        QVERIFY(workDir.rmdir(u"Puertos.txt"_s));

        // Copied from an older installation, the name may come in another case. Megabytes of text
        // are not a port map: the lines at the top count, the tail is not read.
        writeFile(dir.filePath(u"PUERTOS.TXT"_s), "COM1=/dev/ttyUSB0\n" + QByteArray(1 << 20, 'x') +
                                                      "\nCOM1=/dev/ttyUSB7\nCOM2=/dev/ttyUSB1\n");
        QCOMPARE(com1(), u"/dev/ttyUSB0"_s);
        QCOMPARE(PortMap::load(workDir).devicePath(u"COM2"_s), u"/dev/ttyS1"_s);
    }
    void gainScaling()
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
    void filterSettlesOnConstantsAndCancelsFiftyHertz()
    {
        const std::pair<int, QList<int>> cases[] = {
            {100, {25, 56, 82, 106, 105, 100, 99, 100, 100}},
            {300, {76, 168, 245, 255, 255}}, // clamped
            {-300, {-76, -168, -245, -256, -256}}};
        for (const auto& [input, drawn] : cases) {
            FilterMemory mem;
            QList<int> out;
            for (qsizetype i = 0; i < drawn.size(); ++i)
                out << filterSample(mem, input);
            QCOMPARE(out, drawn);
        }
        FilterMemory mem;
        // 50 Hz at 200 samples/s is a period of four frames.
        const int sine[4] = {0, 100, 0, -100};
        for (int i = 0; i < 12; ++i)
            filterSample(mem, sine[i % 4]);
        for (int i = 12; i < 400; ++i)
            QVERIFY2(std::abs(filterSample(mem, sine[i % 4])) <= 1, qPrintable(QString::number(i)));
    }
    // The ring keeps the raw value; the memories live on while the filter is off.
    void filterOnlyShapesWhatIsDrawn()
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
    void sourceLoopsIgnoresATornLastFrameAndTicksTenFrames()
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
        QVERIFY(!src.open(std::unique_ptr<QIODevice>()) && !src.open(std::make_unique<QBuffer>()));
        m.tick(src, nullptr);
        QCOMPARE(m.ring.writeIndex, 20);

        // A recording shrinking under playback starts over; an emptied one plays silence.
        QTemporaryDir dir;
        const QString path = dir.filePath(u"shrinks.ecg"_s);
        writeFile(path, frames(list.mid(1, 3)));
        QVERIFY(src.open(path));
        QVERIFY(QFile::resize(path, 8));
        QCOMPARE(src.nextFrame(), list[1]);
        QCOMPARE(src.nextFrame(), list[1]);
        QVERIFY(QFile::resize(path, 0));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"got >= kFrameBytes"_s));
        QCOMPARE(src.nextFrame(), RawFrame{});
    }
    void rateRefreshEverySecondAndStripFromTheOldestFrame()
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
    void averageWaitsHundredFramesAfterEachBeat()
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
    void averageWithoutBeatsEvery1201FramesUnlessSwitchedOff()
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
};

QTEST_GUILESS_MAIN(TestAcquisition)
#include "tst_acquisition.moc"

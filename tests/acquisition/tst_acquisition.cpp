#include "TestFiles.h"
#include "acquisition/LiveMonitor.h"
#include "acquisition/PortMap.h"

#include <QBuffer>
#include <QRegularExpression>

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

} // namespace

// The port map, and playback from a recording into the live monitor.
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

        // Copied from an older installation, the name may come in another case. Megabytes of text
        // are not a port map: the lines at the top count, the tail is not read.
        writeFile(dir.filePath(u"PUERTOS.TXT"_s), "COM1=/dev/ttyUSB0\n" + QByteArray(1 << 20, 'x') +
                                                      "\nCOM1=/dev/ttyUSB7\nCOM2=/dev/ttyUSB1\n");
        QCOMPARE(com1(), u"/dev/ttyUSB0"_s);
        QCOMPARE(PortMap::load(workDir).devicePath(u"COM2"_s), u"/dev/ttyS1"_s);
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
        m.tick(src, nullptr);
        m.tick(src, nullptr);
        QCOMPARE(m.ring.writeIndex, 20);
        // Frames 10..14 then the loop back to 0..4.
        QList<int> second;
        for (int i = 11; i <= 20; ++i)
            second << m.ring.at(0, i);
        QCOMPARE(second, QList<int>({10, 11, 12, 13, 14, 0, 1, 2, 3, 4}));
        QCOMPARE(m.ring.at(2, 20), 3);

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
};

QTEST_GUILESS_MAIN(TestAcquisition)
#include "tst_acquisition.moc"

#include "TestFiles.h"
#include "acquisition/PortMap.h"

using esf::PortMap;
using esf::test::writeFile;

using namespace Qt::StringLiterals;

class TestPortMap : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void namesAndDevicePaths();
    void loadFromWorkDir();
};

void TestPortMap::namesAndDevicePaths()
{
    QCOMPARE(esf::portName(0), u"COM1"_s);
    QCOMPARE(esf::portName(255), u"COM256"_s);
    QVERIFY(esf::portName(-1).isEmpty() && esf::portName(256).isEmpty());

    // Contents of the remap file, a port name, and the device it opens.
    const char* const usb0 = "/dev/ttyUSB0";
    const struct {
        const char* text;
        const char* name;
        const char* device;
    } cases[] = {{"", "COM256", "/dev/ttyS255"},
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

void TestPortMap::loadFromWorkDir()
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

QTEST_GUILESS_MAIN(TestPortMap)
#include "tst_portmap.moc"

#include "acquisition/PortMap.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using esf::PortMap;

class TestPortMap : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void portNames_data();
    void portNames();
    void defaultDevices_data();
    void defaultDevices();
    void remappedLines_data();
    void remappedLines();
    void remapLeavesOtherNamesAlone();
    void binaryAndHugeText();
    void loadFromWorkDir();
    void loadWithoutFile();
    void loadFileNameAnyCase();
    void loadOnlyReadsTheHead();
};

void TestPortMap::portNames_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::newRow("first") << 0 << QStringLiteral("COM1");
    QTest::newRow("menu's last") << 2 << QStringLiteral("COM3");
    QTest::newRow("beyond the menu") << 3 << QStringLiteral("COM4");
    QTest::newRow("eighth") << 7 << QStringLiteral("COM8");
    QTest::newRow("two digits") << 9 << QStringLiteral("COM10");
    QTest::newRow("highest") << 255 << QStringLiteral("COM256");
    QTest::newRow("negative") << -1 << QString();
    QTest::newRow("past highest") << 256 << QString();
}

void TestPortMap::portNames()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QCOMPARE(esf::portName(index), name);
}

void TestPortMap::defaultDevices_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("device");
    QTest::newRow("COM1") << QStringLiteral("COM1") << QStringLiteral("/dev/ttyS0");
    QTest::newRow("COM3") << QStringLiteral("COM3") << QStringLiteral("/dev/ttyS2");
    QTest::newRow("COM10") << QStringLiteral("COM10") << QStringLiteral("/dev/ttyS9");
    QTest::newRow("COM256") << QStringLiteral("COM256") << QStringLiteral("/dev/ttyS255");
    QTest::newRow("lower case") << QStringLiteral("com2") << QStringLiteral("/dev/ttyS1");
    QTest::newRow("mixed case") << QStringLiteral("cOm4") << QStringLiteral("/dev/ttyS3");
    QTest::newRow("leading zero") << QStringLiteral("COM02") << QStringLiteral("/dev/ttyS1");
    QTest::newRow("COM0") << QStringLiteral("COM0") << QString();
    QTest::newRow("COM257") << QStringLiteral("COM257") << QString();
    QTest::newRow("overflowing") << QStringLiteral("COM99999999999") << QString();
    QTest::newRow("no number") << QStringLiteral("COM") << QString();
    QTest::newRow("signed") << QStringLiteral("COM+1") << QString();
    QTest::newRow("negative") << QStringLiteral("COM-1") << QString();
    QTest::newRow("inner blank") << QStringLiteral("COM 1") << QString();
    QTest::newRow("other kind") << QStringLiteral("LPT1") << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestPortMap::defaultDevices()
{
    QFETCH(QString, name);
    QFETCH(QString, device);
    QCOMPARE(PortMap().devicePath(name), device);
    // An empty file changes nothing.
    QCOMPARE(PortMap::parse("").devicePath(name), device);
}

void TestPortMap::remappedLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("device");

    const QString ttyS1 = QStringLiteral("/dev/ttyS1");
    const QString usb0 = QStringLiteral("/dev/ttyUSB0");
    QTest::newRow("plain") << QByteArray("COM2=/dev/ttyUSB0\n") << QStringLiteral("COM2") << usb0;
    QTest::newRow("no final newline")
        << QByteArray("COM2=/dev/ttyUSB0") << QStringLiteral("COM2") << usb0;
    QTest::newRow("blanks and CRLF")
        << QByteArray("  \t com2 =  /dev/ttyUSB0 \t\r\n") << QStringLiteral("COM2") << usb0;
    QTest::newRow("looked up in lower case")
        << QByteArray("COM2=/dev/ttyUSB0\n") << QStringLiteral("com2") << usb0;
    QTest::newRow("between odd lines")
        << QByteArray("\n# adapters\n\nCOM2\n=/dev/ttyUSB9\nCOM2=/dev/ttyUSB0\r\n\r\nLPT1=/x\n")
        << QStringLiteral("COM2") << usb0;
    QTest::newRow("later line wins") << QByteArray("COM2=/dev/ttyUSB0\nCOM2=/dev/ttyACM0\n")
                                     << QStringLiteral("COM2") << QStringLiteral("/dev/ttyACM0");
    QTest::newRow("later empty device ignored")
        << QByteArray("COM2=/dev/ttyUSB0\nCOM2=\nCOM2=   \n") << QStringLiteral("COM2") << usb0;
    QTest::newRow("later bad name ignored")
        << QByteArray("COM2=/dev/ttyUSB0\nCOMx=/dev/ttyUSB5\nCOM+2=/dev/ttyUSB6\n")
        << QStringLiteral("COM2") << usb0;
    QTest::newRow("only an empty device")
        << QByteArray("COM2=\n") << QStringLiteral("COM2") << ttyS1;
    QTest::newRow("device with control byte")
        << QByteArray("COM2=/dev/tty\x01USB0\n") << QStringLiteral("COM2") << ttyS1;
    QTest::newRow("device not UTF-8")
        << QByteArray("COM2=/dev/tty\xff\xfe\n") << QStringLiteral("COM2") << ttyS1;
    QTest::newRow("equals sign in device")
        << QByteArray("COM2=/tmp/a=b\n") << QStringLiteral("COM2") << QStringLiteral("/tmp/a=b");
    QTest::newRow("index beyond the menu")
        << QByteArray("COM8=/dev/ttyUSB3\n") << QStringLiteral("COM8")
        << QStringLiteral("/dev/ttyUSB3");
    QTest::newRow("highest name") << QByteArray("COM256=/dev/ttyUSB3\n") << QStringLiteral("COM256")
                                  << QStringLiteral("/dev/ttyUSB3");
    QTest::newRow("name past highest does not wrap")
        << QByteArray("COM258=/dev/ttyUSB3\n") << QStringLiteral("COM2") << ttyS1;
    QTest::newRow("leading zero is the same port")
        << QByteArray("COM002=/dev/ttyUSB0\n") << QStringLiteral("COM2") << usb0;
}

void TestPortMap::remappedLines()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, name);
    QFETCH(QString, device);
    QCOMPARE(PortMap::parse(text).devicePath(name), device);
}

void TestPortMap::remapLeavesOtherNamesAlone()
{
    const PortMap map = PortMap::parse("COM2=/dev/ttyUSB0\nCOM3=/dev/ttyUSB1\n");
    QCOMPARE(map.devicePath(QStringLiteral("COM1")), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(map.devicePath(QStringLiteral("COM2")), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(map.devicePath(QStringLiteral("COM3")), QStringLiteral("/dev/ttyUSB1"));
    QCOMPARE(map.devicePath(QStringLiteral("COM4")), QStringLiteral("/dev/ttyS3"));
    QCOMPARE(map.devicePath(QStringLiteral("COM0")), QString());
}

void TestPortMap::binaryAndHugeText()
{
    // Random bytes, NULs included, around one good line: the good line still counts and no
    // name picks up a device made of junk.
    QByteArray junk(1 << 20, '\0');
    QRandomGenerator rng(1234);
    for (char& c : junk)
        c = static_cast<char>(rng.bounded(256));
    junk.replace('\n', ' '); // keep the junk on lines of its own
    const QByteArray text = junk + "\nCOM2=/dev/ttyUSB0\n" + junk + "\n=\n==\nCOM=\n";

    const PortMap map = PortMap::parse(text);
    QCOMPARE(map.devicePath(QStringLiteral("COM2")), QStringLiteral("/dev/ttyUSB0"));
    for (int index = 0; index <= esf::kMaxPortIndex; ++index) {
        if (index == 1)
            continue;
        QCOMPARE(map.devicePath(esf::portName(index)), QStringLiteral("/dev/ttyS%1").arg(index));
    }
}

void TestPortMap::loadFromWorkDir()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("Puertos.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("COM1=/dev/ttyUSB0\r\ncom3 = /dev/ttyACM1\r\nnonsense\r\n");
    file.close();

    const PortMap map = PortMap::load(QDir(dir.path()));
    QCOMPARE(map.devicePath(QStringLiteral("COM1")), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(map.devicePath(QStringLiteral("COM2")), QStringLiteral("/dev/ttyS1"));
    QCOMPARE(map.devicePath(QStringLiteral("COM3")), QStringLiteral("/dev/ttyACM1"));
}

void TestPortMap::loadWithoutFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const PortMap map = PortMap::load(QDir(dir.path()));
    QCOMPARE(map.devicePath(QStringLiteral("COM1")), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(map.devicePath(QStringLiteral("COM3")), QStringLiteral("/dev/ttyS2"));

    // A folder where the file should be is no file at all.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Puertos.txt")));
    QCOMPARE(PortMap::load(QDir(dir.path())).devicePath(QStringLiteral("COM1")),
             QStringLiteral("/dev/ttyS0"));
}

void TestPortMap::loadFileNameAnyCase()
{
    // Copied from an older installation, the name may come in another case.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("PUERTOS.TXT")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("COM2=/dev/ttyUSB0\n");
    file.close();
    QCOMPARE(PortMap::load(QDir(dir.path())).devicePath(QStringLiteral("COM2")),
             QStringLiteral("/dev/ttyUSB0"));
}

void TestPortMap::loadOnlyReadsTheHead()
{
    // Megabytes of text are not a port map: the lines at the top count, the tail is not read.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("Puertos.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("COM1=/dev/ttyUSB0\n");
    const QByteArray filler(1 << 20, 'x');
    for (int i = 0; i < 8; ++i)
        file.write(filler + '\n');
    file.write("COM1=/dev/ttyUSB7\nCOM2=/dev/ttyUSB1\n");
    file.close();

    const PortMap map = PortMap::load(QDir(dir.path()));
    QCOMPARE(map.devicePath(QStringLiteral("COM1")), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(map.devicePath(QStringLiteral("COM2")), QStringLiteral("/dev/ttyS1"));
}

QTEST_GUILESS_MAIN(TestPortMap)
#include "tst_portmap.moc"

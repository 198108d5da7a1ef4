#include "TestFiles.h"
#include "acquisition/PortMap.h"

using esf::PortMap;
using esf::test::writeFile;

using namespace Qt::StringLiterals;

class TestPortMap : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void portNames_data();
    void portNames();
    void devicePaths_data();
    void devicePaths();
    void loadFromWorkDir();
};

void TestPortMap::portNames_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::newRow("first") << 0 << u"COM1"_s;
    QTest::newRow("highest") << 255 << u"COM256"_s;
    QTest::newRow("negative") << -1 << QString();
    QTest::newRow("past highest") << 256 << QString();
}

void TestPortMap::portNames()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QCOMPARE(esf::portName(index), name);
}

void TestPortMap::devicePaths_data()
{
    QTest::addColumn<QByteArray>("text"); // contents of the remap file
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("device");

    const QString usb0 = u"/dev/ttyUSB0"_s;
    QTest::newRow("default") << QByteArray() << u"COM1"_s << u"/dev/ttyS0"_s;
    QTest::newRow("default highest") << QByteArray() << u"COM256"_s << u"/dev/ttyS255"_s;
    QTest::newRow("default any case") << QByteArray() << u"cOm4"_s << u"/dev/ttyS3"_s;
    QTest::newRow("COM0") << QByteArray() << u"COM0"_s << QString();
    QTest::newRow("COM257") << QByteArray() << u"COM257"_s << QString();
    QTest::newRow("signed number") << QByteArray() << u"COM+1"_s << QString();
    QTest::newRow("other kind") << QByteArray() << u"LPT1"_s << QString();

    QTest::newRow("remapped") << QByteArray("COM2=/dev/ttyUSB0\n") << u"COM2"_s << usb0;
    QTest::newRow("others keep their default")
        << QByteArray("COM2=/dev/ttyUSB0\n") << u"COM3"_s << u"/dev/ttyS2"_s;
    QTest::newRow("blanks, CRLF and any case")
        << QByteArray("  \t com2 =  /dev/ttyUSB0 \t\r\n") << u"Com2"_s << usb0;
    QTest::newRow("junk lines, no final newline")
        << QByteArray("\n# adapters\nCOM2\n=/dev/ttyUSB9\nLPT1=/x\nCOM2=/dev/ttyUSB0") << u"COM2"_s
        << usb0;
    QTest::newRow("later line wins")
        << QByteArray("COM2=/dev/ttyUSB0\nCOM2=/dev/ttyACM0\n") << u"COM2"_s << u"/dev/ttyACM0"_s;
    // Each of these, taken for a device, would replace the good line above it.
    QTest::newRow("later unusable lines ignored")
        << QByteArray("COM2=/dev/ttyUSB0\nCOM2=  \nCOM+2=/dev/ttyUSB6\n"
                      "COM2=/dev/tty\x01USB1\nCOM2=/dev/tty\xff\xfe\n")
        << u"COM2"_s << usb0;
    QTest::newRow("equals sign in device")
        << QByteArray("COM2=/tmp/a=b\n") << u"COM2"_s << u"/tmp/a=b"_s;
    QTest::newRow("name past highest does not wrap")
        << QByteArray("COM258=/dev/ttyUSB3\n") << u"COM2"_s << u"/dev/ttyS1"_s;
}

void TestPortMap::devicePaths()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, name);
    QFETCH(QString, device);
    QCOMPARE(PortMap::parse(text).devicePath(name), device);
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

    // Copied from an older installation, the name may come in another case.
    writeFile(dir.filePath(u"PUERTOS.TXT"_s), "COM1=/dev/ttyUSB0\r\n");
    QCOMPARE(com1(), u"/dev/ttyUSB0"_s);

    // Megabytes of text are not a port map: the lines at the top count, the tail is not read.
    writeFile(dir.filePath(u"PUERTOS.TXT"_s), "COM1=/dev/ttyUSB0\n" + QByteArray(1 << 20, 'x') +
                                                  "\nCOM1=/dev/ttyUSB7\nCOM2=/dev/ttyUSB1\n");
    QCOMPARE(com1(), u"/dev/ttyUSB0"_s);
    QCOMPARE(PortMap::load(workDir).devicePath(u"COM2"_s), u"/dev/ttyS1"_s);
}

QTEST_GUILESS_MAIN(TestPortMap)
#include "tst_portmap.moc"

#include "acquisition/PortMap.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using esf::PortMap;

namespace {

bool writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

class TestPortMap : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void portNames_data();
    void portNames();
    void devicePaths_data();
    void devicePaths();
    void loadFromWorkDir();
    void loadOnlyReadsTheHead();
};

void TestPortMap::portNames_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::newRow("first") << 0 << QStringLiteral("COM1");
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

void TestPortMap::devicePaths_data()
{
    QTest::addColumn<QByteArray>("text"); // contents of the remap file
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("device");

    const QString usb0 = QStringLiteral("/dev/ttyUSB0");
    QTest::newRow("default") << QByteArray() << QStringLiteral("COM1")
                             << QStringLiteral("/dev/ttyS0");
    QTest::newRow("default highest")
        << QByteArray() << QStringLiteral("COM256") << QStringLiteral("/dev/ttyS255");
    QTest::newRow("default any case")
        << QByteArray() << QStringLiteral("cOm4") << QStringLiteral("/dev/ttyS3");
    QTest::newRow("COM0") << QByteArray() << QStringLiteral("COM0") << QString();
    QTest::newRow("COM257") << QByteArray() << QStringLiteral("COM257") << QString();
    QTest::newRow("signed number") << QByteArray() << QStringLiteral("COM+1") << QString();
    QTest::newRow("other kind") << QByteArray() << QStringLiteral("LPT1") << QString();

    QTest::newRow("remapped") << QByteArray("COM2=/dev/ttyUSB0\n") << QStringLiteral("COM2")
                              << usb0;
    QTest::newRow("others keep their default")
        << QByteArray("COM2=/dev/ttyUSB0\n") << QStringLiteral("COM3")
        << QStringLiteral("/dev/ttyS2");
    QTest::newRow("blanks, CRLF and any case")
        << QByteArray("  \t com2 =  /dev/ttyUSB0 \t\r\n") << QStringLiteral("Com2") << usb0;
    QTest::newRow("junk lines, no final newline")
        << QByteArray("\n# adapters\nCOM2\n=/dev/ttyUSB9\nLPT1=/x\nCOM2=/dev/ttyUSB0")
        << QStringLiteral("COM2") << usb0;
    QTest::newRow("later line wins") << QByteArray("COM2=/dev/ttyUSB0\nCOM2=/dev/ttyACM0\n")
                                     << QStringLiteral("COM2") << QStringLiteral("/dev/ttyACM0");
    // Each of these, taken for a device, would replace the good line above it.
    QTest::newRow("later unusable lines ignored")
        << QByteArray("COM2=/dev/ttyUSB0\nCOM2=  \nCOM+2=/dev/ttyUSB6\n"
                      "COM2=/dev/tty\x01USB1\nCOM2=/dev/tty\xff\xfe\n")
        << QStringLiteral("COM2") << usb0;
    QTest::newRow("equals sign in device")
        << QByteArray("COM2=/tmp/a=b\n") << QStringLiteral("COM2") << QStringLiteral("/tmp/a=b");
    QTest::newRow("name past highest does not wrap")
        << QByteArray("COM258=/dev/ttyUSB3\n") << QStringLiteral("COM2")
        << QStringLiteral("/dev/ttyS1");
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
    QVERIFY(dir.isValid());
    const QDir workDir(dir.path());
    const auto com1 = [&] { return PortMap::load(workDir).devicePath(QStringLiteral("COM1")); };
    QCOMPARE(com1(), QStringLiteral("/dev/ttyS0"));

    // A folder where the file should be is no file at all.
    QVERIFY(workDir.mkdir(QStringLiteral("Puertos.txt")));
    QCOMPARE(com1(), QStringLiteral("/dev/ttyS0"));
    QVERIFY(workDir.rmdir(QStringLiteral("Puertos.txt")));

    // Copied from an older installation, the name may come in another case.
    QVERIFY(writeFile(dir.filePath(QStringLiteral("PUERTOS.TXT")), "COM1=/dev/ttyUSB0\r\n"));
    QCOMPARE(com1(), QStringLiteral("/dev/ttyUSB0"));
}

void TestPortMap::loadOnlyReadsTheHead()
{
    // Megabytes of text are not a port map: the lines at the top count, the tail is not read.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Puertos.txt")),
                      "COM1=/dev/ttyUSB0\n" + QByteArray(1 << 20, 'x') +
                          "\nCOM1=/dev/ttyUSB7\nCOM2=/dev/ttyUSB1\n"));

    const PortMap map = PortMap::load(QDir(dir.path()));
    QCOMPARE(map.devicePath(QStringLiteral("COM1")), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(map.devicePath(QStringLiteral("COM2")), QStringLiteral("/dev/ttyS1"));
}

QTEST_GUILESS_MAIN(TestPortMap)
#include "tst_portmap.moc"

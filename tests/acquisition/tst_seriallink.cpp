#include "acquisition/PortMap.h"
#include "acquisition/SerialLink.h"

#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using esf::PortMap;
using esf::SerialError;
using esf::SerialLink;

namespace {

constexpr int kWaitMs = 10000; // generous: only a broken link ever waits this long

// A test's own look at a pseudo-terminal, to see what the link left on the line.
class RawTerminal {
public:
    explicit RawTerminal(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
    }
    ~RawTerminal()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool getAttributes(termios* tio) const { return ::tcgetattr(m_fd, tio) == 0; }
    bool setAttributes(const termios& tio) { return ::tcsetattr(m_fd, TCSANOW, &tio) == 0; }
    int pendingInput() const
    {
        int count = -1;
        return ::ioctl(m_fd, FIONREAD, &count) == 0 ? count : -1;
    }

private:
    int m_fd;
};

// The far end of a pair, where the acquisition unit would sit.
std::unique_ptr<QSerialPort> openFarEnd(const QString& path)
{
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(path);
    port->setBaudRate(9600);
    if (!port->open(QIODevice::ReadWrite))
        return nullptr;
    return port;
}

bool receive(QSerialPort& port, qint64 count)
{
    return QTest::qWaitFor([&] { return port.bytesAvailable() >= count; }, kWaitMs);
}

} // namespace

class TestSerialLink : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void opensWithLineSettingsAndEmptyInput();
    void sendsCommandBytes();
    void reopensSameIndex();
    void reopenOnAnotherIndexLeavesFirstPort();
    void openFailures_data();
    void openFailures();
    void failedOpenClosesPreviousPort();
    void portInUse();
    void sendWithoutOpenPort();
    void sendAfterUnitGone();
    void closeReleasesDevice();

private:
    // Starts socat linking <dir>/<name>a and <dir>/<name>b; false if the links never appear.
    bool startPair(const QString& name);
    QString end(const QString& name, char side) const
    {
        return m_dir->filePath(name + QLatin1Char(side));
    }

    QString m_socat;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<std::unique_ptr<QProcess>> m_pairs;
};

#define START_PAIR(name)                                                                           \
    do {                                                                                           \
        if (m_socat.isEmpty())                                                                     \
            QSKIP("socat is not installed: no pseudo-terminal pair to stand in for the unit");     \
        QVERIFY2(startPair(name), "socat did not create the pseudo-terminal pair");                \
    } while (false)

void TestSerialLink::initTestCase()
{
    m_socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
}

void TestSerialLink::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSerialLink::cleanup()
{
    for (const auto& process : m_pairs) {
        process->kill();
        process->waitForFinished(kWaitMs);
    }
    m_pairs.clear();
    m_dir.reset();
}

bool TestSerialLink::startPair(const QString& name)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Should this test die before its cleanup, socat goes with it.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    const QString a = end(name, 'a');
    const QString b = end(name, 'b');
    process->start(m_socat, {QStringLiteral("pty,raw,echo=0,link=") + a,
                             QStringLiteral("pty,raw,echo=0,link=") + b});
    if (!process->waitForStarted(kWaitMs))
        return false;
    QProcess* started = process.get();
    m_pairs.push_back(std::move(process));
    return QTest::qWaitFor(
               [&] {
                   return started->state() != QProcess::Running ||
                          (QFile::exists(a) && QFile::exists(b));
               },
               kWaitMs) &&
           started->state() == QProcess::Running;
}

void TestSerialLink::opensWithLineSettingsAndEmptyInput()
{
    START_PAIR(QStringLiteral("p"));

    // Leave the line as another program might have: fast, 7E2, hardware and software flow
    // control, and a few bytes from the unit still waiting to be read.
    RawTerminal line(end(QStringLiteral("p"), 'a'));
    QVERIFY(line.isOpen());
    termios tio{};
    QVERIFY(line.getAttributes(&tio));
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tio.c_cflag = (tio.c_cflag & ~tcflag_t(CSIZE)) | CS7 | PARENB | CSTOPB | CRTSCTS;
    tio.c_iflag |= IXON | IXOFF;
    QVERIFY(line.setAttributes(tio));

    auto unit = openFarEnd(end(QStringLiteral("p"), 'b'));
    QVERIFY(unit);
    unit->write("old");
    QVERIFY(unit->waitForBytesWritten(kWaitMs));
    QVERIFY(QTest::qWaitFor([&] { return line.pendingInput() == 3; }, kWaitMs));

    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(
        1, PortMap::parse("COM2=" + QFile::encodeName(end(QStringLiteral("p"), 'a')))));
    QVERIFY(link.isOpen());
    QCOMPARE(link.currentPath(), end(QStringLiteral("p"), 'a'));

    QVERIFY(line.getAttributes(&tio));
    QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
    QCOMPARE(cfgetispeed(&tio), speed_t(B9600));
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(tio.c_iflag & (IXON | IXOFF | IXANY), tcflag_t(0));
    QCOMPARE(line.pendingInput(), 0);
}

void TestSerialLink::sendsCommandBytes()
{
    START_PAIR(QStringLiteral("p"));
    QFile file(m_dir->filePath(QStringLiteral("Puertos.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("COM2=" + QFile::encodeName(end(QStringLiteral("p"), 'a')) + "\n");
    file.close();

    auto unit = openFarEnd(end(QStringLiteral("p"), 'b'));
    QVERIFY(unit);
    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(1, PortMap::load(QDir(m_dir->path()))));
    QVERIFY_THROWS_NO_EXCEPTION(link.sendCommand(2));
    QVERIFY_THROWS_NO_EXCEPTION(link.sendCommand(0));
    QVERIFY_THROWS_NO_EXCEPTION(link.sendCommand(255));
    QVERIFY(receive(*unit, 3));
    QCOMPARE(unit->readAll(), QByteArray("\x02\x00\xff", 3));
}

void TestSerialLink::reopensSameIndex()
{
    START_PAIR(QStringLiteral("p"));
    const PortMap map = PortMap::parse("COM1=" + QFile::encodeName(end(QStringLiteral("p"), 'a')));
    auto unit = openFarEnd(end(QStringLiteral("p"), 'b'));
    QVERIFY(unit);

    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(0, map));
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(0, map));
    QVERIFY(link.isOpen());
    QVERIFY_THROWS_NO_EXCEPTION(link.sendCommand(1));
    QVERIFY(receive(*unit, 1));
    QCOMPARE(unit->readAll(), QByteArray("\x01"));
}

void TestSerialLink::reopenOnAnotherIndexLeavesFirstPort()
{
    START_PAIR(QStringLiteral("p"));
    START_PAIR(QStringLiteral("q"));
    const QString firstPort = end(QStringLiteral("p"), 'a');
    const QString secondPort = end(QStringLiteral("q"), 'a');
    const PortMap map = PortMap::parse("COM2=" + QFile::encodeName(firstPort) +
                                       "\nCOM3=" + QFile::encodeName(secondPort) + "\n");
    auto firstUnit = openFarEnd(end(QStringLiteral("p"), 'b'));
    auto secondUnit = openFarEnd(end(QStringLiteral("q"), 'b'));
    QVERIFY(firstUnit);
    QVERIFY(secondUnit);

    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(1, map));
    // While the link holds a port nobody else may open it.
    QSerialPort probe;
    probe.setPortName(firstPort);
    QVERIFY(!probe.open(QIODevice::ReadWrite));

    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(2, map));
    QCOMPARE(link.currentPath(), secondPort);
    QVERIFY_THROWS_NO_EXCEPTION(link.sendCommand(2));
    QVERIFY(receive(*secondUnit, 1));
    QCOMPARE(secondUnit->readAll(), QByteArray("\x02"));

    // The first port is free again, and the command did not go out on it: a marker written
    // there now is the first thing its unit sees.
    QVERIFY(probe.open(QIODevice::ReadWrite));
    probe.write("!");
    QVERIFY(probe.waitForBytesWritten(kWaitMs));
    QVERIFY(receive(*firstUnit, 1));
    QCOMPARE(firstUnit->readAll(), QByteArray("!"));
}

void TestSerialLink::openFailures_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("device"); // relative to the test's folder; empty: no mapping
    QTest::addColumn<int>("errorCode");
    QTest::newRow("missing device") << 0 << QStringLiteral("missing") << ENOENT;
    QTest::newRow("folder") << 0 << QStringLiteral("folder") << EISDIR;
    QTest::newRow("plain file") << 0 << QStringLiteral("plain") << ENOTTY;
    QTest::newRow("index below range") << -1 << QString() << ENOENT;
    QTest::newRow("index above range") << 256 << QString() << ENOENT;
}

void TestSerialLink::openFailures()
{
    QFETCH(int, index);
    QFETCH(QString, device);
    QFETCH(int, errorCode);

    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    QFile plain(m_dir->filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("not a terminal");
    plain.close();

    const PortMap map = device.isEmpty()
                            ? PortMap()
                            : PortMap::parse("COM1=" + QFile::encodeName(m_dir->filePath(device)));
    SerialLink link;
    try {
        link.openPort(index, map);
        QFAIL("opening did not fail");
    } catch (const SerialError& e) {
        QCOMPARE(e.operation(), QStringLiteral("Unable to open com port"));
        QCOMPARE(e.errorCode(), errorCode);
        QCOMPARE(e.message(),
                 QStringLiteral("Unable to open com port (error code: %1)").arg(errorCode));
        QCOMPARE(QString::fromStdString(e.what()), e.message());
    }
    QVERIFY(!link.isOpen());
    QVERIFY(link.currentPath().isEmpty());
}

void TestSerialLink::failedOpenClosesPreviousPort()
{
    START_PAIR(QStringLiteral("p"));
    const QString port = end(QStringLiteral("p"), 'a');
    const PortMap map = PortMap::parse("COM2=" + QFile::encodeName(port) + "\nCOM3=" +
                                       QFile::encodeName(m_dir->filePath(QStringLiteral("gone"))));
    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(1, map));
    QVERIFY_THROWS_EXCEPTION(SerialError, link.openPort(2, map));
    QVERIFY(!link.isOpen());
    QVERIFY(link.currentPath().isEmpty());

    // The old port was let go, and nothing goes out until a port opens again.
    QSerialPort probe;
    probe.setPortName(port);
    QVERIFY(probe.open(QIODevice::ReadWrite));
    try {
        link.sendCommand(1);
        QFAIL("sending on a closed link did not fail");
    } catch (const SerialError& e) {
        QVERIFY2(e.message().startsWith(QLatin1String("WriteFile function failed (error code: ")),
                 qPrintable(e.message()));
    }
}

void TestSerialLink::portInUse()
{
    START_PAIR(QStringLiteral("p"));
    const QString port = end(QStringLiteral("p"), 'a');
    QSerialPort other;
    other.setPortName(port);
    QVERIFY(other.open(QIODevice::ReadWrite));

    SerialLink link;
    try {
        link.openPort(0, PortMap::parse("COM1=" + QFile::encodeName(port)));
        QFAIL("opening a port in use did not fail");
    } catch (const SerialError& e) {
        QCOMPARE(e.message(),
                 QStringLiteral("Unable to open com port (error code: %1)").arg(EBUSY));
    }
    QVERIFY(!link.isOpen());
    // The failed attempt must not have disturbed the owner.
    QVERIFY(other.isOpen());
}

void TestSerialLink::sendWithoutOpenPort()
{
    SerialLink link;
    QVERIFY(!link.isOpen());
    link.close();
    link.close();
    try {
        link.sendCommand(2);
        QFAIL("sending without a port did not fail");
    } catch (const SerialError& e) {
        QCOMPARE(e.message(),
                 QStringLiteral("WriteFile function failed (error code: %1)").arg(EBADF));
    }
}

void TestSerialLink::sendAfterUnitGone()
{
    START_PAIR(QStringLiteral("p"));
    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(
        0, PortMap::parse("COM1=" + QFile::encodeName(end(QStringLiteral("p"), 'a')))));

    // With socat gone the far side of the pseudo-terminal is closed: the line is hung up.
    m_pairs.front()->kill();
    QVERIFY(m_pairs.front()->waitForFinished(kWaitMs));

    try {
        link.sendCommand(2);
        QFAIL("sending on a hung-up line did not fail");
    } catch (const SerialError& e) {
        QCOMPARE(e.operation(), QStringLiteral("WriteFile function failed"));
        QCOMPARE(e.errorCode(), EIO);
    }
    link.close();
    QVERIFY(!link.isOpen());
}

void TestSerialLink::closeReleasesDevice()
{
    START_PAIR(QStringLiteral("p"));
    const QString port = end(QStringLiteral("p"), 'a');
    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(
        link.openPort(0, PortMap::parse("COM1=" + QFile::encodeName(port))));
    link.close();
    QVERIFY(!link.isOpen());
    QVERIFY(link.currentPath().isEmpty());

    QSerialPort probe;
    probe.setPortName(port);
    QVERIFY(probe.open(QIODevice::ReadWrite));
    link.close();
}

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"

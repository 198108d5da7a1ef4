#include "acquisition/PortMap.h"
#include "acquisition/SerialLink.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
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

bool canOpen(const QString& path)
{
    QSerialPort probe;
    probe.setPortName(path);
    return probe.open(QIODevice::ReadWrite);
}

// The message of the SerialError that call throws.
template <typename Call> QString errorOf(Call call)
{
    try {
        call();
    } catch (const SerialError& e) {
        // The text also goes to the log through what().
        return QString::fromStdString(e.what()) == e.message() ? e.message() : QString();
    }
    return QStringLiteral("no error");
}

QString openError(int code)
{
    return QStringLiteral("Unable to open com port (error code: %1)").arg(code);
}

// A port map naming a device for each listed COM number.
PortMap mapOf(std::initializer_list<std::pair<int, QString>> ports)
{
    QByteArray text;
    for (const auto& [number, device] : ports)
        text += "COM" + QByteArray::number(number) + '=' + QFile::encodeName(device) + '\n';
    return PortMap::parse(text);
}

} // namespace

class TestSerialLink : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void opensAt9600With8N1AndEmptyInput();
    void sendsBytesInOrderAfterReopen();
    void reopenReleasesPreviousDevice();
    void openFailures_data();
    void openFailures();
    void portInUse();
    void sendAfterUnitGone();

private:
    // Starts socat linking <dir>/<name>a and <dir>/<name>b; false if the links never appear.
    bool startPair(const QString& name);
    QString end(const char* name, char side) const
    {
        return m_dir->filePath(QLatin1String(name) + QLatin1Char(side));
    }

    QString m_socat;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<std::unique_ptr<QProcess>> m_pairs;
};

#define START_PAIR(name)                                                                           \
    do {                                                                                           \
        if (m_socat.isEmpty())                                                                     \
            QSKIP("socat is not installed: no pseudo-terminal pair to stand in for the unit");     \
        QVERIFY2(startPair(QStringLiteral(name)),                                                  \
                 "socat did not create the pseudo-terminal pair");                                 \
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
    const QString a = m_dir->filePath(name + QLatin1Char('a'));
    const QString b = m_dir->filePath(name + QLatin1Char('b'));
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

void TestSerialLink::opensAt9600With8N1AndEmptyInput()
{
    START_PAIR("p");

    // Leave the line as another program might have: fast, 7E2, hardware and software flow
    // control, and a few bytes from the unit still waiting to be read.
    const int fd =
        ::open(QFile::encodeName(end("p", 'a')).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    termios tio{};
    QVERIFY(::tcgetattr(fd, &tio) == 0);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B115200);
    tio.c_cflag = (tio.c_cflag & ~tcflag_t(CSIZE)) | CS7 | PARENB | CSTOPB | CRTSCTS;
    tio.c_iflag |= IXON | IXOFF;
    QVERIFY(::tcsetattr(fd, TCSANOW, &tio) == 0);
    const auto pending = [fd] {
        int count = -1;
        return ::ioctl(fd, FIONREAD, &count) == 0 ? count : -1;
    };
    auto unit = openFarEnd(end("p", 'b'));
    QVERIFY(unit);
    unit->write("old");
    QVERIFY(unit->waitForBytesWritten(kWaitMs));
    QVERIFY(QTest::qWaitFor([&] { return pending() == 3; }, kWaitMs));

    // A pty has no modem lines: setting DTR and RTS there must not fail the opening.
    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(1, mapOf({{2, end("p", 'a')}})));
    QVERIFY(link.isOpen());
    QCOMPARE(link.currentPath(), end("p", 'a'));

    QVERIFY(::tcgetattr(fd, &tio) == 0);
    QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
    QCOMPARE(cfgetispeed(&tio), speed_t(B9600));
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(tio.c_iflag & (IXON | IXOFF | IXANY), tcflag_t(0));
    QCOMPARE(pending(), 0);
}

void TestSerialLink::sendsBytesInOrderAfterReopen()
{
    START_PAIR("p");
    const PortMap map = mapOf({{1, end("p", 'a')}});
    auto unit = openFarEnd(end("p", 'b'));
    QVERIFY(unit);

    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(0, map));
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(0, map)); // the same device again
    for (quint8 value : {2, 0, 255})
        QVERIFY_THROWS_NO_EXCEPTION(link.sendCommand(value));
    QVERIFY(receive(*unit, 3));
    QCOMPARE(unit->readAll(), QByteArray("\x02\x00\xff", 3));

    link.close();
    QVERIFY(!link.isOpen());
    QVERIFY(link.currentPath().isEmpty());
    QVERIFY(canOpen(end("p", 'a')));
}

void TestSerialLink::reopenReleasesPreviousDevice()
{
    START_PAIR("p");
    START_PAIR("q");
    const PortMap map = mapOf(
        {{2, end("p", 'a')}, {3, end("q", 'a')}, {4, m_dir->filePath(QStringLiteral("gone"))}});
    auto firstUnit = openFarEnd(end("p", 'b'));
    auto secondUnit = openFarEnd(end("q", 'b'));
    QVERIFY(firstUnit && secondUnit);

    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(1, map));
    QVERIFY(!canOpen(end("p", 'a'))); // held while the link is on it
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(2, map));
    QCOMPARE(link.currentPath(), end("q", 'a'));
    QVERIFY_THROWS_NO_EXCEPTION(link.sendCommand(2));
    QVERIFY(receive(*secondUnit, 1));
    QCOMPARE(secondUnit->readAll(), QByteArray("\x02"));

    // The first port is free, and the command did not go out on it: a marker written there
    // now is the first thing its unit sees.
    QSerialPort probe;
    probe.setPortName(end("p", 'a'));
    QVERIFY(probe.open(QIODevice::ReadWrite));
    probe.write("!");
    QVERIFY(probe.waitForBytesWritten(kWaitMs));
    QVERIFY(receive(*firstUnit, 1));
    QCOMPARE(firstUnit->readAll(), QByteArray("!"));

    // A failed opening also lets the old port go, and nothing is sent until one opens again.
    QCOMPARE(errorOf([&] { link.openPort(3, map); }), openError(ENOENT));
    QVERIFY(!link.isOpen());
    QVERIFY(canOpen(end("q", 'a')));
    QCOMPARE(errorOf([&] { link.sendCommand(1); }),
             QStringLiteral("WriteFile function failed (error code: %1)").arg(EBADF));
}

void TestSerialLink::openFailures_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("device"); // relative to the test's folder; empty: no mapping
    QTest::addColumn<int>("errorCode");
    QTest::newRow("missing device") << 0 << QStringLiteral("missing") << ENOENT;
    QTest::newRow("plain file") << 0 << QStringLiteral("plain") << ENOTTY;
    QTest::newRow("index out of range") << 256 << QString() << ENOENT;
}

void TestSerialLink::openFailures()
{
    QFETCH(int, index);
    QFETCH(QString, device);
    QFETCH(int, errorCode);

    QFile plain(m_dir->filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("not a terminal");
    plain.close();

    const PortMap map = device.isEmpty() ? PortMap() : mapOf({{1, m_dir->filePath(device)}});
    SerialLink link;
    QCOMPARE(errorOf([&] { link.openPort(index, map); }), openError(errorCode));
    QVERIFY(!link.isOpen());
    QVERIFY(link.currentPath().isEmpty());
}

void TestSerialLink::portInUse()
{
    START_PAIR("p");
    QSerialPort other;
    other.setPortName(end("p", 'a'));
    QVERIFY(other.open(QIODevice::ReadWrite));

    SerialLink link;
    QCOMPARE(errorOf([&] { link.openPort(0, mapOf({{1, end("p", 'a')}})); }), openError(EBUSY));
    QVERIFY(!link.isOpen());
    QVERIFY(other.isOpen()); // the failed attempt left the owner alone
}

void TestSerialLink::sendAfterUnitGone()
{
    START_PAIR("p");
    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(0, mapOf({{1, end("p", 'a')}})));

    // With socat gone the far side of the pseudo-terminal is closed: the line is hung up.
    m_pairs.front()->kill();
    QVERIFY(m_pairs.front()->waitForFinished(kWaitMs));

    QCOMPARE(errorOf([&] { link.sendCommand(2); }),
             QStringLiteral("WriteFile function failed (error code: %1)").arg(EIO));
    link.close();
    QVERIFY(!link.isOpen());
}

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"

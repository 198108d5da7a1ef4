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
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using esf::PortMap;
using esf::SerialError;
using esf::SerialLink;

namespace {

constexpr int kWaitMs = 10000; // generous: only a broken link ever waits this long

// An open port on path, or null when it cannot be opened.
std::unique_ptr<QSerialPort> openEnd(const QString& path)
{
    auto port = std::make_unique<QSerialPort>(path);
    return port->open(QIODevice::ReadWrite) ? std::move(port) : nullptr;
}

QByteArray receive(QSerialPort& port, qint64 count)
{
    static_cast<void>(QTest::qWaitFor([&] { return port.bytesAvailable() >= count; }, kWaitMs));
    return port.readAll();
}

// The message of the SerialError that call throws.
template <typename Call> QString errorOf(Call call)
{
    try {
        call();
    } catch (const SerialError& e) {
        // The text also goes to the log through what(); should the two differ, this is empty.
        return QString::fromStdString(e.what()) == e.message() ? e.message() : QString();
    }
    return QStringLiteral("no error");
}

QString errorText(const char* operation, int code)
{
    return QStringLiteral("%1 (error code: %2)").arg(QLatin1String(operation)).arg(code);
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
    void init();
    void cleanup();

    void opensAt9600With8N1();
    void sendsBytesInOrderAfterReopen();
    void reopenReleasesPreviousDevice();
    void openFailures_data();
    void openFailures();
    void sendAfterUnitGone();

private:
    // Starts socat linking <dir>/<name>a and <dir>/<name>b; false if the links never appear.
    bool startPair(const QString& name);
    QString end(const char* name, char side) const
    {
        return m_dir->filePath(QLatin1String(name) + QLatin1Char(side));
    }

    const QString m_socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
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
}

bool TestSerialLink::startPair(const QString& name)
{
    QProcess& socat = *m_pairs.emplace_back(std::make_unique<QProcess>());
    socat.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Should this test die before its cleanup, socat goes with it.
    socat.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    const QString a = m_dir->filePath(name + QLatin1Char('a'));
    const QString b = m_dir->filePath(name + QLatin1Char('b'));
    socat.start(m_socat, {QStringLiteral("pty,raw,echo=0,link=") + a,
                          QStringLiteral("pty,raw,echo=0,link=") + b});
    if (!socat.waitForStarted(kWaitMs))
        return false;
    return QTest::qWaitFor(
               [&] {
                   return socat.state() != QProcess::Running ||
                          (QFile::exists(a) && QFile::exists(b));
               },
               kWaitMs) &&
           socat.state() == QProcess::Running;
}

void TestSerialLink::opensAt9600With8N1()
{
    START_PAIR("p");

    // Leave the line as another program might have: fast, two stop bits, hardware and software
    // flow control.
    const int fd =
        ::open(QFile::encodeName(end("p", 'a')).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    termios tio{};
    QVERIFY(::tcgetattr(fd, &tio) == 0);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B115200);
    tio.c_cflag |= CSTOPB | CRTSCTS;
    tio.c_iflag |= IXON | IXOFF;
    QVERIFY(::tcsetattr(fd, TCSANOW, &tio) == 0);

    // A pty has no modem lines: setting DTR and RTS there must not fail the opening.
    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(1, mapOf({{2, end("p", 'a')}})));
    QCOMPARE(link.currentPath(), end("p", 'a'));

    QVERIFY(::tcgetattr(fd, &tio) == 0);
    QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
    QCOMPARE(cfgetispeed(&tio), speed_t(B9600));
    QCOMPARE(tio.c_cflag & (CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(tio.c_iflag & (IXON | IXOFF | IXANY), tcflag_t(0));
    // A pty always reports 8 data bits and no parity, whatever was asked: read those two back
    // from the port the link set up.
    const auto* port = link.findChild<QSerialPort*>();
    QVERIFY(port);
    QCOMPARE(port->dataBits(), QSerialPort::Data8);
    QCOMPARE(port->parity(), QSerialPort::NoParity);
}

void TestSerialLink::sendsBytesInOrderAfterReopen()
{
    START_PAIR("p");
    const PortMap map = mapOf({{1, end("p", 'a')}});
    auto unit = openEnd(end("p", 'b'));
    QVERIFY(unit);

    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(0, map));
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(0, map)); // the same device again
    for (quint8 value : {2, 0, 255})
        QVERIFY_THROWS_NO_EXCEPTION(link.sendCommand(value));
    QCOMPARE(receive(*unit, 3), QByteArray("\x02\x00\xff", 3));

    link.close();
    QVERIFY(link.currentPath().isEmpty());
    QVERIFY(openEnd(end("p", 'a')));
}

void TestSerialLink::reopenReleasesPreviousDevice()
{
    START_PAIR("p");
    START_PAIR("q");
    const PortMap map = mapOf({{2, end("p", 'a')}, {3, end("q", 'a')}});
    auto firstUnit = openEnd(end("p", 'b'));
    auto secondUnit = openEnd(end("q", 'b'));
    QVERIFY(firstUnit && secondUnit);

    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(1, map));
    QVERIFY(!openEnd(end("p", 'a'))); // held while the link is on it
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(2, map));
    QCOMPARE(link.currentPath(), end("q", 'a'));
    QVERIFY_THROWS_NO_EXCEPTION(link.sendCommand(2));
    QCOMPARE(receive(*secondUnit, 1), QByteArray("\x02"));

    // The first port is free, and the command did not go out on it: a marker written there
    // now is the first thing its unit sees.
    auto other = openEnd(end("p", 'a'));
    QVERIFY(other && other->write("!") == 1 && other->waitForBytesWritten(kWaitMs));
    QCOMPARE(receive(*firstUnit, 1), QByteArray("!"));

    // Now held by another program: the opening fails without disturbing it, lets the old port
    // go all the same, and nothing is sent until a port opens again.
    QCOMPARE(errorOf([&] { link.openPort(1, map); }), errorText("Unable to open com port", EBUSY));
    QVERIFY(!link.isOpen());
    QVERIFY(other->isOpen());
    QVERIFY(openEnd(end("q", 'a')));
    QCOMPARE(errorOf([&] { link.sendCommand(1); }), errorText("WriteFile function failed", EBADF));
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
    QVERIFY(plain.open(QIODevice::WriteOnly) && plain.write("not a terminal") > 0);
    plain.close();

    const PortMap map = device.isEmpty() ? PortMap() : mapOf({{1, m_dir->filePath(device)}});
    SerialLink link;
    QCOMPARE(errorOf([&] { link.openPort(index, map); }),
             errorText("Unable to open com port", errorCode));
    QVERIFY(!link.isOpen());
    QVERIFY(link.currentPath().isEmpty());
}

void TestSerialLink::sendAfterUnitGone()
{
    START_PAIR("p");
    SerialLink link;
    QVERIFY_THROWS_NO_EXCEPTION(link.openPort(0, mapOf({{1, end("p", 'a')}})));

    // With socat gone the far side of the pseudo-terminal is closed: the line is hung up.
    m_pairs.front()->kill();
    QVERIFY(m_pairs.front()->waitForFinished(kWaitMs));
    QCOMPARE(errorOf([&] { link.sendCommand(2); }), errorText("WriteFile function failed", EIO));
}

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"

#include "TestSupport.h"
#include "acquisition/PortMap.h"
#include "acquisition/SerialLink.h"

#include <QScopeGuard>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using esf::PortMap;
using esf::SerialError;
using esf::SerialLink;
using esf::test::PtyPair;

using namespace Qt::StringLiterals;

namespace {

// An open port on path, or null when it cannot be opened.
std::unique_ptr<QSerialPort> openEnd(const QString& path)
{
    auto port = std::make_unique<QSerialPort>(path);
    return port->open(QIODevice::ReadWrite) ? std::move(port) : nullptr;
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
    return u"no error"_s;
}

QString errorText(const char* operation, int code)
{
    return u"%1 (error code: %2)"_s.arg(QLatin1String(operation)).arg(code);
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
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void opensSendsAndLetsGo()
    {
        ESF_REQUIRE_SOCAT();
        PtyPair p(m_dir->path(), u"p"_s);
        PtyPair q(m_dir->path(), u"q"_s);
        QVERIFY2(p.ready() && q.ready(false), "socat did not create the pseudo-terminal pairs");
        const PortMap map = mapOf({{2, p.near}, {3, q.near}});

        // Leave the line as another program might have: fast, two stop bits, hardware and software
        // flow control.
        const int fd =
            ::open(QFile::encodeName(p.near).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
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
        QVERIFY_THROWS_NO_EXCEPTION(link.openPort(1, map));
        QVERIFY(::tcgetattr(fd, &tio) == 0);
        QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
        QCOMPARE(tio.c_cflag & (CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(tio.c_iflag & (IXON | IXOFF | IXANY), tcflag_t(0));
        // A pty always reports 8 data bits and no parity, whatever was asked: read those two back
        // from the port the link set up.
        const auto* port = link.findChild<QSerialPort*>();
        QVERIFY(port);
        QCOMPARE(port->dataBits(), QSerialPort::Data8);
        QCOMPARE(port->parity(), QSerialPort::NoParity);

        for (quint8 value : {2, 0, 255})
            QVERIFY_THROWS_NO_EXCEPTION(link.sendCommand(value));
        QCOMPARE(p.received(3), QByteArray("\x02\x00\xff", 3));
        QVERIFY(!openEnd(p.near)); // held while the link is on it
        QVERIFY_THROWS_NO_EXCEPTION(link.openPort(2, map));
        QCOMPARE(link.currentPath(), q.near);
        auto other = openEnd(p.near); // the first port is free again
        QVERIFY(other);

        // With socat gone the far side of the pseudo-terminal is closed: the line is hung up.
        q.kill();
        QCOMPARE(errorOf([&] { link.sendCommand(2); }),
                 errorText("WriteFile function failed", EIO));

        // Now held by another program: the opening fails without disturbing it, lets the old port
        // go all the same, and nothing is sent until a port opens again.
        QCOMPARE(errorOf([&] { link.openPort(1, map); }),
                 errorText("Unable to open com port", EBUSY));
        QVERIFY(!link.isOpen());
        QVERIFY(other->isOpen());
        QCOMPARE(errorOf([&] { link.sendCommand(1); }),
                 errorText("WriteFile function failed", EBADF));
    }
    void openFailures_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("device"); // relative to the test's folder; empty: no mapping
        QTest::addColumn<int>("errorCode");
        QTest::newRow("missing device") << 0 << u"missing"_s << ENOENT;
        QTest::newRow("plain file") << 0 << u"plain"_s << ENOTTY;
        QTest::newRow("index out of range") << 256 << QString() << ENOENT;
    }
    void openFailures()
    {
        QFETCH(int, index);
        QFETCH(QString, device);
        QFETCH(int, errorCode);

        esf::test::writeFile(m_dir->filePath(u"plain"_s), "not a terminal");

        const PortMap map = device.isEmpty() ? PortMap() : mapOf({{1, m_dir->filePath(device)}});
        SerialLink link;
        QCOMPARE(errorOf([&] { link.openPort(index, map); }),
                 errorText("Unable to open com port", errorCode));
        QVERIFY(!link.isOpen() && link.currentPath().isEmpty());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"

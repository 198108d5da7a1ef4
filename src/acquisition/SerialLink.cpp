#include "acquisition/SerialLink.h"

#include "acquisition/PortMap.h"

#include <cerrno>

namespace esf {

namespace {

constexpr QLatin1String kOpenText("Unable to open com port");
constexpr QLatin1String kWriteText("WriteFile function failed");
constexpr QLatin1String kPurgeText("PurgeComm function failed");
constexpr QLatin1String kModemLinesText("EscapeCommFunction function failed");

constexpr qint32 kBaudRate = 9600;
constexpr qint64 kBufferBytes = 1024;
// 100 ms for each byte plus 1000 ms, for the single command byte.
constexpr int kWriteTimeoutMs = 100 * 1 + 1000;

// The error number to show. Qt's kind of failure decides and the errno seen when it was
// reported only refines it: some failures have no system call behind them, and a port held
// by another program is noticed through its lock file, after unrelated calls set errno.
int systemCode(int captured, QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return captured == ENODEV || captured == ENXIO ? captured : ENOENT;
    case QSerialPort::PermissionError:
        return captured == EACCES || captured == EPERM || captured == EROFS ? captured : EBUSY;
    case QSerialPort::OpenError:
        return EBUSY;
    case QSerialPort::NotOpenError:
        return EBADF;
    case QSerialPort::TimeoutError:
        return ETIMEDOUT;
    case QSerialPort::UnsupportedOperationError:
        return captured != 0 ? captured : ENOTSUP;
    case QSerialPort::NoError:
    case QSerialPort::WriteError:
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
    case QSerialPort::UnknownError:
        break;
    }
    return captured != 0 ? captured : EIO;
}

// Pseudo-terminals and many USB adapters have no modem-control lines at all.
bool isMissingModemLines(int code, QSerialPort::SerialPortError error)
{
    return error == QSerialPort::UnsupportedOperationError || code == ENOTTY || code == EINVAL ||
           code == ENOTSUP || code == ENOSYS;
}

} // namespace

SerialError::SerialError(QString operation, int errorCode)
    : std::runtime_error(
          QStringLiteral("%1 (error code: %2)").arg(operation).arg(errorCode).toStdString()),
      m_operation(std::move(operation)), m_errorCode(errorCode)
{
}

QString SerialError::message() const
{
    return QStringLiteral("%1 (error code: %2)").arg(m_operation).arg(m_errorCode);
}

SerialLink::SerialLink(QObject* parent) : QObject(parent), m_port(this)
{
    setObjectName(QStringLiteral("ComPort1"));
    // Qt keeps only its own error enum; the number shown to the user is the system's, read
    // here because the port reports synchronously right after the failing call.
    connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        const int code = errno;
        if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError &&
            error != QSerialPort::NotOpenError)
            m_errno = code;
    });
    // Nothing the unit sends is used; a handler on readyRead would have nothing to do.
}

SerialLink::~SerialLink()
{
    close();
}

void SerialLink::openPort(int portIndex, const PortMap& map)
{
    close();
    m_port.setBaudRate(kBaudRate);

    const QString path = map.devicePath(portName(portIndex));
    if (path.isEmpty())
        throw SerialError(kOpenText, ENOENT);
    m_port.setPortName(path); // a full path: Qt then uses it as given

    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    // Nothing is read, so whatever the unit sends must not pile up in memory.
    m_port.setReadBufferSize(kBufferBytes);

    resetError();
    if (!m_port.open(QIODevice::ReadWrite))
        fail(kOpenText);
    m_path = path;

    setModemLine(&QSerialPort::setDataTerminalReady, false);
    setModemLine(&QSerialPort::setRequestToSend, true);

    resetError();
    if (!m_port.clear(QSerialPort::AllDirections))
        fail(kPurgeText);
}

void SerialLink::sendCommand(quint8 value)
{
    if (!m_port.isOpen())
        throw SerialError(kWriteText, EBADF);
    resetError();
    const char byte = static_cast<char>(value);
    if (m_port.write(&byte, 1) != 1 || !m_port.waitForBytesWritten(kWriteTimeoutMs))
        fail(kWriteText);
}

void SerialLink::close()
{
    if (!m_port.isOpen())
        return;
    // A device that has gone away cannot be purged; it must still be released.
    m_port.clear(QSerialPort::AllDirections);
    m_port.close();
    m_path.clear();
}

bool SerialLink::isOpen() const
{
    return m_port.isOpen();
}

QString SerialLink::currentPath() const
{
    return m_path;
}

void SerialLink::resetError()
{
    m_port.clearError();
    m_errno = 0;
    errno = 0;
}

void SerialLink::fail(const QString& operation) const
{
    throw SerialError(operation, systemCode(m_errno, m_port.error()));
}

void SerialLink::setModemLine(bool (QSerialPort::*setter)(bool), bool on)
{
    resetError();
    if ((m_port.*setter)(on))
        return;
    if (isMissingModemLines(m_errno, m_port.error())) {
        m_port.clearError();
        return;
    }
    fail(kModemLinesText);
}

} // namespace esf

#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>

#include <stdexcept>

namespace esf {

class PortMap;

// A serial operation that failed: what was being done and the operating system's error number.
// Handlers catch it at their edge and show message() in the standard error box.
class SerialError : public std::runtime_error {
public:
    SerialError(QString operation, int errorCode);

    const QString& operation() const { return m_operation; }
    int errorCode() const { return m_errorCode; }
    // "Unable to open com port (error code: 2)"
    QString message() const;

private:
    QString m_operation;
    int m_errorCode;
};

// The link to the acquisition unit (ComPort1): one-byte gain commands out, nothing read back.
// All calls come from the user-interface thread.
class SerialLink : public QObject {
    Q_OBJECT

public:
    explicit SerialLink(QObject* parent = nullptr);
    ~SerialLink() override;

    // Closes any open port, then opens COM(portIndex+1) as the map resolves it at 9600 8N1
    // without flow control, DTR off and RTS on, both buffers emptied. Throws SerialError.
    void openPort(int portIndex, const PortMap& map);
    // Writes one byte and waits until it has gone out. Throws SerialError, also when no port
    // is open because the last opening failed.
    void sendCommand(quint8 value);
    // Drops whatever is pending and releases the device; nothing happens when already closed.
    void close();

    bool isOpen() const;
    // Device the link is open on; empty while closed.
    QString currentPath() const;

private:
    void resetError();
    [[noreturn]] void fail(const QString& operation) const;
    void setModemLine(bool (QSerialPort::*setter)(bool), bool on);

    QSerialPort m_port;
    QString m_path;
    int m_errno = 0; // errno when the port last reported an error, 0 when it did not
};

} // namespace esf

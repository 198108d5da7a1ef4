#pragma once

#include <QByteArrayView>
#include <QDir>
#include <QHash>
#include <QString>

namespace esf {

inline constexpr int kMaxPortIndex = 255; // COM1..COM256

// "COM1" for index 0, "COM2" for 1, ...; empty outside 0..kMaxPortIndex so that an
// index read from a damaged settings file names no device at all.
QString portName(int portIndex);

// Which device stands behind each COM name. Without a remapping, COMn is /dev/ttyS(n-1);
// Puertos.txt in the working directory overrides single names ("COM2=/dev/ttyUSB0").
class PortMap {
public:
    // Reads Puertos.txt from workDir when present (any case of the name); defaults otherwise.
    static PortMap load(const QDir& workDir);
    // One "COMn=/dev/..." a line; anything else is ignored and later lines win.
    static PortMap parse(QByteArrayView text);

    // Empty when the name is not "COMn" with n in 1..256.
    QString devicePath(const QString& portName) const;

private:
    QHash<int, QString> m_remapped; // COM number -> device
};

} // namespace esf

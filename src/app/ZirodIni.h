#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <cstdint>

namespace esf {

inline constexpr int kZirodSize = 107;
inline constexpr int kProtocolFileNameChars = 100;
inline const QString kZirodFileName = QStringLiteral("Zirod.ini");

// The configuration kept between runs. Only the first 107 bytes belong to us;
// whatever follows them in the file is left untouched.
struct ZirodConfig {
    std::int32_t lastPatientNumber = 0;
    std::uint8_t portIndex = 0;    // 0 = COM1
    QString protocolFileName;      // last protocol chosen, empty when none
    std::uint8_t maxHRFormula = 0; // 0..7, item of "Frecuencia máxima"

    bool operator==(const ZirodConfig&) const = default;
};

QByteArray encodeZirod(const ZirodConfig& config);
// Throws FileError when fewer than 107 bytes are there.
ZirodConfig decodeZirod(const QByteArray& bytes, const QString& fileName);

ZirodConfig readZirod(const QString& path);
// Creates the file whole (a new configuration).
void createZirod(const QString& path, const ZirodConfig& config);
// Overwrites the first 107 bytes in place without shortening the file.
void updateZirod(const QString& path, const ZirodConfig& config);
// Only the patient number, the first 4 bytes, in place.
void updateZirodPatientNumber(const QString& path, std::int32_t lastPatientNumber);

// Highest number among "*.DAT" names (any case) whose first eight characters are digits;
// other names cannot be patient files and are ignored. 0 when none.
std::int32_t scanLastPatientNumber(const QDir& dir);

} // namespace esf

#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <array>
#include <cstdint>

namespace esf {

class LeReader;
class LeWriter;

inline constexpr int kProtocolRecordSize = 388;
inline constexpr int kMaxStages = 15;
inline constexpr int kProtocolNameChars = 20;

// Raw values as stored; a file may hold anything, so these stay plain integers.
namespace StageType {
inline constexpr std::int32_t None = -1;
inline constexpr std::int32_t Basal = 0;
inline constexpr std::int32_t Ejercicio = 1;
inline constexpr std::int32_t Recuperacion = 2;
} // namespace StageType

namespace Device {
inline constexpr std::int32_t None = -1;
inline constexpr std::int32_t Cinta = 0;
inline constexpr std::int32_t Bicicleta = 1;
} // namespace Device

struct StageEntry {
    std::uint8_t number = 0;
    std::int32_t type = 0;
    std::int32_t duration = 0; // seconds
    float load = 0.0f;
    float slope = 0.0f;
    float speed = 0.0f;

    bool operator==(const StageEntry&) const = default;
};

// One protocol: the 388-byte record of a .pro file and of every study file's header.
struct ProtocolRecord {
    QString name;
    std::uint8_t stageCount = 0; // as stored; may exceed 15 in a damaged file
    std::int32_t device = 0;
    std::array<StageEntry, kMaxStages> stages{};

    // What the editor starts from: no device, every stage without a type.
    static ProtocolRecord cleared();
    // The stage count any reader may use: never more than the entries the record holds.
    int usableStageCount() const { return stageCount > kMaxStages ? kMaxStages : stageCount; }
    // Stage n, 1-based; out-of-range numbers give an all-zero entry instead of reading past.
    const StageEntry& stage(int n) const;
    StageEntry& stage(int n);

    bool operator==(const ProtocolRecord&) const = default;
};

void writeProtocol(LeWriter& w, const ProtocolRecord& p);
ProtocolRecord readProtocol(LeReader& r);
QByteArray encodeProtocol(const ProtocolRecord& p);
// Throws FileError when fewer than 388 bytes are given.
ProtocolRecord decodeProtocol(const QByteArray& bytes, const QString& fileName);

// mm:ss with at least two digits each.
QString formatStageTime(std::int32_t seconds);
// Minutes from characters 1-2, seconds from 4-5; a part that does not convert or is above
// 59 counts as 0.
std::int32_t parseStageTime(const QString& text);
// "Basal", "Ejercicio", "Recuperación"; empty for any other value.
QString stageTypeName(std::int32_t type);

// A protocol name can become a file name only when it stays inside the working directory.
// Returns an empty string when acceptable, otherwise the Spanish reason.
QString protocolNameProblem(const QString& name);
// Writes NAME.pro (name cut to 20 characters) whole, replacing any earlier file; returns its
// path. Throws FileError, also for a name that cannot be a file name.
QString saveProtocolFile(const QDir& workDir, const ProtocolRecord& p);
// Reads the first 388 bytes. Throws FileError.
ProtocolRecord loadProtocolFile(const QString& path);

} // namespace esf

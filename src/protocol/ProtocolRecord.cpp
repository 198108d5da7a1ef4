#include "protocol/ProtocolRecord.h"

#include "common/BinaryIO.h"
#include "common/Cp1252.h"
#include "common/FileError.h"
#include "common/FileNames.h"
#include "common/NumberFormat.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace esf {
namespace {

const StageEntry kZeroStage{};

QString twoDigits(qint64 v)
{
    // "%.2d": at least two digits, the sign in front of them.
    const QString digits = QString::number(v < 0 ? -v : v).rightJustified(2, QLatin1Char('0'));
    return v < 0 ? QLatin1Char('-') + digits : digits;
}

std::int32_t timePart(const QString& text)
{
    int v = 0;
    if (!parseInteger(text, v) || v > 59 || v < 0)
        return 0;
    return v;
}

} // namespace

ProtocolRecord ProtocolRecord::cleared()
{
    ProtocolRecord p;
    p.device = Device::None;
    for (StageEntry& s : p.stages)
        s.type = StageType::None;
    return p;
}

const StageEntry& ProtocolRecord::stage(int n) const
{
    if (n < 1 || n > kMaxStages)
        return kZeroStage;
    return stages[static_cast<std::size_t>(n - 1)];
}

StageEntry& ProtocolRecord::stage(int n)
{
    if (n < 1 || n > kMaxStages) {
        // Writes through an out-of-range number land here and are forgotten at the next call.
        static StageEntry scratch;
        scratch = StageEntry{};
        return scratch;
    }
    return stages[static_cast<std::size_t>(n - 1)];
}

void writeProtocol(LeWriter& w, const ProtocolRecord& p)
{
    w.str(p.name, kProtocolNameChars);
    w.u8(p.stageCount);
    w.bytes(QByteArray(2, '\0'));
    w.i32(p.device);
    for (const StageEntry& s : p.stages) {
        w.u8(s.number);
        w.bytes(QByteArray(3, '\0'));
        w.i32(s.type);
        w.i32(s.duration);
        w.f32(s.load);
        w.f32(s.slope);
        w.f32(s.speed);
    }
}

ProtocolRecord readProtocol(LeReader& r)
{
    ProtocolRecord p;
    p.name = r.str(kProtocolNameChars);
    p.stageCount = r.u8();
    r.skip(2);
    p.device = r.i32();
    for (StageEntry& s : p.stages) {
        s.number = r.u8();
        r.skip(3);
        s.type = r.i32();
        s.duration = r.i32();
        s.load = r.f32();
        s.slope = r.f32();
        s.speed = r.f32();
    }
    return p;
}

QByteArray encodeProtocol(const ProtocolRecord& p)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    LeWriter w(buffer, QString());
    writeProtocol(w, p);
    return out;
}

ProtocolRecord decodeProtocol(const QByteArray& bytes, const QString& fileName)
{
    if (bytes.size() < kProtocolRecordSize) {
        throw FileError(fileName, QStringLiteral("lectura"),
                        QStringLiteral("el archivo tiene %1 bytes y un protocolo ocupa %2")
                            .arg(bytes.size())
                            .arg(kProtocolRecordSize));
    }
    QByteArray head = bytes.left(kProtocolRecordSize);
    QBuffer buffer(&head);
    buffer.open(QIODevice::ReadOnly);
    LeReader r(buffer, fileName);
    return readProtocol(r);
}

QString formatStageTime(std::int32_t seconds)
{
    const qint64 minutes = seconds / 60;
    const qint64 rest = seconds - 60 * minutes;
    return twoDigits(minutes) + QLatin1Char(':') + twoDigits(rest);
}

std::int32_t parseStageTime(const QString& text)
{
    return timePart(text.mid(0, 2)) * 60 + timePart(text.mid(3, 2));
}

QString stageTypeName(std::int32_t type)
{
    switch (type) {
    case StageType::Basal:
        return QStringLiteral("Basal");
    case StageType::Ejercicio:
        return QStringLiteral("Ejercicio");
    case StageType::Recuperacion:
        return QStringLiteral("Recuperación");
    default:
        return {};
    }
}

QString protocolNameProblem(const QString& name)
{
    const auto refuse = [](const QString& what) {
        return QStringLiteral("El nombre del protocolo no puede contener %1").arg(what);
    };
    if (name.contains(QLatin1String("..")))
        return refuse(QStringLiteral("«..»"));
    for (QChar c : name) {
        if (c.category() == QChar::Other_Control)
            return refuse(QStringLiteral("caracteres de control"));
        if (QStringLiteral("/\\:*?\"<>|").contains(c))
            return refuse(QStringLiteral("«%1»").arg(c));
        // The file keeps the name in Windows-1252; anything else would be stored as '?'.
        if (cp1252::encodeChar(c) == '?')
            return refuse(QStringLiteral("«%1»").arg(c));
    }
    return {};
}

QString saveProtocolFile(const QDir& workDir, const ProtocolRecord& p)
{
    const QString name = p.name.left(kProtocolNameChars);
    const QString fileName = name + QStringLiteral(".pro");
    const QString path = workDir.filePath(fileName);
    if (name.isEmpty())
        throw FileError(path, QStringLiteral("creación"),
                        QStringLiteral("el protocolo no tiene nombre"));
    const QString problem = protocolNameProblem(name);
    if (!problem.isEmpty())
        throw FileError(fileName, QStringLiteral("creación"), problem);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(path, QStringLiteral("creación"), file.errorString());
    LeWriter w(file, path);
    writeProtocol(w, p);
    if (!commitWhole(file))
        throw FileError(path, QStringLiteral("escritura"), file.errorString());
    return path;
}

ProtocolRecord loadProtocolFile(const QString& path)
{
    const QFileInfo info(path);
    QFile file(resolveCaseInsensitive(info.dir(), info.fileName()));
    openRegularFile(file, QIODevice::ReadOnly, QStringLiteral("apertura"));
    const QByteArray bytes = file.read(kProtocolRecordSize);
    if (bytes.isEmpty() && file.error() != QFileDevice::NoError)
        throw FileError(file.fileName(), QStringLiteral("lectura"), file.errorString());
    return decodeProtocol(bytes, file.fileName());
}

} // namespace esf

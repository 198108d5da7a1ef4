#include "app/ZirodIni.h"

#include "common/BinaryIO.h"
#include "common/FileError.h"
#include "common/FileNames.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>

namespace esf {

QByteArray encodeZirod(const ZirodConfig& config)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    LeWriter w(buffer, kZirodFileName);
    w.i32(config.lastPatientNumber);
    w.u8(config.portIndex);
    w.str(config.protocolFileName, kProtocolFileNameChars);
    w.u8(config.maxHRFormula);
    return bytes;
}

ZirodConfig decodeZirod(const QByteArray& bytes, const QString& fileName)
{
    QByteArray copy = bytes.left(kZirodSize);
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    LeReader r(buffer, fileName);
    ZirodConfig config;
    config.lastPatientNumber = r.i32();
    config.portIndex = r.u8();
    config.protocolFileName = r.str(kProtocolFileNameChars);
    config.maxHRFormula = r.u8();
    return config;
}

ZirodConfig readZirod(const QString& path)
{
    QFile file(path);
    openRegularFile(file, QIODevice::ReadOnly, QStringLiteral("apertura"));
    const QByteArray head = file.read(kZirodSize);
    if (head.size() < kZirodSize && file.error() != QFileDevice::NoError)
        throw FileError(path, QStringLiteral("lectura"), file.errorString());
    return decodeZirod(head, path);
}

void createZirod(const QString& path, const ZirodConfig& config)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(path, QStringLiteral("creación"), file.errorString());
    LeWriter(file, path).bytes(encodeZirod(config));
    if (!commitWhole(file))
        throw FileError(path, QStringLiteral("escritura"), file.errorString());
}

namespace {

void overwriteHead(const QString& path, const QByteArray& head)
{
    QFile file(path);
    // A missing file is created only when the whole record is written.
    const QIODevice::OpenMode mode = head.size() < kZirodSize
                                         ? QIODevice::ReadWrite | QIODevice::ExistingOnly
                                         : QIODevice::ReadWrite;
    openRegularFile(file, mode, QStringLiteral("apertura"));
    LeWriter(file, path).bytes(head);
    if (!file.flush())
        throw FileError(path, QStringLiteral("escritura"), file.errorString());
}

} // namespace

void updateZirod(const QString& path, const ZirodConfig& config)
{
    overwriteHead(path, encodeZirod(config));
}

void updateZirodPatientNumber(const QString& path, std::int32_t lastPatientNumber)
{
    ZirodConfig numberOnly;
    numberOnly.lastPatientNumber = lastPatientNumber;
    overwriteHead(path, encodeZirod(numberOnly).left(4));
}

std::int32_t scanLastPatientNumber(const QDir& dir)
{
    std::int32_t highest = 0;
    for (const QString& name : listMatching(dir, QStringLiteral("*.DAT"))) {
        const QString head = name.left(8);
        if (head.size() != 8)
            continue;
        bool digits = true;
        for (QChar c : head)
            digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (digits)
            highest = qMax(highest, head.toInt());
    }
    return highest;
}

} // namespace esf

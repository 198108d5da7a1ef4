#include "common/FileNames.h"

#include "common/FileError.h"

#include <QFileInfo>

namespace esf {

QString resolveCaseInsensitive(const QDir& dir, const QString& name)
{
    const QString exact = dir.filePath(name);
    if (QFileInfo::exists(exact))
        return exact;
    const QStringList all = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : all) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return exact;
}

QStringList listMatching(const QDir& dir, const QString& pattern)
{
    // Without QDir::CaseSensitive the name filters ignore case, as the old file system did.
    return dir.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

bool isPlainFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.contains(QLatin1String("..")))
        return false;
    for (QChar c : name) {
        if (c.unicode() < 0x20 || c == QLatin1Char('/') || c == QLatin1Char('\\') ||
            c == QLatin1Char(':') || c == QLatin1Char('*') || c == QLatin1Char('?') ||
            c == QLatin1Char('"') || c == QLatin1Char('<') || c == QLatin1Char('>') ||
            c == QLatin1Char('|') || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

namespace {

bool isSpecial(const QFile& f)
{
    const QFileInfo info(f.fileName());
    return info.exists() && !info.isFile();
}

} // namespace

bool tryOpenRegularFile(QFile& f, QIODevice::OpenMode mode)
{
    return !isSpecial(f) && f.open(mode);
}

bool commitWhole(QSaveFile& f)
{
    // Left uncommitted, the temporary file is removed when f is destroyed.
    return f.flush() && f.commit();
}

void openRegularFile(QFile& f, QIODevice::OpenMode mode, const QString& operation)
{
    if (isSpecial(f))
        throw FileError(f.fileName(), operation, QStringLiteral("no es un archivo normal"));
    if (!f.open(mode))
        throw FileError(f.fileName(), operation, f.errorString());
}

} // namespace esf

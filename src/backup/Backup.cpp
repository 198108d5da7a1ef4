#include "backup/Backup.h"

#include "common/FileError.h"
#include "common/FileNames.h"
#include "records/PatientFile.h"
#include "records/StudyFile.h"

#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <QTemporaryFile>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace esf {

const QString kSameFolderText =
    QStringLiteral("La carpeta de la copia de seguridad es la carpeta de trabajo. Elija otra "
                   "carpeta.");
const QString kNoSpaceText = QStringLiteral("Espacio insuficiente en disco");

namespace {

constexpr qint64 kBlockSize = 2048;
const QString kCopying = QStringLiteral("copia");

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Adds name when it is a file in dir, under the name it has on disk, once.
void addIfPresent(const QDir& dir, const QString& name, PatientFileSet& set, QSet<QString>& seen)
{
    const QFileInfo info(resolveCaseInsensitive(dir, name));
    if (!info.isFile() || seen.contains(info.fileName().toUpper()))
        return;
    seen.insert(info.fileName().toUpper());
    set.files.append(info.fileName());
    set.bytes += info.size();
}

// The rename is only as durable as the folder entry that records it.
void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

bool sameContent(QFile& a, QFile& b)
{
    if (!a.seek(0) || !b.seek(0))
        return false;
    std::array<char, 65536> x{};
    std::array<char, 65536> y{};
    for (;;) {
        const qint64 n = a.read(x.data(), qint64(x.size()));
        const qint64 m = b.read(y.data(), qint64(y.size()));
        if (n != m || n < 0)
            return false;
        if (n == 0)
            return true;
        if (std::memcmp(x.data(), y.data(), std::size_t(n)) != 0)
            return false;
    }
}

void removeFile(const QString& path)
{
    QFile f(path);
    if (!f.remove())
        throw FileError(path, QStringLiteral("borrado"), f.errorString());
}

void refuseSameFolder(const QDir& a, const QDir& b)
{
    if (sameFolder(a.path(), b.path()))
        throw FileError(b.path(), kCopying, QStringLiteral("es la carpeta de trabajo"));
}

} // namespace

PatientFileSet patientFileSet(const QDir& dir, const QString& patientFile, bool strict)
{
    PatientFileSet set;
    const QString path = resolveCaseInsensitive(dir, patientFile);
    if (!isPlainFileName(patientFile) || !QFileInfo(path).isFile()) {
        if (strict)
            throw FileError(dir.filePath(patientFile), kCopying,
                            QStringLiteral("el archivo no existe"));
        return set;
    }
    QSet<QString> seen;
    seen.insert(QFileInfo(path).fileName().toUpper());
    try {
        set.studies = readPatientHeader(path).studyCount;
        // The count only says whether there are entries; the list runs to the end.
        const QList<StudyEntry> entries =
            set.studies > 0 ? readStudyEntries(path) : QList<StudyEntry>();
        for (const StudyEntry& e : entries) {
            if (!isStudyEntryName(e.file))
                continue;
            addIfPresent(dir, e.file, set, seen);
            addIfPresent(dir, reportFileName(e.file), set, seen);
        }
    } catch (const FileError&) {
        if (strict)
            throw;
        set.studies = 0;
    }
    seen.remove(QFileInfo(path).fileName().toUpper());
    addIfPresent(dir, QFileInfo(path).fileName(), set, seen);
    return set;
}

qint64 patientFilesSize(const QDir& dir, const QString& patientFile)
{
    return patientFileSet(dir, patientFile, false).bytes;
}

qint64 freeSpace(const QString& folder)
{
    const QStorageInfo storage(folder);
    if (!QFileInfo(folder).isDir() || !storage.isValid() || !storage.isReady())
        return 0;
    return storage.bytesAvailable();
}

bool sameFolder(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    if (!ca.isEmpty() && !cb.isEmpty())
        return ca == cb;
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) ==
           QDir::cleanPath(QFileInfo(b).absoluteFilePath());
}

bool patientFileExists(const QDir& dir, const QString& patientFile)
{
    return isPlainFileName(patientFile) &&
           QFileInfo(resolveCaseInsensitive(dir, patientFile)).isFile();
}

void copyVerified(const QString& source, const QString& destination, CopyWriter& writer)
{
    QFile in(source);
    openRegularFile(in, QIODevice::ReadOnly, QStringLiteral("apertura"));
    const QFileInfo target(destination);
    // Hidden, and never matching "*.DAT" or "*.est", should it outlive a crash.
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!temp.open())
        throw FileError(destination, QStringLiteral("creación"), temp.errorString());
    std::array<char, kBlockSize> block{};
    qint64 written = 0;
    for (;;) {
        const qint64 n = in.read(block.data(), kBlockSize);
        if (n < 0)
            throw FileError(source, QStringLiteral("lectura"), in.errorString());
        if (n == 0)
            break;
        if (writer.write(temp, block.data(), n) != n)
            throw FileError(destination, kCopying,
                            QStringLiteral("no se pudo escribir completo; el disco puede estar "
                                           "lleno. No se ha borrado nada"));
        written += n;
    }
    if (!temp.flush())
        throw FileError(destination, kCopying, temp.errorString());
    if (::fsync(temp.handle()) != 0)
        throw FileError(destination, kCopying, systemError());
    if (written != in.size() || temp.size() != written || !sameContent(in, temp))
        throw FileError(destination, kCopying,
                        QStringLiteral("la copia no coincide con el original"));
    temp.setPermissions(in.permissions());
    // rename(2) replaces the old file in one step: readers see the old one or the new one.
    if (std::rename(QFile::encodeName(temp.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        throw FileError(destination, kCopying, systemError());
    temp.setAutoRemove(false);
    syncFolder(target.absolutePath());
}

void backupPatient(const QDir& work, const QDir& backup, const QString& patientFile,
                   BackupMode mode, CopyWriter& writer, const std::function<void(qint64)>& copied)
{
    // Copying a file onto itself and deleting the source would destroy it.
    refuseSameFolder(work, backup);
    const PatientFileSet set = patientFileSet(work, patientFile, mode == BackupMode::Move);
    if (set.files.isEmpty())
        throw FileError(work.filePath(patientFile), kCopying,
                        QStringLiteral("el archivo no existe"));
    for (const QString& name : set.files) {
        const QString source = work.filePath(name);
        copyVerified(source, resolveCaseInsensitive(backup, name), writer);
        if (copied)
            copied(QFileInfo(source).size());
    }
    if (mode != BackupMode::Move)
        return;
    // Every file is safe in the backup now; the patient file goes last so the working
    // folder never keeps studies whose patient is gone.
    for (const QString& name : set.files)
        removeFile(work.filePath(name));
}

void restorePatient(const QDir& backup, const QDir& work, const QString& patientFile,
                    CopyWriter& writer)
{
    refuseSameFolder(work, backup);
    const PatientFileSet set = patientFileSet(backup, patientFile, true);
    for (const QString& name : set.files)
        copyVerified(backup.filePath(name), resolveCaseInsensitive(work, name), writer);
}

} // namespace esf

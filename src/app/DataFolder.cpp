#include "app/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace esf {
namespace {

QString reasonFor(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("permiso denegado");
    case EROFS:
        return QStringLiteral("el sistema de archivos es de solo lectura");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("no queda espacio en el disco");
    case ENOTDIR:
    case EEXIST:
        return QStringLiteral("una parte del camino es un archivo, no una carpeta");
    case ENOENT:
        return QStringLiteral("la carpeta no existe");
    case ENAMETOOLONG:
        return QStringLiteral("el nombre es demasiado largo");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

QString failure(const QString& folder, const QString& reason)
{
    return QStringLiteral("No se puede usar la carpeta de trabajo \"%1\": %2.")
        .arg(QDir::toNativeSeparators(folder), reason);
}

// Errno of creating and removing a file in `folder`; 0 when that works. Permission bits alone
// would not tell a read-only file system or a full quota.
int writeProbe(const QString& folder)
{
    const QByteArray probe = QFile::encodeName(folder + QStringLiteral("/.esfuerzo-XXXXXX"));
    std::string name(probe.constData(), static_cast<std::size_t>(probe.size()));
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return errno;
    ::close(fd);
    ::unlink(name.c_str());
    return 0;
}

} // namespace

QString defaultDataFolder(const QString& home)
{
    return QDir(home).filePath(QStringLiteral("Esfuerzo"));
}

QString chooseDataFolder(const QStringList& positionalArgs, const QString& environmentValue,
                         const QString& home)
{
    QString chosen = defaultDataFolder(home);
    if (!positionalArgs.isEmpty() && !positionalArgs.front().isEmpty())
        chosen = positionalArgs.front();
    else if (!environmentValue.isEmpty())
        chosen = environmentValue;
    return QDir::cleanPath(QFileInfo(chosen).absoluteFilePath());
}

QString enterDataFolder(const QString& folder, const QString& shippedDir)
{
    std::error_code ec;
    const std::filesystem::path path(QFile::encodeName(folder).toStdString());
    std::filesystem::create_directories(path, ec);
    if (ec)
        return failure(folder, reasonFor(ec.value()));
    if (!std::filesystem::is_directory(path, ec))
        return failure(folder, reasonFor(ENOTDIR));
    if (const int error = writeProbe(folder))
        return failure(folder, reasonFor(error));

    const QDir shipped(shippedDir);
    if (!shippedDir.isEmpty() && shipped.exists()) {
        const QStringList names = shipped.entryList(QDir::Files, QDir::Name);
        for (const QString& name : names) {
            const QString target = QDir(folder).filePath(name);
            // A dangling link counts as present too: the user put it there.
            if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
                continue;
            QFile source(shipped.filePath(name));
            if (!source.copy(target)) {
                return failure(
                    folder,
                    QStringLiteral("no se pudo copiar %1 (%2)").arg(name, source.errorString()));
            }
        }
    }
    if (!QDir::setCurrent(folder))
        return failure(folder, reasonFor(EACCES));
    return {};
}

} // namespace esf

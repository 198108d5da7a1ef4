#include "cli/CliBackup.h"

#include "backup/Backup.h"
#include "common/FileError.h"
#include "common/FileNames.h"
#include "records/PatientFile.h"

#include <QFileInfo>

namespace esf::cli {
namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const QString kBackupUsage =
    QStringLiteral("uso: esfuerzo-cli backup copy|move CARPETA [NNNNNNNN.DAT ...]\n"
                   "     esfuerzo-cli backup restore CARPETA NNNNNNNN.DAT [--replace]");

struct BadUsage {
    QString text;
};

QString patientName(const QDir& dir, const QString& file)
{
    try {
        const PatientData d = readPatientHeader(resolveCaseInsensitive(dir, file)).data;
        return d.surname + QStringLiteral(", ") + d.firstName;
    } catch (const FileError&) {
        return QStringLiteral("[Archivo Corrupto]");
    }
}

QDir backupFolder(const QString& path, const QDir& work)
{
    if (sameFolder(path, work.path()))
        throw BadUsage{kSameFolderText};
    if (!QFileInfo(path).isDir())
        throw FileError(path, QStringLiteral("acceso"), QStringLiteral("la carpeta no existe"));
    return QDir(path);
}

void checkPatientName(const QString& name)
{
    if (!isPlainFileName(name) || !name.endsWith(QLatin1String(".DAT"), Qt::CaseInsensitive))
        throw BadUsage{QStringLiteral("'%1' no es un archivo de paciente").arg(name)};
}

int copyOrMove(BackupMode mode, const QStringList& args, QTextStream& out)
{
    if (args.isEmpty())
        throw BadUsage{QStringLiteral("falta la carpeta de la copia")};
    const QDir work(QDir::currentPath());
    const QDir target = backupFolder(args.front(), work);
    QStringList patients = args.mid(1);
    for (const QString& p : std::as_const(patients))
        checkPatientName(p);
    if (patients.isEmpty())
        patients = listMatching(work, QStringLiteral("*.DAT"));

    CopyWriter writer;
    int done = 0;
    qint64 bytes = 0;
    const QString verb =
        mode == BackupMode::Move ? QStringLiteral("movido") : QStringLiteral("copiado");
    for (const QString& file : std::as_const(patients)) {
        const PatientFileSet set = patientFileSet(work, file, false);
        out << file << ' ' << patientName(work, file) << ": ";
        if (set.files.isEmpty()) {
            out << "no existe\n";
            continue;
        }
        if (set.bytes >= freeSpace(target.path())) {
            out << kNoSpaceText << '\n';
            continue;
        }
        try {
            backupPatient(work, target, file, mode, writer);
            out << set.studies << " estudios, " << set.bytes << " bytes, " << verb << '\n';
            ++done;
            bytes += set.bytes;
        } catch (const FileError& e) {
            out << e.message() << '\n';
        }
        out.flush();
    }
    out << (mode == BackupMode::Move ? "Movidos " : "Copiados ") << done << " pacientes de "
        << patients.size() << ", con " << bytes << " bytes\n";
    return done == patients.size() ? kOk : kFailed;
}

int restore(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QStringList plain = args;
    const bool replace = plain.removeAll(QStringLiteral("--replace")) > 0;
    if (plain.size() != 2)
        throw BadUsage{QStringLiteral("restore necesita la carpeta y un archivo de paciente")};
    const QDir work(QDir::currentPath());
    const QDir source = backupFolder(plain[0], work);
    const QString file = plain[1];
    checkPatientName(file);
    if (!patientFileExists(source, file))
        throw FileError(source.filePath(file), QStringLiteral("acceso"),
                        QStringLiteral("el archivo no existe"));
    const QString name = patientName(source, file);
    if (patientFileExists(work, file) && !replace) {
        err << "esfuerzo-cli: El paciente " << name << " (" << file
            << ") ya existe en la carpeta de trabajo; use --replace para reemplazar sus "
               "archivos con los de la copia\n";
        return kFailed;
    }
    CopyWriter writer;
    const PatientFileSet set = patientFileSet(source, file, true);
    restorePatient(source, work, file, writer);
    out << file << ' ' << name << ": " << set.studies << " estudios, " << set.bytes
        << " bytes, recuperado\n";
    return kOk;
}

} // namespace

int backup(const QStringList& args, QTextStream& out, QTextStream& err)
{
    try {
        const QString what = args.value(0);
        if (what == QLatin1String("copy"))
            return copyOrMove(BackupMode::Copy, args.mid(1), out);
        if (what == QLatin1String("move"))
            return copyOrMove(BackupMode::Move, args.mid(1), out);
        if (what == QLatin1String("restore"))
            return restore(args.mid(1), out, err);
        throw BadUsage{QStringLiteral("backup admite copy, move o restore")};
    } catch (const BadUsage& e) {
        err << "esfuerzo-cli: " << e.text << '\n' << kBackupUsage << '\n';
        return kUsage;
    }
}

} // namespace esf::cli

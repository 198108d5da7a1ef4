#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>

namespace esf {

// Where a copy's bytes go. Tests stand in a disk that fills up after so many bytes.
class CopyWriter {
public:
    virtual ~CopyWriter() = default;
    // Returns how many bytes were taken; fewer than size means the disk is full.
    virtual qint64 write(QFile& file, const char* data, qint64 size)
    {
        return file.write(data, size);
    }
};

enum class BackupMode { Copy, Move };

// A patient's files as they are in a folder, in the order they are copied: each study
// file and its report, then the patient file last. Only names present there are listed,
// with their case on disk.
struct PatientFileSet {
    QStringList files;
    qint64 bytes = 0;
    int studies = 0; // the study count of the patient file, 0 when unreadable
};

// With strict, an unreadable header or study list throws FileError; otherwise the
// patient file alone is taken. Names read from the file are used only when they are plain
// ".est" names and their ".INF".
PatientFileSet patientFileSet(const QDir& dir, const QString& patientFile, bool strict);
// The bytes a backup of the patient takes: the patient file, its study files and reports.
qint64 patientFilesSize(const QDir& dir, const QString& patientFile);

// Free bytes where folder lives; 0 when it cannot be told.
qint64 freeSpace(const QString& folder);
// True when both name the same folder, also through links.
bool sameFolder(const QString& a, const QString& b);

// Copies source to destination through a temporary name in the destination's folder:
// written, flushed to disk, compared with the source, then renamed into place. Any failure
// throws FileError naming the file and leaves neither the temporary file nor a changed
// destination behind.
void copyVerified(const QString& source, const QString& destination, CopyWriter& writer);

// Copies (or moves) one patient from work to backup. Called with each file's size after
// it is copied. A move deletes sources only once every file is copied and verified, and
// the patient file last. Throws FileError; nothing is deleted after a failed copy.
void backupPatient(const QDir& work, const QDir& backup, const QString& patientFile,
                   BackupMode mode, CopyWriter& writer,
                   const std::function<void(qint64)>& copied = {});

// Copies the patient's study files, reports and, last, its patient file from backup into
// work, replacing files of the same names. Throws FileError; files not yet replaced are
// left whole.
void restorePatient(const QDir& backup, const QDir& work, const QString& patientFile,
                    CopyWriter& writer);

// The patient file in dir in any letter case.
bool patientFileExists(const QDir& dir, const QString& patientFile);

// "La carpeta de la copia de seguridad es la carpeta de trabajo..."
extern const QString kSameFolderText;
// "Espacio insuficiente en disco"
extern const QString kNoSpaceText;

} // namespace esf

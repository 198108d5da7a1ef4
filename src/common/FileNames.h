#pragma once

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringList>

namespace esf {

// Files copied from older installations may differ in case: try the exact name,
// then a case-insensitive match in the same folder. Returns the path to use.
QString resolveCaseInsensitive(const QDir& dir, const QString& name);

// Names matching a pattern such as "*.DAT", case-insensitively, sorted.
QStringList listMatching(const QDir& dir, const QString& pattern);

// A name taken from inside a file may reach the file system only when it is a plain
// file name: no separators, no "..", no control or reserved characters.
bool isPlainFileName(const QString& name);

// Opens f in mode, refusing a FIFO, device or other special file before opening it could
// wait forever or read without end. tryOpen answers false; openRegularFile throws FileError
// naming the operation, with "no es un archivo normal" or the system's reason.
bool tryOpenRegularFile(QFile& f, QIODevice::OpenMode mode);
void openRegularFile(QFile& f, QIODevice::OpenMode mode, const QString& operation);

// QSaveFile::commit renames the new file into place even when writing out its buffer failed
// (a full disk): a cut file would replace a whole one. False, with the old file kept, then.
bool commitWhole(QSaveFile& f);

} // namespace esf

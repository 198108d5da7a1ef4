#pragma once

// File helpers for every test; QtCore only, so the logic tests can use them too.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace esf::test {

// A failed open or a short write fails the calling test.
inline void writeFile(const QString& path, const QByteArray& bytes,
                      QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile f(path);
    QVERIFY2(f.open(mode), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

inline void appendFile(const QString& path, const QByteArray& bytes)
{
    writeFile(path, bytes, QIODevice::Append);
}

// Empty when the file cannot be read, which the caller's comparison shows.
inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace esf::test

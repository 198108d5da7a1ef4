#pragma once

// Patients with their study and report files, built byte by byte in a folder.
#include "TestFiles.h"
#include "common/BinaryIO.h"
#include "records/PatientFile.h"

#include <QFileInfo>

namespace esf::test {

// NNNNNNNN.DAT listing studies; the files in present get a size of their own.
inline void makePatient(const QDir& dir, int number, const QString& surname,
                        const QStringList& studies, const QStringList& present)
{
    const QString file = dir.filePath(patientFileName(number));
    const PatientData d{QStringLiteral("Ana"), surname, 165, QStringLiteral("01/01/1960"), 0};
    writePatientHeader(file, d, std::uint8_t(studies.size()));
    for (const QString& s : studies)
        appendFile(file, encodeString(s, 12) + encodeString(QStringLiteral("01/02/2026"), 10));
    for (const QString& s : present)
        writeFile(dir.filePath(s),
                  QByteArray(24439 + number * 10 + int(s.size()), s.back().toLatin1()));
}

// Peña: 2 studies and a report; Ruiz: 3 studies, the second missing but its report there;
// Sosa: none. Returns their files in the order they are copied.
inline QStringList threePatients(const QDir& work)
{
    using namespace Qt::StringLiterals;
    makePatient(work, 1, u"Peña"_s, {u"0001_001.est"_s, u"0001_002.est"_s},
                {u"0001_001.est"_s, u"0001_001.INF"_s, u"0001_002.est"_s});
    makePatient(work, 2, u"Ruiz"_s, {u"0002_001.est"_s, u"0002_002.est"_s, u"0002_003.est"_s},
                {u"0002_001.est"_s, u"0002_002.INF"_s, u"0002_003.est"_s});
    makePatient(work, 3, u"Sosa"_s, {}, {});
    return {u"0001_001.est"_s, u"0001_001.INF"_s, u"0001_002.est"_s,
            u"00000001.DAT"_s, u"0002_001.est"_s, u"0002_002.INF"_s,
            u"0002_003.est"_s, u"00000002.DAT"_s, u"00000003.DAT"_s};
}

inline qint64 sizeOf(const QDir& dir, const QStringList& names)
{
    qint64 total = 0;
    for (const QString& n : names)
        total += QFileInfo(dir.filePath(n)).size();
    return total;
}

// Every file of dir, hidden ones too, with its bytes.
inline QMap<QString, QByteArray> contents(const QDir& dir)
{
    QMap<QString, QByteArray> out;
    for (const QString& n : dir.entryList(QDir::Files | QDir::Hidden))
        out.insert(n, readFile(dir.filePath(n)));
    return out;
}

} // namespace esf::test

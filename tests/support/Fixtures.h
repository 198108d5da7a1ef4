#pragma once

// One builder per file format, shared by every suite and the review benchmark; QtCore only.
#include "TestFiles.h"
#include "common/BinaryIO.h"
#include "protocol/ProtocolRecord.h"
#include "protocol/StageRecord.h"
#include "records/PatientFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QMap>
#include <vector>

namespace esf::test {

using namespace Qt::StringLiterals;

inline const PatientData kAna{u"Ana"_s, u"Peña"_s, 160, u"01/01/1970"_s, 0};

// NNNNNNNN.DAT from scratch: the header with its count, then one entry per "name|date"; a
// name without a date is an entry torn after its name.
inline void writePatient(const QString& path, const PatientData& d, int count,
                         const QStringList& entries = {})
{
    QFile::remove(path);
    writePatientHeader(path, d, static_cast<std::uint8_t>(count));
    for (const QString& e : entries)
        appendFile(path, encodeString(e.section(u'|', 0, 0), 12) +
                             (e.contains(u'|') ? encodeString(e.section(u'|', 1), 10) : ""));
}

// A protocol holding these stages, its count theirs.
inline ProtocolRecord makeProtocol(const QString& name, std::int32_t device,
                                   std::initializer_list<StageEntry> stages)
{
    ProtocolRecord p = ProtocolRecord::cleared();
    p.name = name;
    p.device = device;
    p.stageCount = static_cast<std::uint8_t>(stages.size());
    std::copy(stages.begin(), stages.end(), p.stages.begin());
    return p;
}

// Treadmill protocol: basal, two exercise stages (slopes 10 and 12), recovery.
inline ProtocolRecord reviewProtocol()
{
    return makeProtocol(u"Bruce"_s, Device::Cinta,
                        {{1, StageType::Basal, 120, 0.0f, 0.0f, 0.0f},
                         {2, StageType::Ejercicio, 180, 0.0f, 10.0f, 2.7f},
                         {3, StageType::Ejercicio, 180, 0.0f, 12.0f, 4.0f},
                         {4, StageType::Recuperacion, 120, 0.0f, 0.0f, 0.0f}});
}

// Record k (1-based) of a study whose records lie `spacing` seconds apart; the strips are
// ramps, so a wrong sample order shows.
inline StageRecord reviewRecord(int k, int spacing = 60)
{
    StageRecord r;
    r.kind = static_cast<std::uint8_t>(k % 3 == 0 ? 1 : 0);
    r.elapsed = k * spacing;
    r.stage = static_cast<std::uint8_t>(1 + (k - 1) % 4);
    r.gain = 1;
    r.diastolic = 70 + k % 20;
    r.systolic = 120 + k % 60;
    r.heartRate = 80 + k % 100;
    r.st = {-0.125f, kStNotMeasured, 0.05f};
    for (int l = 0; l < kLeadCount; ++l) {
        auto& lead = r.strip[static_cast<std::size_t>(l)];
        lead.resize(kStripLength);
        for (int j = 0; j < kStripLength; ++j)
            lead[static_cast<std::size_t>(j)] = ((j + 50 * l) % 200) - 100;
    }
    return r;
}

inline std::vector<StageRecord> reviewRecords(int count, int spacing = 60)
{
    std::vector<StageRecord> v;
    for (int k = 1; k <= count; ++k)
        v.push_back(reviewRecord(k, spacing));
    return v;
}

// A study file: the protocol, then the records in the layout with or without ST levels.
inline QByteArray encodeStudy(const ProtocolRecord& p, const std::vector<StageRecord>& records,
                              bool withST = true)
{
    QByteArray out = encodeProtocol(p);
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly | QIODevice::Append);
    LeWriter w(b, QString());
    for (const StageRecord& r : records)
        writeStageRecord(w, r, withST);
    return out;
}

// NNNNNNNN.DAT listing studies; the files in present get a size of their own.
inline void makePatient(const QDir& dir, int number, const QString& surname,
                        const QStringList& studies, const QStringList& present)
{
    QStringList entries;
    for (const QString& s : studies)
        entries << s + u"|01/02/2026"_s;
    writePatient(dir.filePath(patientFileName(number)),
                 {u"Ana"_s, surname, 165, u"01/01/1960"_s, 0}, int(studies.size()), entries);
    for (const QString& s : present)
        writeFile(dir.filePath(s),
                  QByteArray(24439 + number * 10 + int(s.size()), s.back().toLatin1()));
}

// Peña: 2 studies and a report; Ruiz: 3 studies, the second missing but its report there;
// Sosa: none. Returns their files in the order they are copied.
inline QStringList threePatients(const QDir& work)
{
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

#include "records/StudyFile.h"

#include "common/BinaryIO.h"
#include "common/FileError.h"
#include "common/FileNames.h"
#include "records/PatientFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace esf {
namespace {

constexpr qint64 kCountOffset = kPatientHeaderSize - 1;
constexpr int kHighestStudyNumber = 999;
// Offsets inside a stage record of the values the review may correct.
constexpr qint64 kDiastolicOffset = 10;
constexpr qint64 kAnginaOffset = 26;

const QString kOpening = QStringLiteral("apertura");
const QString kReading = QStringLiteral("lectura");
const QString kWriting = QStringLiteral("escritura");
const QString kCreating = QStringLiteral("creación");

bool isDigits(QStringView s)
{
    return !s.isEmpty() &&
           std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// "%.3d": at least three digits, a sign in front of them.
QString threeDigits(int v)
{
    const QString digits =
        QString::number(v < 0 ? -qint64(v) : qint64(v)).rightJustified(3, QLatin1Char('0'));
    return v < 0 ? QLatin1Char('-') + digits : digits;
}

bool isStudyName(const QString& name)
{
    return isPlainFileName(name) && name.size() > 4 &&
           name.endsWith(QStringLiteral(".est"), Qt::CaseInsensitive);
}

QString pathIn(const QString& path)
{
    const QFileInfo info(path);
    return resolveCaseInsensitive(info.dir(), info.fileName());
}

void seekTo(QFile& f, qint64 pos)
{
    if (!f.seek(pos))
        throw FileError(f.fileName(), kWriting, f.errorString());
}

QByteArray readWhole(QFile& f, qint64 size)
{
    QByteArray bytes = f.read(size);
    if (bytes.size() != size)
        throw FileError(f.fileName(), kReading,
                        QStringLiteral("el archivo termina antes de tiempo"));
    return bytes;
}

void truncateTo(QFile& f, qint64 size)
{
    if (!f.resize(size))
        throw FileError(f.fileName(), kWriting, f.errorString());
}

// The bytes must be on the disk before the run goes on: a power cut during a test is the
// case these files have to survive.
void syncToDisk(QFile& f)
{
    if (!f.flush())
        throw FileError(f.fileName(), kWriting, f.errorString());
    if (::fsync(f.handle()) != 0)
        throw FileError(f.fileName(), kWriting, QString::fromLocal8Bit(std::strerror(errno)));
}

QByteArray encodeRecord(const StageRecord& record, bool withST)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    LeWriter w(buffer, QString());
    writeStageRecord(w, record, withST);
    return out;
}

// Upper-cased names of everything in dir, to test names the way the old file system did.
QSet<QString> takenNames(const QDir& dir)
{
    QSet<QString> taken;
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString& e : entries)
        taken.insert(e.toUpper());
    return taken;
}

// The usual name, or, when another patient sharing the last four digits already holds it
// (or its report), the next number of the same form that nobody holds.
QString freeStudyName(const QDir& dir, const QString& patientFile, int studyCount)
{
    const QSet<QString> taken = takenNames(dir);
    for (int n = studyCount; n <= kHighestStudyNumber; ++n) {
        const QString name = studyFileName(patientFile, n);
        if (!taken.contains(name.toUpper()) && !taken.contains(reportFileName(name).toUpper()))
            return name;
    }
    throw FileError(dir.filePath(studyFileName(patientFile, studyCount)), kCreating,
                    QStringLiteral("no queda ningún número de estudio libre para este paciente"));
}

// Steps 1 to 4 of a save: the count byte and, for a new study, its entry. The entry goes in
// before the count that names it, so a save killed between the two leaves a list the count
// still describes whole; the next new study then takes the same slot.
void updatePatientFile(const QDir& dir, StudySession& session, const QDate& today)
{
    if (!isPlainFileName(session.patientFile))
        throw FileError(session.patientFile, kOpening,
                        QStringLiteral("nombre de archivo no válido"));
    QFile f(resolveCaseInsensitive(dir, session.patientFile));
    // ExistingOnly: the count byte alone must never become a new, empty patient.
    openRegularFile(f, QIODevice::ReadWrite | QIODevice::ExistingOnly, kOpening);
    if (f.size() < kPatientHeaderSize)
        throw FileError(f.fileName(), kReading,
                        QStringLiteral("el archivo del paciente está incompleto"));
    LeWriter w(f, f.fileName());

    session.studyDate = today.toString(QStringLiteral("dd/MM/yyyy")).left(10);

    if (session.studyCount != 0 && session.newStudyPending) {
        const QString name = freeStudyName(dir, session.patientFile, session.studyCount);
        if (!isPlainFileName(name))
            throw FileError(name, kCreating, QStringLiteral("nombre de archivo no válido"));
        session.studyFileName = name;
        // The slot the count will name; an entry left there by an interrupted save is
        // replaced. A torn entry left by a power cut would shift every later entry off its
        // place, so it is cut off when the new entry goes at the end.
        const qint64 entries = (f.size() - kPatientHeaderSize) / kStudyEntrySize;
        const qint64 slot = std::min<qint64>(session.studyCount - 1, entries);
        const qint64 whole = kPatientHeaderSize + entries * kStudyEntrySize;
        if (slot == entries && f.size() != whole)
            truncateTo(f, whole);
        seekTo(f, kPatientHeaderSize + slot * kStudyEntrySize);
        w.str(session.studyFileName, 12);
        w.str(session.studyDate, 10);
        syncToDisk(f);
        session.newStudyPending = false;
    }
    seekTo(f, kCountOffset);
    w.u8(session.studyCount);
    syncToDisk(f);
}

// Step 5: the record behind the header, the header written first when the file is new.
void appendRecord(const QDir& dir, const StudySession& session, const ProtocolRecord& protocol,
                  const StageRecord& record)
{
    if (!isPlainFileName(session.studyFileName))
        throw FileError(session.studyFileName, kOpening,
                        session.studyFileName.isEmpty()
                            ? QStringLiteral("no hay un estudio en curso")
                            : QStringLiteral("nombre de archivo no válido"));
    const bool withST = recordsHaveST(session.patientVersion);
    const qint64 recordSize = withST ? kStageRecordSize : kOldStageRecordSize;

    QFile f(resolveCaseInsensitive(dir, session.studyFileName));
    const bool existed = f.exists();
    openRegularFile(f, QIODevice::ReadWrite, existed ? kOpening : kCreating);
    LeWriter w(f, f.fileName());
    const qint64 size = f.size();
    if (size < kProtocolRecordSize) {
        // New, or cut inside its header: the header is this study's protocol either way.
        truncateTo(f, 0);
        writeProtocol(w, protocol);
    } else {
        const qint64 whole =
            kProtocolRecordSize + (size - kProtocolRecordSize) / recordSize * recordSize;
        if (whole != size)
            truncateTo(f, whole);
        seekTo(f, whole);
    }
    w.bytes(encodeRecord(record, withST));
    syncToDisk(f);
}

} // namespace

QString studyFileName(const QString& patientFile, int studyNumber)
{
    return (patientFile.mid(4, 4) + QLatin1Char('_') + threeDigits(studyNumber) +
            QStringLiteral(".est"))
        .left(12);
}

QString reportFileName(const QString& studyFile)
{
    return studyFile.left(std::max<qsizetype>(0, studyFile.size() - 4)) + QStringLiteral(".INF");
}

bool usesOldProtocolHeader(const QString& patientVersion)
{
    // A version whose year cannot be read is not an old one: only current files lack it.
    const QStringView v(patientVersion);
    if (v.size() < 4 || !isDigits(v.left(4)))
        return false;
    const int year = v.left(4).toInt();
    if (year != 2004)
        return year < 2004;
    if (v.size() < 6 || !isDigits(v.mid(5, 1)))
        return false;
    return v.mid(5, 1).toInt() < 2;
}

ProtocolRecord readStudyHeader(LeReader& r, bool oldLayout)
{
    if (!oldLayout)
        return readProtocol(r);
    ProtocolRecord p;
    p.name = r.str(kProtocolNameChars);
    p.stageCount = r.u8();
    r.skip(2);
    p.device = r.i32();
    const int used = p.usableStageCount();
    for (int i = 0; i < kMaxStages; ++i) {
        if (i >= used) {
            r.skip(24);
            continue;
        }
        StageEntry& s = p.stages[static_cast<std::size_t>(i)];
        s.number = r.u8();
        r.skip(3);
        s.type = r.i32();
        s.duration = r.i32();
        s.load = static_cast<float>(r.i32());
        s.slope = static_cast<float>(r.i32());
        s.speed = static_cast<float>(r.i32());
    }
    return p;
}

StudyRead readStudyRecord(const QString& path, int n, const QString& patientVersion)
{
    StudyRead out;
    QFile f(pathIn(path));
    if (!tryOpenRegularFile(f, QIODevice::ReadOnly)) {
        out.error = true;
        return out;
    }
    const bool withST = recordsHaveST(patientVersion);
    const qint64 recordSize = withST ? kStageRecordSize : kOldStageRecordSize;
    try {
        QBuffer header;
        header.setData(readWhole(f, kProtocolRecordSize));
        header.open(QIODevice::ReadOnly);
        LeReader hr(header, f.fileName());
        out.protocol = readStudyHeader(hr, usesOldProtocolHeader(patientVersion));
        const qint64 size = f.size();
        if (n <= 0) {
            out.atEnd = kProtocolRecordSize >= size;
            return out;
        }
        // Records are found by position: only record n and the one before it are read, in
        // one piece, as if every record up to n had been read in turn.
        const qint64 whole = (size - kProtocolRecordSize) / recordSize;
        const qint64 last = std::min<qint64>(n, whole);
        if (last == 0)
            throw FileError(f.fileName(), kReading,
                            QStringLiteral("el estudio no tiene registros"));
        const qint64 first = std::max<qint64>(1, last - 1);
        seekTo(f, kProtocolRecordSize + (first - 1) * recordSize);
        QBuffer records;
        records.setData(readWhole(f, (last - first + 1) * recordSize));
        records.open(QIODevice::ReadOnly);
        LeReader rr(records, f.fileName());
        if (first < last)
            out.previousElapsed = readStageRecord(rr, withST).elapsed;
        out.record = readStageRecord(rr, withST);
        out.recordsRead = static_cast<int>(last);
        // Asked past a torn tail: the reader stopped inside the record after the last whole one.
        if (n > whole && (size - kProtocolRecordSize) % recordSize != 0) {
            out.error = true;
            return out;
        }
        out.atEnd = kProtocolRecordSize + last * recordSize >= size;
    } catch (const FileError&) {
        out.error = true;
    }
    return out;
}

void rewriteStageValues(const QString& path, int n, std::int32_t diastolic, std::int32_t systolic,
                        std::int32_t heartRate, std::uint8_t angina)
{
    QFile f(pathIn(path));
    openRegularFile(f, QIODevice::ReadWrite | QIODevice::ExistingOnly, kOpening);
    const qint64 start = kProtocolRecordSize + (qint64(n) - 1) * kStageRecordSize;
    // Only a record the file holds whole is corrected; the file never grows here.
    if (n < 1 || start + kStageRecordSize > f.size())
        throw FileError(f.fileName(), kWriting,
                        QStringLiteral("el estudio no tiene el registro %1").arg(n));
    // The corrected fields and the reserved one between them go out in one write, so a failed
    // write cannot leave a record half corrected by an earlier successful one.
    seekTo(f, start + kDiastolicOffset);
    QByteArray fields = readWhole(f, kAnginaOffset + 1 - kDiastolicOffset);
    QBuffer patch(&fields);
    patch.open(QIODevice::WriteOnly);
    LeWriter pw(patch, f.fileName());
    pw.i32(diastolic);
    pw.i32(systolic);
    pw.i32(heartRate);
    patch.seek(kAnginaOffset - kDiastolicOffset);
    pw.u8(angina);
    seekTo(f, start + kDiastolicOffset);
    if (f.write(fields) != fields.size())
        throw FileError(f.fileName(), kWriting, f.errorString());
    syncToDisk(f);
}

StudyListing listStudies(const QString& patientPath)
{
    StudyListing out;
    QFile f(pathIn(patientPath));
    if (!tryOpenRegularFile(f, QIODevice::ReadOnly))
        return out;
    LeReader r(f, f.fileName());
    PatientData data;
    int count = 0;
    try {
        data = readPatientData(r);
        r.skip(101);
        count = r.u8();
    } catch (const FileError&) {
        return out;
    }
    out.caption =
        QStringLiteral("Estudio: ") + data.surname.left(39) + QStringLiteral(", ") + data.firstName;
    for (int i = 1; i <= count; ++i) {
        StudyEntry e;
        bool whole = true;
        try {
            e.file = r.str(12);
            e.date = r.str(10);
        } catch (const FileError&) {
            whole = false;
        }
        // A name that could leave the folder or name some other kind of file is listed like a
        // torn entry so it cannot be opened; the entries after it keep their places.
        if (!whole || !isStudyName(e.file)) {
            out.lines.append(QString::number(i) + QStringLiteral(")-Archivo corrupto"));
            out.files.append(QString());
            out.dates.append(QString());
            if (!whole)
                break;
            continue;
        }
        out.lines.append(QString::number(i) + QStringLiteral(")-") + e.date);
        out.files.append(e.file);
        out.dates.append(e.date);
    }
    return out;
}

void saveStageRecord(const QDir& dir, StudySession& session, const ProtocolRecord& protocol,
                     const StageRecord& record, const QDate& today)
{
    updatePatientFile(dir, session, today);
    appendRecord(dir, session, protocol, record);
}

} // namespace esf

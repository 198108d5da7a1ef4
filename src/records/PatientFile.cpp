#include "records/PatientFile.h"

#include "common/BinaryIO.h"
#include "common/Cp1252.h"
#include "common/FileError.h"
#include "common/FileNames.h"
#include "common/Version.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <limits>

namespace esf {
namespace {

const QString kCorruptMark = QStringLiteral("[Archivo Corrupto]");
const QString kStudySuffix = QStringLiteral(".est");
const QString kReportSuffix = QStringLiteral(".INF");

QFile& openForReading(QFile& f)
{
    openRegularFile(f, QIODevice::ReadOnly, QStringLiteral("apertura"));
    return f;
}

PatientHeader readHeaderFields(LeReader& r)
{
    PatientHeader h;
    h.data = readPatientData(r);
    h.version = r.str(100);
    h.studyCount = r.u8();
    return h;
}

void removeFile(const QString& path)
{
    QFile f(path);
    if (!f.remove())
        throw FileError(path, QStringLiteral("borrado"), f.errorString());
}

// Removes name from dir when it is there in any letter case; names that are not plain
// never reach the file system.
void removeIfPresent(const QDir& dir, const QString& name)
{
    if (!isPlainFileName(name))
        return;
    const QString path = resolveCaseInsensitive(dir, name);
    if (QFileInfo(path).isFile())
        removeFile(path);
}

bool allDigits(QStringView s)
{
    return !s.isEmpty() &&
           std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

QString patientFileName(std::int32_t number)
{
    return QStringLiteral("%1.DAT").arg(number, 8, 10, QLatin1Char('0'));
}

std::int32_t nextFreePatientNumber(const QDir& dir, std::int32_t last)
{
    QSet<QString> taken;
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString& e : entries)
        taken.insert(e.toUpper());
    // A damaged counter below zero must not produce names with a sign in them.
    std::int32_t n = std::max(last, 0);
    while (n < std::numeric_limits<std::int32_t>::max()) {
        ++n;
        if (!taken.contains(patientFileName(n).toUpper()))
            return n;
    }
    throw FileError(dir.path(), QStringLiteral("creación"),
                    QStringLiteral("no quedan números de paciente libres"));
}

void writePatientData(LeWriter& w, const PatientData& d)
{
    w.str(d.firstName, 30);
    w.str(d.surname, 30);
    w.u8(d.height);
    w.str(d.birthDate, 10);
    w.u8(d.sex);
}

PatientData readPatientData(LeReader& r)
{
    PatientData d;
    d.firstName = r.str(30);
    d.surname = r.str(30);
    d.height = r.u8();
    d.birthDate = r.str(10);
    d.sex = r.u8();
    return d;
}

PatientHeader readPatientHeader(const QString& path)
{
    QFile f(path);
    LeReader r(openForReading(f), path);
    return readHeaderFields(r);
}

QList<PatientListing> listPatients(const QDir& dir)
{
    if (!dir.exists())
        throw FileError(dir.path(), QStringLiteral("lectura"),
                        QStringLiteral("la carpeta no existe"));
    QList<PatientListing> out;
    for (const QString& name : listMatching(dir, QStringLiteral("*.DAT"))) {
        QFile f(dir.filePath(name));
        LeReader r(openForReading(f), f.fileName());
        PatientListing item;
        item.fileName = name;
        PatientHeader& h = item.header;
        // Field by field, so a torn file still shows the fields it holds whole.
        try {
            h.data.firstName = r.str(30);
            h.data.surname = r.str(30);
            h.data.height = r.u8();
            h.data.birthDate = r.str(10);
            h.data.sex = r.u8();
            h.version = r.str(100);
            h.studyCount = r.u8();
        } catch (const FileError&) {
            item.corrupt = true;
            h.data.firstName = (h.data.firstName + kCorruptMark).left(30);
        }
        out.append(item);
    }
    return out;
}

namespace {

// At most limit entries, only whole ones: a copy cut short keeps the studies it still holds.
// The count bounds the list before any memory is taken, whatever the file's size claims.
StudyList readEntries(const QString& path, bool byCount)
{
    QFile f(path);
    LeReader r(openForReading(f), path);
    const int count = readHeaderFields(r).studyCount;
    const qint64 whole = (f.size() - kPatientHeaderSize) / kStudyEntrySize;
    const qint64 limit = std::min<qint64>(byCount ? count : kMaxStudies, whole);
    StudyList list;
    for (qint64 i = 0; i < limit; ++i) {
        StudyEntry e;
        e.file = r.str(12);
        e.date = r.str(10);
        list.entries.append(e);
    }
    list.complete = whole >= count;
    return list;
}

} // namespace

QList<StudyEntry> readStudyEntries(const QString& path)
{
    return readEntries(path, false).entries;
}

StudyList readStudyList(const QString& path)
{
    return readEntries(path, true);
}

void writePatientHeader(const QString& path, const PatientData& d, std::uint8_t studyCount)
{
    QFile f(path);
    // ReadWrite creates a missing file and never truncates, so the study list survives.
    openRegularFile(f, QIODevice::ReadWrite, QStringLiteral("apertura"));
    LeWriter w(f, path);
    writePatientData(w, d);
    w.str(kSoftwareVersion, 100);
    w.u8(studyCount);
    if (!f.flush())
        throw FileError(path, QStringLiteral("escritura"), f.errorString());
}

QDate parseShortDate(const QString& text)
{
    if (text.size() != 10 || text[2] != u'/' || text[5] != u'/')
        return {};
    const QStringView v(text);
    if (!allDigits(v.mid(0, 2)) || !allDigits(v.mid(3, 2)) || !allDigits(v.mid(6, 4)))
        return {};
    return QDate(v.mid(6, 4).toInt(), v.mid(3, 2).toInt(), v.mid(0, 2).toInt());
}

int patientAge(const QString& birthDate, const QDate& today)
{
    const QDate birth = parseShortDate(birthDate);
    if (!birth.isValid() || !today.isValid())
        return 0;
    return static_cast<int>(static_cast<double>(birth.daysTo(today)) / 365.0);
}

bool versionAllowsNewStudy(const QString& version)
{
    const QByteArray v = cp1252::encode(version);
    const QByteArray floor = QByteArrayLiteral("2007.1.0");
    const auto asUnsigned = [](char a, char b) {
        return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
    };
    if (!std::lexicographical_compare(floor.begin(), floor.end(), v.begin(), v.end(), asUnsigned))
        return false;
    const QStringView s(version);
    if (!allDigits(s.left(4)))
        return false;
    const int year = s.left(4).toInt();
    if (year > 2004)
        return true;
    return year == 2004 && s.size() >= 6 && allDigits(s.mid(5, 1)) && s.mid(5, 1).toInt() >= 2;
}

bool isStudyEntryName(const QString& name)
{
    return isPlainFileName(name) && name.endsWith(kStudySuffix, Qt::CaseInsensitive) &&
           name.size() > kStudySuffix.size();
}

void deletePatientFiles(const QDir& dir, const QString& patientFile)
{
    if (!isPlainFileName(patientFile))
        throw FileError(patientFile, QStringLiteral("borrado"),
                        QStringLiteral("nombre de archivo no válido"));
    const QString path = resolveCaseInsensitive(dir, patientFile);
    if (!QFileInfo(path).isFile())
        return;
    if (readPatientHeader(path).studyCount >= 1) {
        for (const StudyEntry& e : readStudyEntries(path)) {
            if (!isStudyEntryName(e.file))
                continue;
            removeIfPresent(dir, e.file);
            removeIfPresent(dir, e.file.left(e.file.size() - 4) + kReportSuffix);
        }
    }
    removeFile(path);
}

} // namespace esf

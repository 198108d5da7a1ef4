#pragma once

#include <QDate>
#include <QDir>
#include <QList>
#include <QString>
#include <cstdint>

namespace esf {

class LeReader;
class LeWriter;

inline constexpr int kPatientDataSize = 75;
inline constexpr int kPatientHeaderSize = 177;
inline constexpr int kStudyEntrySize = 24;
inline constexpr int kMaxStudies = 255;

struct PatientData {
    QString firstName;       // string[30]
    QString surname;         // string[30]
    std::uint8_t height = 0; // cm
    QString birthDate;       // string[10], dd/mm/yyyy as typed
    std::uint8_t sex = 0;    // 1 male, 0 female

    bool operator==(const PatientData&) const = default;
};

struct StudyEntry {
    QString file; // string[12], e.g. 0012_003.est
    QString date; // string[10], dd/mm/yyyy

    bool operator==(const StudyEntry&) const = default;
};

struct PatientHeader {
    PatientData data;
    QString version; // string[100]
    std::uint8_t studyCount = 0;

    bool operator==(const PatientHeader&) const = default;
};

// One line of the patient chooser.
struct PatientListing {
    QString fileName;     // e.g. 00000012.DAT
    PatientHeader header; // whatever could be read
    bool corrupt = false; // header not readable whole: listed, never chosen
};

// "00000012.DAT"
QString patientFileName(std::int32_t number);
// The first number above last whose file does not exist in any letter case, so a new
// patient never overwrites another one's file.
std::int32_t nextFreePatientNumber(const QDir& dir, std::int32_t last);

void writePatientData(LeWriter& w, const PatientData& d);
PatientData readPatientData(LeReader& r);

// Throws FileError when the file is missing or shorter than its 177-byte header.
PatientHeader readPatientHeader(const QString& path);
// Every "*.DAT" (any case) of dir, read as far as possible, in directory order.
QList<PatientListing> listPatients(const QDir& dir);
// The study entries after the header, up to the end of the file but never more than a count
// byte can name (255); a torn last entry is ignored. Throws FileError when the header itself
// cannot be read.
QList<StudyEntry> readStudyEntries(const QString& path);
// The entries the count byte names, as far as the file holds them whole.
struct StudyList {
    QList<StudyEntry> entries;
    bool complete = true; // false when the file ends before the count's last entry
};
StudyList readStudyList(const QString& path);
// Writes data, version and count at offset 0, creating the file when absent and keeping
// the study entries after the header.
void writePatientHeader(const QString& path, const PatientData& d, std::uint8_t studyCount);

// Whole 365-day years from the birth date (dd/mm/yyyy) to today; 0 when not a valid date.
int patientAge(const QString& birthDate, const QDate& today);
// dd/mm/yyyy, strictly; invalid QDate otherwise.
QDate parseShortDate(const QString& text);
bool versionAllowsNewStudy(const QString& version);

// A study entry's name may reach the file system only when it is a plain name ending in
// ".est": a damaged entry must never name the configuration, the template or another
// patient's file.
bool isStudyEntryName(const QString& name);

// Deletes the patient's study files and their .INF reports (names taken from the file are
// used only when they are plain names inside dir), then the patient file itself.
void deletePatientFiles(const QDir& dir, const QString& patientFile);

} // namespace esf

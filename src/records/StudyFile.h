#pragma once

#include "protocol/ProtocolRecord.h"
#include "protocol/StageRecord.h"
#include "protocol/StageRun.h"

#include <QDate>
#include <QDir>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace esf {

// Characters 5 to 8 of the patient file name, "_", the study number in three digits and
// ".est": 00000123.DAT and study 7 give 0123_007.est.
QString studyFileName(const QString& patientFile, int studyNumber);
// The report of a study: the same name with ".INF" for its last four characters.
QString reportFileName(const QString& studyFile);

// The 388-byte header of a study file; patients older than the 2004.2 format stored the
// three stage values as integers and are converted here.
bool usesOldProtocolHeader(const QString& patientVersion);
ProtocolRecord readStudyHeader(LeReader& r, bool oldLayout);

// Record n (1-based) read from the start of the file, as the review uses it.
struct StudyRead {
    int recordsRead = 0;
    bool atEnd = false;
    bool error = false;
    ProtocolRecord protocol;
    StageRecord record; // the last record read
    std::int32_t previousElapsed = 0;
};
StudyRead readStudyRecord(const QString& path, int n, const QString& patientVersion);

// Writes corrected pressures, heart rate and angina into record n in place
// (24051-byte records only). Throws FileError.
void rewriteStageValues(const QString& path, int n, std::int32_t diastolic, std::int32_t systolic,
                        std::int32_t heartRate, std::uint8_t angina);

// What the study chooser lists for a patient file.
struct StudyListing {
    QString caption;   // "Estudio: " + surname (39) + ", " + first name
    QStringList lines; // "1)-12/03/2007", or "N)-Archivo corrupto" where the list breaks
    QStringList files; // parallel: the study file name, empty for a corrupt line
    QStringList dates;
};
StudyListing listStudies(const QString& patientPath);

// One stage record saved: the count byte of the patient file, on a new study's first
// record its entry and a free study file name, then the record appended behind the
// protocol header (a file created now gets the header). A torn record at the end of an
// existing file is cut off first so every record stays aligned; the data reach the disk
// before this returns. Throws FileError, leaving what was written before.
void saveStageRecord(const QDir& dir, StudySession& session, const ProtocolRecord& protocol,
                     const StageRecord& record, const QDate& today);

} // namespace esf

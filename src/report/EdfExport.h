#pragma once

#include "protocol/ProtocolRecord.h"
#include "protocol/StageRecord.h"
#include "records/PatientFile.h"

#include <QString>
#include <vector>

namespace esf {

struct EdfExportInput {
    PatientData patient;
    QString patientCode; // the patient file name without ".DAT"
    QString studyDate;   // dd/mm/yyyy
    ProtocolRecord protocol;
    std::vector<StageRecord> records;
    bool anonymous = false;
};

inline constexpr int kEdfSampleRate = 200;
inline constexpr int kEdfSecondsPerStrip = 10;

// The strips of a study as EDF+ (signals II, V2, V5 in µV at 200 Hz): each strip's last ten
// seconds in record order, one data record a second, with annotations at each strip's start
// naming its stage, pressures, rate, angina, kind and the study time it was taken at.
// Written under a temporary name and renamed, so a failure never leaves half a file.
// Throws FileError.
void exportEdf(const QString& path, const EdfExportInput& in);

// The annotation texts of one record, in the order they are written.
QStringList edfAnnotations(const StageRecord& r, const ProtocolRecord& protocol);

} // namespace esf

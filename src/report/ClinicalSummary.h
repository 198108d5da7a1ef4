#pragma once

#include "protocol/ProtocolRecord.h"
#include "protocol/StageRecord.h"
#include "records/PatientFile.h"

#include <QDate>
#include <QList>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace esf {

// What a stress-test report states about a study, computed from its stage records.
struct SummaryInput {
    ProtocolRecord protocol;
    std::vector<StageRecord> records;
    int age = 0;
    int sex = 0; // 0 male, 1 female
    int formula = 0;
    int userMaxHR = 0;
    // The angina index of the Duke score: 2 (limiting) is the physician's call; -1 takes
    // 1 when any record carries angina, else 0.
    int anginaIndex = -1;
};

// A number that the data may not allow; `why` says what is missing.
template <class T> struct Measured {
    std::optional<T> value;
    QString why;
};

enum class DukeRisk { Low, Moderate, High };

struct ClinicalSummary {
    Measured<int> restHR;
    Measured<int> peakHR;
    Measured<int> predictedMaxHR;
    Measured<double> percentOfPredicted;
    Measured<double> chronotropicIndex;
    Measured<int> hrRecovery;
    Measured<int> peakSystolic;
    Measured<int> peakDoubleProduct;
    Measured<int> exerciseSeconds;
    Measured<double> mets;
    std::array<Measured<double>, 3> maxST; // mV, the deviation of largest size with its sign
    Measured<double> dukeScore;
    std::optional<DukeRisk> dukeRisk;
    int anginaIndex = 0;
    bool chronotropicIncompetence = false;
    bool abnormalRecovery = false;
    bool systolicDrop = false;

    // The flags raised, in the words the report uses.
    QStringList flags() const;
};

ClinicalSummary computeClinicalSummary(const SummaryInput& in);

// The study's whole records read once, with the patient's age and sex as the header shows
// them. Throws FileError when the study cannot be read; a torn tail is left out.
SummaryInput readSummaryInput(const QString& studyPath, const PatientData& patient,
                              const QString& patientVersion, const QDate& today, int formula,
                              int userMaxHR);

// ACSM walking (below 8 km/h) or running equation, METs with one decimal.
double treadmillMets(double speedKmh, double slopePercent);
DukeRisk dukeRisk(double score);
QString dukeRiskText(DukeRisk risk);

// One row of the summary as shown and printed: label, value ("—" with the reason when the
// data do not allow it) and the flag it raises.
struct SummaryRow {
    QString label;
    QString value;
    QString flag;
};
QList<SummaryRow> summaryRows(const ClinicalSummary& s, const QString& rateUnit,
                              const QString& pressureUnit);

} // namespace esf

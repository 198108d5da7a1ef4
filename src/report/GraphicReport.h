#pragma once

#include "protocol/ProtocolRecord.h"
#include "protocol/StageRecord.h"
#include "protocol/StageRun.h"
#include "records/PatientFile.h"
#include "report/ClinicalSummary.h"
#include "report/GeneralData.h"
#include "report/PrintLayout.h"
#include "report/UnitTexts.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <bitset>
#include <vector>

namespace esf {

// The whole records of a study, read once for printing.
struct PrintedStudy {
    ProtocolRecord protocol;
    QList<StageRecord> records;
    bool tornTail = false; // the file ends inside a record; the whole ones before it count
};

// Reads the header (converted when the patient's version calls for the older layout) and
// every whole record; the strips of records not in `keepStrips` are dropped to save memory.
// Throws FileError when the file is missing or its header cannot be read.
PrintedStudy readPrintedStudy(const QString& path, const QString& patientVersion,
                              const std::bitset<kPrintSelectionSize>& keepStrips);

// What the report is made of besides the study file.
struct ReportInputs {
    PatientData patient;
    QString patientVersion;
    QString studyDate;
    std::bitset<kPrintSelectionSize> selection; // records 1..50
    GeneralData general;                        // Datosgen.txt read for this print
    UnitTexts units;                            // the main window's unit copies
    int formula = 0;
    int userMaxHR = 0;
    QDate today;
};

// The texts and values of the printed report, computed apart from any device.
struct GraphicReport {
    QString institution; // "Institución: " + line 1
    QString addressLine; // line 2 + nine spaces + "Tel.: " + line 3
    QString logoPath;    // line 10, may be empty
    QString date;
    QString protocol;
    QString patient;
    QString age;
    QString sex;
    QString physician;
    QString heartRates; // the 8-point line under the patient box
    std::int32_t device = Device::Cinta;
    std::array<QString, 4> graphTitles;
    PrintTimeAxis axis;
    QList<QStringList> table; // row 0: the 11 headers; row r: record r

    struct Point {
        std::int32_t time = 0;
        std::int32_t systolic = 0;
        std::int32_t diastolic = 0;
        std::int32_t heartRate = 0;
        std::int32_t itt = 0;
        double work = 0.0; // the stage's slope (treadmill) or load (bicycle)
    };
    QList<Point> points;

    struct Strip {
        int record = 0;
        QString title;
        std::array<std::vector<std::int32_t>, kLeadCount> leads;
    };
    QList<Strip> strips;       // the marked records, in record order
    QList<SummaryRow> summary; // printed on a page of its own after the strips when not empty

    int recordCount() const { return static_cast<int>(points.size()); }
};

// "     3º Etapa: 06:00(Automático)   Angor  (Ejercicio)"
QString stripTitle(const StageRecord& record, const ProtocolRecord& protocol);
// The 11 cells of one record's column in the stage table.
QStringList stageTableCells(const StageRecord& record, const ProtocolRecord& protocol,
                            const UnitTexts& units, bool withST);
QStringList stageTableHeader();

GraphicReport buildGraphicReport(const ReportInputs& in, PrintedStudy study);

// Pages the report takes: the first, and those the marked strips continue on.
int reportPageCount(const GraphicReport& report);

} // namespace esf

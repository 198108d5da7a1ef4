#include "report/GraphicReport.h"

#include "common/BinaryIO.h"
#include "common/FileError.h"
#include "common/FileNames.h"
#include "common/NumberFormat.h"
#include "protocol/MaxHeartRate.h"
#include "records/StudyFile.h"
#include "st/StMeasure.h"

#include <QFile>
#include <QFileInfo>

namespace esf {
namespace {

const QString kDash = QStringLiteral("-");
const QString kNoST = QStringLiteral("---");

QString withUnit(double value, const QString& unit)
{
    return formatPicture(value, QStringLiteral("00.0")) + QLatin1Char(' ') + unit;
}

QString stText(float value, bool withST)
{
    if (!withST || value == kStNotMeasured)
        return kNoST;
    return formatStValue(value);
}

double stageWork(const StageEntry& stage, std::int32_t device)
{
    if (device == Device::Cinta)
        return stage.slope;
    if (device == Device::Bicicleta)
        return stage.load;
    return 0.0;
}

} // namespace

PrintedStudy readPrintedStudy(const QString& path, const QString& patientVersion,
                              const std::bitset<kPrintSelectionSize>& keepStrips)
{
    const QFileInfo info(path);
    QFile f(resolveCaseInsensitive(info.dir(), info.fileName()));
    openRegularFile(f, QIODevice::ReadOnly, QStringLiteral("apertura"));
    LeReader r(f, f.fileName());
    PrintedStudy out;
    out.protocol = readStudyHeader(r, usesOldProtocolHeader(patientVersion));
    const bool withST = recordsHaveST(patientVersion);
    const qint64 size = withST ? kStageRecordSize : kOldStageRecordSize;
    while (f.bytesAvailable() >= size) {
        StageRecord record = readStageRecord(r, withST);
        const auto n = static_cast<std::size_t>(out.records.size() + 1);
        if (n >= keepStrips.size() || !keepStrips.test(n))
            record.strip = {};
        out.records.append(std::move(record));
    }
    out.tornTail = f.bytesAvailable() > 0;
    return out;
}

QStringList stageTableHeader()
{
    return {QString(),
            QStringLiteral("Pres. Sist."),
            QStringLiteral("Pres. Diast."),
            QStringLiteral("Frec. Card."),
            QStringLiteral("ITT"),
            QStringLiteral("Carga"),
            QStringLiteral("Pend."),
            QStringLiteral("Vel."),
            QStringLiteral("D2 ST [mV]"),
            QStringLiteral("V2 ST [mV]"),
            QStringLiteral("V5 ST [mV]")};
}

QStringList stageTableCells(const StageRecord& record, const ProtocolRecord& protocol,
                            const UnitTexts& units, bool withST)
{
    const StageEntry& stage = protocol.stage(record.stage);
    QStringList cells;
    cells << QString::number(record.stage) + QStringLiteral("º[") +
                 formatStageTime(record.elapsed) + QLatin1Char(']');
    cells << QString::number(record.systolic) + QLatin1Char(' ') + units.pressure;
    cells << QString::number(record.diastolic) + QLatin1Char(' ') + units.pressure;
    cells << QString::number(record.heartRate) + QLatin1Char(' ') + units.rate;
    cells << QString::number(record.itt());
    if (protocol.device == Device::Cinta)
        cells << kDash << withUnit(stage.slope, units.slope) << withUnit(stage.speed, units.speed);
    else if (protocol.device == Device::Bicicleta)
        cells << withUnit(stage.load, units.load) << kDash << kDash;
    else
        cells << QString() << QString() << QString();
    for (float st : record.st)
        cells << stText(st, withST);
    return cells;
}

QString stripTitle(const StageRecord& record, const ProtocolRecord& protocol)
{
    QString t = QStringLiteral("     ") + QString::number(record.stage) +
                QStringLiteral("º Etapa: ") + formatStageTime(record.elapsed) +
                (record.kind != RecordKind::Automatic ? QStringLiteral("(Manual)")
                                                      : QStringLiteral("(Automático)"));
    if (record.angina != 0)
        t += QStringLiteral("   Angor");
    return t + QStringLiteral("  (") + stageTypeName(protocol.stage(record.stage).type) +
           QLatin1Char(')');
}

GraphicReport buildGraphicReport(const ReportInputs& in, PrintedStudy study)
{
    const GeneralData& g = in.general;
    const PatientData& p = in.patient;
    GraphicReport out;
    out.institution = QStringLiteral("Institución: ") + g.institution;
    out.addressLine =
        g.address + QString(9, QLatin1Char(' ')) + QStringLiteral("Tel.: ") + g.telephone;
    out.logoPath = g.logo;
    out.date = QStringLiteral("Fecha:") + in.studyDate;
    out.protocol = QStringLiteral("Protocolo: ") + study.protocol.name;
    out.patient = QStringLiteral("Paciente: ") + p.surname + QStringLiteral(", ") + p.firstName;
    const int age = patientAge(p.birthDate, in.today);
    out.age = QStringLiteral("Edad: ") + QString::number(age);
    const bool male = p.sex != 0;
    out.sex = QStringLiteral("Sexo: ") +
              (male ? QStringLiteral("Masculino") : QStringLiteral("Femenino"));
    out.physician = QStringLiteral("Medico: ") + g.physician;
    const HeartRateLimits hr = maxHeartRate(age, male ? 0 : 1, in.formula, in.userMaxHR);
    out.heartRates = QStringLiteral("Frecuencia Máxima: ") + QString::number(hr.maxHR) +
                     g.rateUnit + QString(4, QLatin1Char(' ')) +
                     QStringLiteral("Frecuencia Submáxima: ") + QString::number(hr.subMaxHR) +
                     g.rateUnit;

    out.device = study.protocol.device;
    out.graphTitles = {QStringLiteral("P.art") + in.units.pressure,
                       QStringLiteral("Frec") + in.units.rate, QStringLiteral("ITT x1000"),
                       out.device == Device::Bicicleta
                           ? QStringLiteral("Carga") + in.units.load
                           : QStringLiteral("Pendiente") + in.units.slope};
    out.axis = printTimeAxis(study.records.isEmpty() ? 0 : study.records.back().elapsed);

    const bool withST = recordsHaveST(in.patientVersion);
    out.table.append(stageTableHeader());
    for (qsizetype i = 0; i < study.records.size(); ++i) {
        StageRecord& r = study.records[i];
        const StageEntry& stage = study.protocol.stage(r.stage);
        out.table.append(stageTableCells(r, study.protocol, in.units, withST));
        out.points.append({r.elapsed, r.systolic, r.diastolic, r.heartRate, r.itt(),
                           stageWork(stage, out.device)});
        // Flags exist for records 1..50 only; later records have no strip to print.
        const auto n = static_cast<std::size_t>(i + 1);
        if (n < in.selection.size() && in.selection.test(n))
            out.strips.append(
                {static_cast<int>(n), stripTitle(r, study.protocol), std::move(r.strip)});
    }
    return out;
}

int reportPageCount(const GraphicReport& report)
{
    QList<int> marked;
    for (const GraphicReport::Strip& s : report.strips)
        marked.append(s.record);
    const QList<StripBand> bands =
        stripBands(tableBands(report.recordCount()).back().band, marked, 1);
    const int pages = bands.isEmpty() ? 1 : bands.back().page + 1;
    return report.summary.isEmpty() ? pages : pages + 1;
}

} // namespace esf

#include "cli/CliSummary.h"

#include "cli/CliArgs.h"

#include "app/ZirodIni.h"
#include "common/FileError.h"
#include "common/FileNames.h"
#include "protocol/MaxHeartRate.h"
#include "records/StudyFile.h"
#include "report/ClinicalSummary.h"
#include "report/EdfExport.h"
#include "report/GeneralData.h"

#include <QDate>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace esf::cli {
namespace {

const QString kSummaryUsage = QStringLiteral(
    "uso: esfuerzo-cli summary ARCHIVO.est --patient ARCHIVO.DAT [--formula N] [--angina 0|1|2]");
const QString kEdfUsage = QStringLiteral(
    "uso: esfuerzo-cli export-edf ARCHIVO.est --patient ARCHIVO.DAT --out ARCHIVO.edf "
    "[--anonymous]");

struct Options {
    QString study;
    QString patient;
    QString out;
    int formula = -1;
    int angina = -1;
    bool anonymous = false;
};

int number(const QString& option, const QString& v, int lowest, int highest)
{
    bool ok = false;
    const int n = v.toInt(&ok);
    if (!ok || n < lowest || n > highest)
        throw QStringLiteral("%1 admite de %2 a %3, no '%4'")
            .arg(option)
            .arg(lowest)
            .arg(highest)
            .arg(v);
    return n;
}

// Throws the text of a usage error.
Options parse(const QStringList& args, bool edf)
{
    Options o;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto value = [&] { return optionValue(args, i); };
        if (a == QLatin1String("--patient"))
            o.patient = value();
        else if (edf && a == QLatin1String("--out"))
            o.out = value();
        else if (edf && a == QLatin1String("--anonymous"))
            o.anonymous = true;
        else if (!edf && a == QLatin1String("--formula"))
            o.formula = number(a, value(), 0, kFormulaCount - 1);
        else if (!edf && a == QLatin1String("--angina"))
            o.angina = number(a, value(), 0, 2);
        else if (a.startsWith(QLatin1String("--")) || !o.study.isEmpty())
            throw QStringLiteral("argumento desconocido '%1'").arg(a);
        else
            o.study = a;
    }
    if (o.study.isEmpty())
        throw QStringLiteral("falta el archivo de estudio");
    if (o.patient.isEmpty())
        throw QStringLiteral("falta --patient");
    if (edf && o.out.isEmpty())
        throw QStringLiteral("falta --out");
    return o;
}

QJsonValue json(const Measured<int>& m)
{
    return m.value ? QJsonValue(*m.value) : QJsonValue();
}

QJsonValue json(const Measured<double>& m, int decimals)
{
    return m.value ? QJsonValue(QString::number(*m.value, 'f', decimals).toDouble()) : QJsonValue();
}

void requireStudy(const QString& path)
{
    if (!QFileInfo(path).isFile())
        throw FileError(path, QStringLiteral("apertura"), QStringLiteral("el archivo no existe"));
}

} // namespace

int summary(const QStringList& args, QTextStream& out, QTextStream& err)
{
    Options o;
    try {
        o = parse(args, false);
    } catch (const QString& text) {
        err << "esfuerzo-cli: " << text << '\n' << kSummaryUsage << '\n';
        return 2;
    }
    const PatientHeader patient = readPatientHeader(o.patient);
    requireStudy(o.study);
    const QDir folder = QFileInfo(o.study).dir();
    if (o.formula < 0) {
        // The formula chosen in the workstation of that folder, as the header shows it.
        o.formula = 0;
        const QString ini = resolveCaseInsensitive(folder, kZirodFileName);
        if (QFileInfo::exists(ini)) {
            try {
                o.formula = readZirod(ini).maxHRFormula;
            } catch (const FileError&) {
            }
        }
    }
    SummaryInput in = readSummaryInput(o.study, patient.data, patient.version, QDate::currentDate(),
                                       o.formula, 0);
    in.anginaIndex = o.angina;
    const ClinicalSummary s = computeClinicalSummary(in);
    UnitTexts units;
    loadUnits(resolveCaseInsensitive(folder, kGeneralDataFileName), units);

    QJsonObject values;
    values.insert(QStringLiteral("restHR"), json(s.restHR));
    values.insert(QStringLiteral("peakHR"), json(s.peakHR));
    values.insert(QStringLiteral("predictedMaxHR"), json(s.predictedMaxHR));
    values.insert(QStringLiteral("percentOfPredicted"), json(s.percentOfPredicted, 1));
    values.insert(QStringLiteral("chronotropicIndex"), json(s.chronotropicIndex, 2));
    values.insert(QStringLiteral("hrRecovery"), json(s.hrRecovery));
    values.insert(QStringLiteral("peakSystolic"), json(s.peakSystolic));
    values.insert(QStringLiteral("peakDoubleProduct"), json(s.peakDoubleProduct));
    values.insert(QStringLiteral("exerciseSeconds"), json(s.exerciseSeconds));
    values.insert(QStringLiteral("mets"), json(s.mets, 1));
    QJsonArray st;
    for (const auto& lead : s.maxST)
        st.append(json(lead, 3));
    values.insert(QStringLiteral("maxST"), st);
    values.insert(QStringLiteral("dukeScore"), json(s.dukeScore, 1));
    values.insert(QStringLiteral("anginaIndex"), s.anginaIndex);
    QJsonArray rows;
    for (const SummaryRow& r : summaryRows(s, units.rate, units.pressure)) {
        QJsonObject row;
        row.insert(QStringLiteral("label"), r.label);
        row.insert(QStringLiteral("value"), r.value);
        if (!r.flag.isEmpty())
            row.insert(QStringLiteral("flag"), r.flag);
        rows.append(row);
    }
    QJsonObject o2;
    o2.insert(QStringLiteral("study"), QFileInfo(o.study).fileName());
    o2.insert(QStringLiteral("protocol"), in.protocol.name);
    o2.insert(QStringLiteral("records"), int(in.records.size()));
    o2.insert(QStringLiteral("values"), values);
    o2.insert(QStringLiteral("flags"), QJsonArray::fromStringList(s.flags()));
    o2.insert(QStringLiteral("rows"), rows);
    out << QJsonDocument(o2).toJson(QJsonDocument::Indented);
    return 0;
}

int exportEdf(const QStringList& args, QTextStream& out, QTextStream& err)
{
    Options o;
    try {
        o = parse(args, true);
    } catch (const QString& text) {
        err << "esfuerzo-cli: " << text << '\n' << kEdfUsage << '\n';
        return 2;
    }
    const PatientHeader patient = readPatientHeader(o.patient);
    requireStudy(o.study);
    EdfExportInput in;
    in.patient = patient.data;
    in.patientCode = QFileInfo(o.patient).completeBaseName();
    in.anonymous = o.anonymous;
    const QString name = QFileInfo(o.study).fileName();
    for (const StudyEntry& e : readStudyEntries(o.patient))
        if (e.file.compare(name, Qt::CaseInsensitive) == 0)
            in.studyDate = e.date;
    // Every whole record with its strips; a torn tail ends the list.
    for (int n = 1;; ++n) {
        StudyRead r = readStudyRecord(o.study, n, patient.version);
        if (r.error || r.recordsRead < n)
            break;
        in.protocol = r.protocol;
        in.records.push_back(std::move(r.record));
        if (r.atEnd)
            break;
    }
    exportEdf(o.out, in);
    out << name << ": " << in.records.size() << " tiras exportadas a " << o.out << '\n';
    return 0;
}

} // namespace esf::cli

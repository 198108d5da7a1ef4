#include "cli/CliPrint.h"

#include "app/ZirodIni.h"
#include "common/FileError.h"
#include "common/FileNames.h"
#include "records/PatientFile.h"
#include "report/ClinicalSummary.h"
#include "report/GeneralData.h"
#include "report/GraphicReport.h"
#include "report/PrintDrawing.h"
#include "report/ReportPdf.h"

#include <QDate>
#include <QFileInfo>

namespace esf::cli {
namespace {

constexpr int kOk = 0;
constexpr int kBadFile = 1;
constexpr int kUsage = 2;
constexpr int kMinDpi = 72;
constexpr int kMaxDpi = 2400;

struct PrintOptions {
    QString file;
    QString patient;
    QString out;
    std::bitset<kPrintSelectionSize> selection;
    QPageSize::PageSizeId paper = QPageSize::A4;
    int dpi = 600;
    bool summary = false;
};

// Parses the words; returns the reason when they are not a valid print command.
QString parse(const QStringList& args, PrintOptions& o)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--patient") || a == QLatin1String("--out") ||
            a == QLatin1String("--select") || a == QLatin1String("--paper") ||
            a == QLatin1String("--dpi")) {
            if (!hasValue)
                return QStringLiteral("falta el valor de %1").arg(a);
            const QString v = args[++i];
            if (a == QLatin1String("--patient")) {
                o.patient = v;
            } else if (a == QLatin1String("--out")) {
                o.out = v;
            } else if (a == QLatin1String("--select")) {
                for (const QString& part : v.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                    bool ok = false;
                    const int n = part.trimmed().toInt(&ok);
                    // Only records 1..50 have a print flag.
                    if (!ok || n < 1 || n >= kPrintSelectionSize)
                        return QStringLiteral("--select admite registros de 1 a 50, no '%1'")
                            .arg(part);
                    o.selection.set(static_cast<std::size_t>(n));
                }
            } else if (a == QLatin1String("--paper")) {
                if (v.compare(QLatin1String("A4"), Qt::CaseInsensitive) == 0)
                    o.paper = QPageSize::A4;
                else if (v.compare(QLatin1String("Letter"), Qt::CaseInsensitive) == 0)
                    o.paper = QPageSize::Letter;
                else
                    return QStringLiteral("--paper admite A4 o Letter, no '%1'").arg(v);
            } else {
                bool ok = false;
                o.dpi = v.toInt(&ok);
                if (!ok || o.dpi < kMinDpi || o.dpi > kMaxDpi)
                    return QStringLiteral("--dpi admite de %1 a %2, no '%3'")
                        .arg(kMinDpi)
                        .arg(kMaxDpi)
                        .arg(v);
            }
        } else if (a == QLatin1String("--summary")) {
            o.summary = true;
        } else if (a.startsWith(QLatin1String("--")) || !o.file.isEmpty()) {
            return QStringLiteral("argumento desconocido '%1'").arg(a);
        } else {
            o.file = a;
        }
    }
    if (o.file.isEmpty())
        return QStringLiteral("falta el archivo a imprimir");
    if (o.out.isEmpty())
        return QStringLiteral("falta --out ARCHIVO.pdf");
    return {};
}

// The date under which the patient file lists the study; empty when it is not listed.
QString studyDate(const QString& patientPath, const QString& studyFile)
{
    for (const StudyEntry& e : readStudyEntries(patientPath))
        if (e.file.compare(studyFile, Qt::CaseInsensitive) == 0)
            return e.date;
    return {};
}

int printStudy(const PrintOptions& o, QTextStream& out, QTextStream& err)
{
    const QFileInfo study(o.file);
    const QDir folder = study.dir();
    const PatientHeader patient = readPatientHeader(o.patient);

    // What the window takes from its working folder: the general data and the formula.
    ReportInputs in;
    in.patient = patient.data;
    in.patientVersion = patient.version;
    in.studyDate = studyDate(o.patient, study.fileName());
    in.selection = o.selection;
    const QString datosgen = resolveCaseInsensitive(folder, kGeneralDataFileName);
    in.general = readGeneralData(datosgen);
    loadUnits(datosgen, in.units);
    const QString zirod = resolveCaseInsensitive(folder, QStringLiteral("Zirod.ini"));
    if (QFileInfo::exists(zirod)) {
        try {
            in.formula = readZirod(zirod).maxHRFormula;
        } catch (const FileError& e) {
            err << "esfuerzo-cli: " << e.message() << " (se usa la fórmula de Robinson)\n";
        }
    }
    in.today = QDate::currentDate();

    PrintedStudy printed = readPrintedStudy(o.file, in.patientVersion, in.selection);
    if (printed.tornTail)
        err << "esfuerzo-cli: " << study.fileName()
            << ": el archivo termina dentro de un registro; se imprimen los registros enteros\n";
    GraphicReport report = buildGraphicReport(in, std::move(printed));
    if (o.summary) {
        const SummaryInput summary = readSummaryInput(o.file, patient.data, patient.version,
                                                      in.today, in.formula, in.userMaxHR);
        report.summary =
            summaryRows(computeClinicalSummary(summary), in.units.rate, in.units.pressure);
    }

    QImage logo;
    if (!report.logoPath.isEmpty()) {
        const QString logoPath = folder.filePath(report.logoPath);
        if (QFileInfo::exists(logoPath)) {
            QString problem;
            logo = loadLogo(logoPath, problem);
            if (logo.isNull())
                err << "esfuerzo-cli: el logo " << logoPath << " no se pudo leer (" << problem
                    << "); el informe sale sin él\n";
        }
    }
    writeReportPdf(o.out, report, logo, reportPageLayout(o.paper), o.dpi);
    out << o.out << ": " << reportPageCount(report) << " páginas\n";
    return kOk;
}

} // namespace

int print(const QStringList& args, QTextStream& out, QTextStream& err)
{
    PrintOptions o;
    const QString problem = parse(args, o);
    if (!problem.isEmpty()) {
        err << "esfuerzo-cli: " << problem << " (esfuerzo-cli --help)\n";
        return kUsage;
    }
    if (o.file.endsWith(QLatin1String(".inf"), Qt::CaseInsensitive)) {
        if (!QFileInfo(o.file).isFile()) {
            err << "esfuerzo-cli: No hay ningún informe editado para el estudio\n";
            return kBadFile;
        }
        writePhysicianReportPdf(o.file, o.out, o.dpi);
        out << o.out << ": informe del médico\n";
        return kOk;
    }
    if (o.patient.isEmpty()) {
        err << "esfuerzo-cli: falta --patient ARCHIVO.DAT (esfuerzo-cli --help)\n";
        return kUsage;
    }
    return printStudy(o, out, err);
}

} // namespace esf::cli

// The main window's printing: "Imprimir" and "Impresora...".
#include "app/TZuvudezidedFrm.h"

#include "common/FileError.h"
#include "common/FileNames.h"
#include "records/StudyFile.h"
#include "report/GeneralData.h"
#include "report/GraphicReport.h"
#include "report/PrintDrawing.h"
#include "report/ReportPdf.h"
#include "report/RtfCodec.h"
#include "report/TInformfrm.h"
#include "report/TOKImpDlg.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>

namespace esf {
namespace {

const QString kNoReportText = QStringLiteral("No hay ningún informe editado para el estudio");
const QString kNoRecordsText = QStringLiteral(
    "El estudio todavía no tiene ningún registro grabado: no hay nada que imprimir.");
constexpr int kPdfDpi = 600;

QString savedText(const QString& path)
{
    return QStringLiteral("El informe se guardó en ") + QDir::toNativeSeparators(path);
}

} // namespace

QPrinter& TZuvudezidedFrm::printer()
{
    if (!m_printer)
        m_printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void TZuvudezidedFrm::ImpresoramnuClick()
{
    QPrintDialog dialog(&printer(), this);
    dialog.setWindowTitle(QStringLiteral("Impresora"));
    // Only the choice is kept here; printing starts from "Imprimir".
    runModal([&] { dialog.exec(); });
}

void TZuvudezidedFrm::ImprimirmnuClick()
{
    if (m_session.studyFileName.isEmpty()) {
        runModal([&] { m_services.messages->information(this, kNoRecordsText); });
        return;
    }
    if (!runModal([&] { return OKImpDlg->Execute(); }))
        return;
    if (OKImpDlg->TablasCk->isChecked())
        printGraphicReport();
    if (OKImpDlg->InformeCk->isChecked()) {
        const QString inf =
            resolveCaseInsensitive(QDir(m_workDir), reportFileName(m_session.studyFileName));
        if (!QFileInfo(inf).isFile())
            runModal([&] { m_services.messages->notice(this, kNoReportText); });
        else
            printPhysicianReport(inf);
    }
}

void TZuvudezidedFrm::printPhysicianReport(const QString& infPath)
{
    // Printed from the file as saved; the editor keeps whatever it shows, unsaved edits too.
    QPrinter& out = printer();
    const bool toPdf = out.outputFormat() == QPrinter::PdfFormat;
    if (!toPdf && !QPrinterInfo::availablePrinterNames().isEmpty()) {
        QTextDocument doc;
        try {
            loadReportFile(infPath, doc);
        } catch (const FileError& e) {
            showError(e.message());
            return;
        }
        out.setDocName(kReportPrintTitle);
        doc.print(&out);
        return;
    }
    // No printer: a PDF beside the graphic report's, so the second job never overwrites it.
    const QString base = toPdf && !out.outputFileName().isEmpty()
                             ? QFileInfo(out.outputFileName()).absolutePath()
                             : m_workDir;
    QString path =
        QDir(base).filePath(QFileInfo(infPath).completeBaseName() + QStringLiteral("-informe.pdf"));
    path = runModal([&] {
        return m_services.files->saveFile(this,
                                          QStringLiteral("Guardar el informe del médico como PDF"),
                                          path, QStringLiteral("PDF (*.pdf)"));
    });
    if (path.isEmpty())
        return;
    try {
        writePhysicianReportPdf(infPath, path, kPdfDpi);
    } catch (const FileError& e) {
        showError(e.message());
        return;
    }
    runModal([&] { m_services.messages->information(this, savedText(path)); });
}

void TZuvudezidedFrm::printGraphicReport()
{
    const QDir dir(m_workDir);
    ReportInputs in;
    in.patient = m_currentPatient;
    in.patientVersion = m_session.patientVersion;
    in.studyDate = m_session.studyDate;
    in.selection = m_run.printSelection;
    in.units = m_units;
    in.formula = m_config.maxHRFormula;
    in.userMaxHR = m_userMaxHR;
    in.today = m_services.today();
    GraphicReport report;
    try {
        in.general = readGeneralData(resolveCaseInsensitive(dir, kGeneralDataFileName));
        report = buildGraphicReport(in, readPrintedStudy(dir.filePath(m_session.studyFileName),
                                                         in.patientVersion, in.selection));
        if (OKImpDlg->ResumenCk->isEnabled() && OKImpDlg->ResumenCk->isChecked())
            report.summary = clinicalSummaryRows();
    } catch (const FileError& e) {
        showError(e.message());
        return;
    }

    // A missing logo is no error; one that cannot be read is reported and left out.
    QImage logo;
    const QString logoPath = report.logoPath.isEmpty() ? QString() : dir.filePath(report.logoPath);
    if (!logoPath.isEmpty() && QFileInfo::exists(logoPath)) {
        QString problem;
        logo = loadLogo(logoPath, problem);
        if (logo.isNull())
            runModal([&] {
                m_services.messages->warning(
                    this, QStringLiteral("No se pudo leer el logo %1 (%2). El informe se imprime "
                                         "sin el logo.")
                              .arg(QDir::toNativeSeparators(logoPath), problem));
            });
    }

    QPrinter& out = printer();
    const bool toPdf = out.outputFormat() == QPrinter::PdfFormat;
    const bool hasPrinter = !toPdf && !QPrinterInfo::availablePrinterNames().isEmpty();
    if (hasPrinter) {
        out.setDocName(m_session.studyFileName);
        QPainter painter;
        if (!painter.begin(&out)) {
            showError(
                QStringLiteral("No se pudo comenzar la impresión en %1.").arg(out.printerName()));
            return;
        }
        const QRect page = out.pageLayout().paintRectPixels(out.resolution());
        const bool done = PrintGraphicReport(painter, pageGeometry(page.width(), page.height()),
                                             report, logo, [&] { return out.newPage(); });
        if (!done)
            out.abort(); // nothing of a half report reaches the paper
        painter.end();
        if (!done)
            showError(QStringLiteral("La impresora %1 no aceptó una página nueva: la impresión se "
                                     "canceló.")
                          .arg(out.printerName()));
        return;
    }

    // No printer: the report becomes a PDF, in the file "Impresora..." named or one asked now.
    QString path = toPdf ? out.outputFileName() : QString();
    const bool chosenPdf = !path.isEmpty();
    if (!chosenPdf) {
        const QString suggested = dir.filePath(
            QFileInfo(m_session.studyFileName).completeBaseName() + QStringLiteral(".pdf"));
        path = runModal([&] {
            return m_services.files->saveFile(this, QStringLiteral("Guardar el informe como PDF"),
                                              suggested, QStringLiteral("PDF (*.pdf)"));
        });
        if (path.isEmpty())
            return;
    }
    const QPageLayout layout = chosenPdf ? out.pageLayout() : reportPageLayout(QPageSize::A4);
    try {
        writeReportPdf(path, report, logo, layout, chosenPdf ? out.resolution() : kPdfDpi);
    } catch (const FileError& e) {
        showError(e.message());
        return;
    }
    runModal([&] { m_services.messages->information(this, savedText(path)); });
}

} // namespace esf

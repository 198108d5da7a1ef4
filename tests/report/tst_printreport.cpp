#include "TestSupport.h"
#include "app/TZuvudezidedFrm.h"
#include "common/BinaryIO.h"
#include "common/Rounding.h"
#include "records/PatientFile.h"
#include "records/TAbrirEstfrm.h"
#include "records/TAbrirPacfrm.h"
#include "records/TEstudioExistFrm.h"
#include "report/PrintDrawing.h"
#include "report/ReportPdf.h"
#include "report/TInformfrm.h"
#include "report/TOKImpDlg.h"
#include "report/TResumenDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPainter>
#include <QPrinterInfo>
#include <QTableWidget>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

// The drawing of the graphic report on an image, its PDF through the command line, and
// "Imprimir" in the main window.
class TestPrintReport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void pdfPageIsThePrintablePage();
    void gridAndClampedDrawing();
    void pagesBreakAfterTheFifthBand();
    void pdfHoldsTheTextsAndPages();
    void imprimirWritesAPdfWithoutAPrinter();
    void summaryIsShownCopiedExportedAndPrinted();

private:
    void writeStudy(int records);
    QString path(const QString& name) const { return m_work->path(name); }
    std::optional<WorkFolder> m_work;
};

void TestPrintReport::init()
{
    m_work.emplace();
}

void TestPrintReport::cleanup()
{
    m_work.reset();
}

// Patient 00000012.DAT with study 0012_001.est: treadmill, one record a minute.
void TestPrintReport::writeStudy(int records)
{
    writePatientHeader(path(u"00000012.DAT"_s), {u"Ana"_s, u"Peña"_s, 160, u"01/01/1970"_s, 0}, 1);
    QFile pf(path(u"00000012.DAT"_s));
    QVERIFY(pf.open(QIODevice::Append));
    LeWriter pw(pf, pf.fileName());
    pw.str(u"0012_001.est"_s, 12);
    pw.str(u"05/12/2026"_s, 10);
    pf.close();

    ProtocolRecord p = ProtocolRecord::cleared();
    p.name = u"BRUCE"_s;
    p.device = Device::Cinta;
    p.stageCount = 3;
    p.stages[2] = {3, StageType::Ejercicio, 180, 0.0f, 5.5f, 2.7f};
    QFile f(path(u"0012_001.est"_s));
    QVERIFY(f.open(QIODevice::WriteOnly));
    LeWriter w(f, f.fileName());
    writeProtocol(w, p);
    for (int i = 1; i <= records; ++i) {
        StageRecord r;
        r.stage = 3;
        r.elapsed = 60 * i;
        r.systolic = 280;
        r.diastolic = 40;
        r.heartRate = 120;
        for (auto& lead : r.strip)
            lead.assign(2001, (i % 2) ? 200 : -200);
        writeStageRecord(w, r, true);
    }
    writeFile(path(u"Datosgen.txt"_s),
              "Cl\xednica del Sol\r\nCalle 1\r\n(011)12345678\r\nDr. Paz\r\n"
              "[Kgm]\r\n[mmHg]\r\n[Km/h]\r\n[Lpm]\r\n[%]\r\nlogo.png\r\n");
    writeFile(path(u"logo.png"_s), "not a picture");
}

void TestPrintReport::pdfPageIsThePrintablePage()
{
    // The sizes the geometry table of the logic tests starts from.
    QCOMPARE(reportPageLayout(QPageSize::A4).paintRectPixels(300).size(), QSize(2363, 3392));
    QCOMPARE(reportPageLayout(QPageSize::A4).paintRectPixels(600).size(), QSize(4724, 6783));
    QCOMPARE(reportPageLayout(QPageSize::Letter).paintRectPixels(600).size(), QSize(4866, 6366));
}

void TestPrintReport::gridAndClampedDrawing()
{
    QImage img(400, 400, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    DrawPrintGrid(p, {0, 0, 350, 100}, 10, 35, GridMode::Fine);
    // A sample far above the band stays on its top edge.
    std::array<std::vector<std::int32_t>, kLeadCount> leads;
    leads[0].assign(2001, 100000);
    DrawStripTraces(p, {0, 200, 350, 300}, leads, Qt::red);
    const PlotScale rate{0, 300, 100, 400, 0, 4, 20.0, 220.0};
    PrintTrendSegment(p, rate, 0, Qt::blue, 0, 0, 60, 120);
    p.end();
    QCOMPARE(img.pixelColor(0, 55), QColor(Qt::black)); // frame
    QCOMPARE(img.pixelColor(100, 55), kPrintGridColor); // tenth of 35 columns
    QCOMPARE(img.pixelColor(102, 55), kPrintGridColor); // fine line at a fifth
    QCOMPARE(img.pixelColor(105, 55), QColor(Qt::white));
    QCOMPARE(img.pixelColor(200, 200), QColor(Qt::red)); // clamped to the top
    QCOMPARE(img.pixelColor(200, 199), QColor(Qt::white));
    QCOMPARE(img.pixelColor(1, 399), QColor(Qt::blue)); // from (0, 20), the minimum
}

void TestPrintReport::pagesBreakAfterTheFifthBand()
{
    GraphicReport r;
    r.table = {stageTableHeader()};
    for (int i = 1; i <= 11; ++i)
        r.points.append({60 * i, 120, 80, 100, 12000, 5});
    for (int record : {2, 5, 7})
        r.strips.append({record, u"t"_s, {}});
    QImage img(850, 1100, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    int pages = 1;
    QList<QImage> seen;
    QVERIFY(PrintGraphicReport(p, pageGeometry(850, 1100), r, {}, [&] {
        seen.append(img.copy());
        img.fill(Qt::white);
        ++pages;
        return true;
    }));
    p.end();
    QCOMPARE(pages, 2);
    const PageGeometry g = pageGeometry(850, 1100);
    // Page 1: strips in bands 3 and 4; page 2 starts its first band at 0.1U.
    QCOMPARE(seen[0].pixelColor(g.stripLeft, 3 * g.unit + 5), QColor(Qt::black));
    QCOMPARE(seen[0].pixelColor(g.stripLeft, 4 * g.unit + 5), QColor(Qt::black));
    QCOMPARE(img.pixelColor(g.stripLeft, roundShare(0.1, g.unit) + 5), QColor(Qt::black));
    QCOMPARE(img.pixelColor(g.stripLeft, roundShare(0.1, g.unit) - 5), QColor(Qt::white));
    // A device that refuses the new page ends the report there.
    QPainter again(&img);
    QVERIFY(!PrintGraphicReport(again, g, r, {}, [] { return false; }));
}

void TestPrintReport::pdfHoldsTheTextsAndPages()
{
    if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    writeStudy(11);
    QProcess cli;
    cli.start(QStringLiteral(ESF_CLI_PATH),
              {u"print"_s, path(u"0012_001.est"_s), u"--patient"_s, path(u"00000012.DAT"_s),
               u"--select"_s, u"1,4,9"_s, u"--dpi"_s, u"300"_s, u"--out"_s, path(u"r.pdf"_s)});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(cli.readAllStandardError().contains("logo")); // unreadable logo: reported, left out
    QProcess text;
    text.start(u"pdftotext"_s, {u"-layout"_s, path(u"r.pdf"_s), u"-"_s});
    QVERIFY(text.waitForFinished(60000));
    const QString all = QString::fromUtf8(text.readAllStandardOutput());
    const QStringList pages = all.split(u'\f', Qt::SkipEmptyParts);
    QCOMPARE(pages.size(), 2);
    for (const char* expected :
         {"Institución: Clínica del Sol", "Estudio Ergométrico", "Fecha:05/12/2026",
          "Protocolo: BRUCE", "Paciente: Peña, Ana", "Medico: Dr. Paz", "P.art[mmHg]", "ITT x1000",
          "Pendiente[%]", "3º[11:00]", "280 [mmHg]", "05.5 [%]", "02.7 [Km/h]", "Página 1",
          "3º Etapa: 01:00(Automático)", "(Ejercicio)"})
        QVERIFY2(pages[0].contains(QString::fromUtf8(expected)), expected);
    QVERIFY(pages[1].contains(u"Página 2"_s));
    QVERIFY(pages[1].contains(u"3º Etapa: 09:00"_s));

    // A bad selection is a usage error; a missing report file says so.
    cli.start(QStringLiteral(ESF_CLI_PATH),
              {u"print"_s, path(u"0012_001.est"_s), u"--patient"_s, path(u"00000012.DAT"_s),
               u"--select"_s, u"51"_s, u"--out"_s, path(u"x.pdf"_s)});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 2);
    cli.start(QStringLiteral(ESF_CLI_PATH),
              {u"print"_s, path(u"0012_001.INF"_s), u"--out"_s, path(u"x.pdf"_s)});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 1);
    QVERIFY(QString::fromUtf8(cli.readAllStandardError())
                .contains(u"No hay ningún informe editado para el estudio"_s));
    QVERIFY(!QFile::exists(path(u"x.pdf"_s)));

    writeFile(path(u"0012_001.INF"_s), "{\\rtf1\\ansi\\ansicpg1252 Conclusi\\'f3n: normal.\\par}");
    cli.start(QStringLiteral(ESF_CLI_PATH),
              {u"print"_s, path(u"0012_001.INF"_s), u"--out"_s, path(u"inf.pdf"_s)});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    text.start(u"pdftotext"_s, {path(u"inf.pdf"_s), u"-"_s});
    QVERIFY(text.waitForFinished(60000));
    QVERIFY(QString::fromUtf8(text.readAllStandardOutput()).contains(u"Conclusión: normal."_s));
}

void TestPrintReport::imprimirWritesAPdfWithoutAPrinter()
{
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        QSKIP("a printer is installed: the report would go to it");
    writeStudy(2);
    auto messages = std::make_shared<FakeMessages>();
    Services s = fakeServices(messages);
    auto files = std::make_shared<FakeFiles>();
    s.files = files;
    TZuvudezidedFrm w(s);
    w.FormActivate();
    whenShown([&] {
        w.AbrirPacfrm->ListPac->setCurrentRow(0);
        w.AbrirPacfrm->OKBtn->click();
    });
    w.PacExistentemnu->trigger();
    whenShown([&] {
        w.AbrirEstfrm->ListEst->setCurrentRow(0);
        w.AbrirEstfrm->OKBtn->click();
        QTimer::singleShot(0, &w, [&] {
            QTRY_VERIFY(w.EstudioExistFrm->isVisible());
            w.EstudioExistFrm->OkBut->click();
        });
    });
    w.EstudioExistmnu->trigger();
    QVERIFY(w.Imprimirmnu->isEnabled());
    messages->shown.clear();

    files->answers = {path(u"salida.pdf"_s)};
    whileShown(*w.OKImpDlg, [&] {
        QCOMPARE(w.OKImpDlg->windowTitle(), u"Imprimir"_s);
        w.OKImpDlg->TablasCk->setChecked(true);
        w.OKImpDlg->InformeCk->setChecked(true);
        w.OKImpDlg->OKBtn->click();
    });
    w.ImprimirmnuClick();
    QCOMPARE(files->asked.value(0),
             u"save|Guardar el informe como PDF|"_s + path(u"0012_001.pdf"_s) + u"|PDF (*.pdf)"_s);
    QVERIFY(readFile(path(u"salida.pdf"_s)).startsWith("%PDF"));
    const QStringList boxes = messages->lines();
    QCOMPARE(boxes.size(), 3);
    QVERIFY(boxes[0].startsWith(u"warning: No se pudo leer el logo "_s));
    QCOMPARE(boxes[1], u"info: El informe se guardó en "_s + path(u"salida.pdf"_s));
    QCOMPARE(boxes[2], u"info: No hay ningún informe editado para el estudio"_s);

    // The boxes keep their state; cancelling prints nothing.
    messages->shown.clear();
    whileShown(*w.OKImpDlg, [&] {
        QVERIFY(w.OKImpDlg->TablasCk->isChecked() && w.OKImpDlg->InformeCk->isChecked());
        w.OKImpDlg->CancelBtn->click();
    });
    w.ImprimirmnuClick();
    QVERIFY(messages->shown.isEmpty());

    // The physician's report, once written, goes to a PDF of its own beside the study.
    writeFile(path(u"0012_001.INF"_s), "{\\rtf1\\ansi Hallazgos: sin cambios del ST.\\par}");
    files->asked.clear();
    files->answers = {path(u"medico.pdf"_s)};
    whileShown(*w.OKImpDlg, [&] {
        w.OKImpDlg->TablasCk->setChecked(false);
        w.OKImpDlg->OKBtn->click();
    });
    w.ImprimirmnuClick();
    QCOMPARE(files->asked.value(0), u"save|Guardar el informe del médico como PDF|"_s +
                                        path(u"0012_001-informe.pdf"_s) + u"|PDF (*.pdf)"_s);
    QVERIFY(readFile(path(u"medico.pdf"_s)).startsWith("%PDF"));
    QCOMPARE(messages->lines().last(), u"info: El informe se guardó en "_s + path(u"medico.pdf"_s));
}

void TestPrintReport::summaryIsShownCopiedExportedAndPrinted()
{
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        QSKIP("a printer is installed: the report would go to it");
    writeStudy(3);
    auto messages = std::make_shared<FakeMessages>();
    Services s = fakeServices(messages);
    auto files = std::make_shared<FakeFiles>();
    s.files = files;
    TZuvudezidedFrm w(s);
    w.FormActivate();
    QVERIFY(!w.ResumenClinicomnu->isEnabled());
    whenShown([&] {
        w.AbrirPacfrm->ListPac->setCurrentRow(0);
        w.AbrirPacfrm->OKBtn->click();
    });
    w.PacExistentemnu->trigger();
    // The review exports the strips; then the study is current.
    files->answers = {path(u"tiras.edf"_s)};
    whenShown([&] {
        w.AbrirEstfrm->ListEst->setCurrentRow(0);
        w.AbrirEstfrm->OKBtn->click();
        QTimer::singleShot(0, &w, [&] {
            QTRY_VERIFY(w.EstudioExistFrm->isVisible());
            w.EstudioExistFrm->ExportarEDFClick();
            w.EstudioExistFrm->OkBut->click();
        });
    });
    w.EstudioExistmnu->trigger();
    QCOMPARE(files->asked.value(0),
             u"save|Exportar EDF+|"_s + path(u"0012_001.edf"_s) + u"|EDF+ (*.edf)"_s);
    QCOMPARE(readFile(path(u"tiras.edf"_s)).mid(192, 5), "EDF+C");
    QVERIFY(w.ResumenClinicomnu->isEnabled());

    // Angina chosen as limiting stays for the copy; the copy lands in the study's report.
    whenShown([&] {
        TResumenDlg& d = *w.ResumenDlg;
        QCOMPARE(d.ResumenGrd->item(0, 0)->text(), u"FC de reposo"_s);
        QCOMPARE(d.ResumenGrd->item(0, 1)->text(), u"120 [Lpm]"_s);
        d.AnginaCmb->setCurrentIndex(2);
        d.CopiarBut->click();
        d.CerrarBut->click();
    });
    w.ResumenClinicomnu->trigger();
    QCOMPARE(w.ResumenDlg->anginaIndex(), 2);
    QVERIFY(w.Informfrm->isVisible());
    const QString text = w.Informfrm->InfEd->toPlainText();
    QVERIFY2(text.contains(u"Resumen clínico\nDato\tValor\tAlerta\nFC de reposo\t120 [Lpm]\t"_s),
             qPrintable(text));

    // The summary page follows the graphic report, and only with it.
    messages->shown.clear();
    files->answers = {path(u"con-resumen.pdf"_s)};
    whileShown(*w.OKImpDlg, [&] {
        w.OKImpDlg->TablasCk->setChecked(false);
        QVERIFY(!w.OKImpDlg->ResumenCk->isEnabled());
        w.OKImpDlg->TablasCk->setChecked(true);
        w.OKImpDlg->ResumenCk->setChecked(true);
        w.OKImpDlg->InformeCk->setChecked(false);
        w.OKImpDlg->OKBtn->click();
    });
    w.ImprimirmnuClick();
    if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QProcess pdf;
    pdf.start(u"pdftotext"_s, {path(u"con-resumen.pdf"_s), u"-"_s});
    QVERIFY(pdf.waitForFinished(60000));
    const QStringList pages =
        QString::fromUtf8(pdf.readAllStandardOutput()).split(u'\f', Qt::SkipEmptyParts);
    QCOMPARE(pages.size(), 2);
    for (const QString& expected :
         {u"Estudio Ergométrico"_s, u"Resumen clínico"_s, u"Puntaje de Duke"_s, u"Página 2"_s})
        QVERIFY2(pages[1].contains(expected), qPrintable(expected));
}

QTEST_MAIN(TestPrintReport)
#include "tst_printreport.moc"

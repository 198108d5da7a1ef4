#include "Fixtures.h"
#include "TestSupport.h"
#include "app/TZuvudezidedFrm.h"
#include "records/TAbrirEstfrm.h"
#include "records/TAbrirPacfrm.h"
#include "records/TEstudioExistFrm.h"
#include "report/RtfCodec.h"
#include "report/TInformfrm.h"
#include "report/TOKDatosDlg.h"
#include "report/TOKImpDlg.h"
#include "report/TResumenDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QTextDocument>
#include <QToolButton>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kFile =
    "Cl\xEDnica Ca\xF1uelas\r\nAv. Mitre 12\r\n(011)4567 890\r\nDra. P\xE9rez\r\n"
    "[Wats]\r\nccH2O\r\n[Km/h]\r\n[Lpm]\r\n[Grad]\r\n/srv/logo.bmp\r\n";

} // namespace

// General data dialog, report editor and printing, with their files and boxes through the seams.
class TestReportWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void generalDataDialogFlow()
    {
        TOKDatosDlg dlg(*m_messages);
        // Without a file: empty fields but the telephone mask; the logo button fills its line,
        // a cancelled picture dialog leaves it.
        QString answer = u"/srv/imágenes/logo.bmp"_s;
        QStringList asked;
        dlg.pickPicture = [&](QWidget* owner, const QString& folder, const QString& filters) {
            asked << folder << filters.section(u";;"_s, 0, 0);
            return owner == &dlg ? answer : QString();
        };
        whileShown(dlg, [&] {
            click(dlg.LogoBut);
            answer.clear();
            click(dlg.LogoBut);
            click(dlg.OKBtn);
        });
        QVERIFY(dlg.EditGeneralData(dir()));
        QCOMPARE(asked.mid(0, 2), (QStringList{QDir::currentPath(),
                                               u"All (*.jpg *.jpeg *.bmp *.ico *.emf *.wmf)"_s}));
        QCOMPARE(readFile(file()), "\r\n\r\n(   )        " + QByteArray("\r\n").repeated(7) +
                                       "/srv/im\xE1genes/logo.bmp\r\n");

        // Cancel writes nothing. A file of any case is read, its lines past the tenth ignored.
        QVERIFY(QFile::remove(file()));
        const QString upper = m_work->path(u"DATOSGEN.TXT"_s);
        writeFile(upper, kFile + QByteArray(4000, 'x'));
        whileShown(dlg, [&] {
            typeInto(dlg.MedicoTxt, u"Dr. Otro"_s);
            click(dlg.CancelBtn);
        });
        QVERIFY(!dlg.EditGeneralData(dir()));
        QCOMPARE(readFile(upper), kFile + QByteArray(4000, 'x'));

        // The file fills the fields; what is typed replaces it whole, in its own name.
        whileShown(dlg, [&] {
            typeInto(dlg.InstTxt, u"Sanatorio Ñandú"_s);
            // Digits fill the first open positions; the rest stay blank.
            dlg.TelTxt->clear();
            dlg.TelTxt->setFocus();
            dlg.TelTxt->home(false);
            QTest::keyClicks(dlg.TelTxt, u"0221"_s);
            typeInto(dlg.PresUnBox->lineEdit(), u"mmHg"_s);
            dlg.VelUnBox->setCurrentIndex(2);
            click(dlg.OKBtn);
        });
        QVERIFY(dlg.EditGeneralData(dir()));
        QVERIFY(!QFile::exists(file()));
        QCOMPARE(readFile(upper), QByteArray("Sanatorio \xD1"
                                             "and\xFA\r\nAv. Mitre 12\r\n(022)1       \r\n"
                                             "Dra. P\xE9rez\r\n[Wats]\r\nmmHg\r\n[Milla/h]\r\n"
                                             "[Lpm]\r\n[Grad]\r\n/srv/logo.bmp\r\n"));

        // A folder in the file's place can be neither read nor replaced: the boxes name it, the
        // fields keep their texts and the dialog stays.
        QVERIFY(QFile::remove(upper) && dir().mkdir(kGeneralDataFileName));
        QString inst;
        bool stayed = false;
        whileShown(dlg, [&] {
            QTRY_COMPARE(m_messages->count(u"error"_s), 1);
            inst = dlg.InstTxt->text();
            click(dlg.OKBtn);
            stayed = dlg.isVisible();
            click(dlg.CancelBtn);
        });
        QVERIFY(!dlg.EditGeneralData(dir()));
        QCOMPARE(inst, u"Sanatorio Ñandú"_s);
        QVERIFY(stayed);
        QCOMPARE(m_messages->count(u"error"_s), 2);
        for (const auto& b : m_messages->shown)
            QVERIFY2(b.text.contains(kGeneralDataFileName), qPrintable(b.text));
    }

    void init()
    {
        m_work.emplace();
        m_messages = std::make_shared<FakeMessages>();
        m_services = fakeServices(m_messages);
        m_files = std::static_pointer_cast<FakeFiles>(m_services.files);
        m_form = std::make_unique<TInformfrm>(m_services);
        writeReport(u"informe.rtf"_s, "Plantilla");
    }
    void cleanup()
    {
        m_form.reset();
        m_work.reset();
    }

    void loadsTheReportElseTheTemplateElseSaysSo()
    {
        QVERIFY(open(u"0012_003.est"_s));
        QCOMPARE(m_form->windowTitle(), u"Informe: Peña, Ana"_s);
        QCOMPARE(text(), u"Plantilla"_s);

        // Another study without report or template starts empty, never with the last one's text.
        QFile::remove(m_work->path(u"informe.rtf"_s));
        QVERIFY(open(u"0013_001.est"_s));
        QCOMPARE(m_messages->lines(), {u"info: No se encontró archivo de informe relacionado"_s});
        QCOMPARE(text(), QString());

        writeReport(u"0012_003.inf"_s, "Informe \\'e9ste"); // found whatever its case
        QVERIFY(open(u"0012_003.est"_s));
        QCOMPARE(text(), u"Informe éste"_s);
        QVERIFY(!m_form->InfEd->document()->isModified());

        QVERIFY(!open(u"../0013_001.est"_s));
        QCOMPARE(m_form->reportFile(), u"0012_003.INF"_s);
        // A report that cannot be read gives the error box (nothing is readable at address 0).
        QVERIFY(QFile::link(u"/proc/self/mem"_s, m_work->path(u"0014_001.INF"_s)));
        QVERIFY(open(u"0014_001.est"_s));
        QCOMPARE(m_messages->count(u"error"_s), 2);
        QCOMPARE(text(), QString());
    }
    void unsavedEditsSurviveUntilSalirAsks()
    {
        QVERIFY(open(u"0012_003.est"_s));
        m_form->InfEd->textCursor().insertText(u"Hallazgo: "_s);
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(m_form.get(), &activate);
        QCOMPARE(text(), u"Hallazgo: Plantilla"_s);

        m_messages->answers = {false};
        m_form->SalirTBtn->trigger();
        QVERIFY(!m_form->isVisible());
        QCOMPARE(m_messages->lines(), {u"confirm: Desea guardar el informe?"_s});
        QCOMPARE(m_messages->titles, {u"Informe"_s});
        QVERIFY(!QFile::exists(m_work->path(u"0012_003.INF"_s)));

        QVERIFY(open(u"0012_003.est"_s));
        QCOMPARE(text(), u"Plantilla"_s);
        m_form->InfEd->textCursor().insertText(u"Conclusión: "_s);
        m_messages->answers = {true};
        m_form->SalirTBtn->trigger();
        QVERIFY(!m_form->isVisible());
        QCOMPARE(saved(u"0012_003.INF"_s), u"Conclusión: Plantilla"_s);

        // Choosing the template while the report has unsaved edits asks first.
        QVERIFY(open(u"0012_003.est"_s));
        m_form->InfEd->textCursor().insertText(u"Más. "_s);
        m_messages->answers = {true};
        QVERIFY(open(QString(), true));
        QCOMPARE(saved(u"0012_003.INF"_s), u"Más. Conclusión: Plantilla"_s);
        QCOMPARE(text(), u"Plantilla"_s);

        // A folder where the report should go: no file can replace it, even for root. The text
        // and the window stay, also when another study is opened.
        QVERIFY(QDir(m_work->dir()).mkdir(u"0012_004.INF"_s));
        QVERIFY(open(u"0012_004.est"_s));
        m_form->InfEd->textCursor().insertText(u"Hallazgo. "_s);
        m_messages->shown.clear();
        m_form->SalirTBtn->trigger();
        QVERIFY(m_form->isVisible());
        QVERIFY2(m_messages->shown.last().text.startsWith(u"Error de "_s),
                 qPrintable(m_messages->shown.last().text));
        QVERIFY(!open(u"0012_005.est"_s));
        QVERIFY(!m_form->SaveButtonClick());
        QCOMPARE(m_messages->count(u"error"_s), 3);
        QCOMPARE(m_form->reportFile(), u"0012_004.INF"_s);
        QCOMPARE(text(), u"Hallazgo. Plantilla"_s);
        QVERIFY(m_form->InfEd->document()->isModified());
    }
    void templateSaveAndFileOpen()
    {
        QVERIFY(open(QString(), true));
        m_form->InfEd->textCursor().insertText(u"Nueva "_s);
        m_files->answers = {QString()};
        m_form->SaveButton->trigger();
        QCOMPARE(saved(u"informe.rtf"_s), u"Plantilla"_s);
        QVERIFY(m_form->InfEd->document()->isModified());
        QCOMPARE(m_files->asked.last(), u"save|Guardar como|"_s + m_work->path(u"Informe"_s) +
                                            u"|Archivo de Texto (*.RTF)"_s);

        m_files->answers = {m_work->path(u"Informe"_s)};
        m_form->SaveButton->trigger();
        QCOMPARE(saved(u"informe.rtf"_s), u"Nueva Plantilla"_s); // not a new "Informe.rtf"
        QVERIFY(!m_form->InfEd->document()->isModified());

        // Abrir loads a text into the study's report without changing its file.
        QVERIFY(open(u"0012_003.est"_s));
        writeFile(m_work->path(u"nota.TXT"_s), "Tensi\xf3n normal\r\n");
        m_files->answers = {m_work->path(u"nota.TXT"_s)};
        m_form->ToolButton1->trigger();
        QCOMPARE(m_files->asked.last(),
                 u"open|Abrir|"_s + m_work->dir() +
                     u"|Archivo Texto c/Formato (*.RTF);;Archivo Texto (*.TXT);;"
                     "Archivo Informe(*.INF)"_s);
        QCOMPARE(text(), u"Tensión normal\n"_s);
        QVERIFY(!m_form->InfEd->document()->isModified());
        QVERIFY(m_form->SaveButtonClick());
        QCOMPARE(saved(u"0012_003.INF"_s), u"Tensión normal\n"_s);
        // A cancelled dialog or a folder leaves the text as it is.
        m_files->answers = {QString(), m_work->dir()};
        m_form->ToolButton1->trigger();
        m_form->ToolButton1->trigger();
        QCOMPARE(m_messages->count(u"error"_s), 1);
        QCOMPARE(text(), u"Tensión normal\n"_s);
    }
    void toolbarFollowsAndFormatsTheSelection()
    {
        writeReport(u"0012_003.INF"_s, "\\fs28\\b Negrita\\b0  normal");
        QVERIFY(open(u"0012_003.est"_s));
        QTextCursor c = m_form->InfEd->textCursor();
        c.setPosition(1);
        c.setPosition(4, QTextCursor::KeepAnchor);
        m_form->InfEd->setTextCursor(c);
        m_form->SelectionChange();
        QVERIFY(m_form->BoldButton->isChecked());
        QCOMPARE(m_form->FontSize->text(), u"14"_s);
        QVERIFY(!m_form->InfEd->document()->isModified()); // following did not touch the text

        m_form->BoldButton->trigger(); // now up: the selection loses bold
        QTest::mouseClick(m_form->UpDown1->up, Qt::LeftButton);
        QCOMPARE(m_form->FontSize->text(), u"15"_s);
        const QTextCharFormat f = m_form->InfEd->textCursor().charFormat();
        QCOMPARE(f.fontWeight(), int(QFont::Normal));
        QCOMPARE(f.fontPointSize(), 15.0);
        for (const QString& size : {QString(), u"0"_s, u"12a"_s})
            m_form->FontSize->setText(size);
        QCOMPARE(m_messages->lines(), {u"error: '12a' no es un valor entero válido"_s});
        QCOMPARE(m_form->InfEd->textCursor().charFormat().fontPointSize(), 15.0);

        // A font name typed in any case picks the installed one; an unknown name is put back.
        m_form->ItalicButton->trigger();
        m_form->UnderlineButton->trigger();
        const QString family = m_form->FontName->itemText(1);
        for (const QString& typed : {family.toLower(), u"Ninguna Fuente"_s}) {
            m_form->FontName->lineEdit()->setText(typed);
            QTest::keyClick(m_form->FontName->lineEdit(), Qt::Key_Return);
        }
        QCOMPARE(m_form->FontName->currentText(), family);
        const QTextCharFormat g = m_form->InfEd->textCursor().charFormat();
        QVERIFY(g.fontItalic() && g.fontUnderline());
        // A click shows the format where it lands.
        QTest::mouseClick(m_form->InfEd->viewport(), Qt::LeftButton, {}, {2, 2});
        QVERIFY(m_form->BoldButton->isChecked() && !m_form->ItalicButton->isChecked());
        QCOMPARE(m_form->FontName->currentText(), u"Arial"_s);

        // Copy, paste, cut and undo act on the text.
        m_form->InfEd->setTextCursor(c);
        m_form->CopyButton->trigger();
        m_form->InfEd->moveCursor(QTextCursor::End);
        m_form->PasteButton->trigger();
        QCOMPARE(text(), u"Negrita normalegr"_s);
        m_form->InfEd->setTextCursor(c);
        m_form->CutButton->trigger();
        QCOMPARE(text(), u"Nita normalegr"_s);
        m_form->UndoButton->trigger();
        QCOMPARE(text(), u"Negrita normalegr"_s);
    }
    void printingSummaryAndExportWithoutAPrinter()
    {
        if (!QPrinterInfo::availablePrinterNames().isEmpty())
            QSKIP("a printer is installed: the report would go to it");
        writeStudy(2);
        TZuvudezidedFrm w(m_services);
        w.FormActivate();
        whenShown([&] {
            w.AbrirPacfrm->ListPac->setCurrentRow(0);
            w.AbrirPacfrm->OKBtn->click();
        });
        w.PacExistentemnu->trigger();
        // Without a study there is no report to name, nor anything to print.
        QVERIFY(!w.ResumenClinicomnu->isEnabled() && !w.VerInformemnu->isEnabled());
        w.ImprimirmnuClick();
        QCOMPARE(m_messages->lines().last(),
                 u"info: El estudio todavía no tiene ningún registro grabado: "
                 "no hay nada que imprimir."_s);
        // After the review the study is current.
        whenShown([&] {
            w.AbrirEstfrm->ListEst->setCurrentRow(0);
            w.AbrirEstfrm->OKBtn->click();
            QTimer::singleShot(0, &w, [&] {
                QTRY_VERIFY(w.EstudioExistFrm->isVisible());
                w.EstudioExistFrm->OkBut->click();
            });
        });
        w.EstudioExistmnu->trigger();
        QVERIFY(w.Imprimirmnu->isEnabled() && w.ResumenClinicomnu->isEnabled());
        m_messages->shown.clear();
        const auto print = [&](bool tables, bool report, bool summary = false) {
            whileShown(*w.OKImpDlg, [&, tables, report, summary] {
                w.OKImpDlg->TablasCk->setChecked(tables);
                w.OKImpDlg->ResumenCk->setChecked(summary);
                w.OKImpDlg->InformeCk->setChecked(report);
                w.OKImpDlg->OKBtn->click();
            });
            w.ImprimirmnuClick();
        };

        m_files->answers = {path(u"salida.pdf"_s)};
        print(true, true);
        QCOMPARE(m_files->asked.value(0), u"save|Guardar el informe como PDF|"_s +
                                              path(u"0012_001.pdf"_s) + u"|PDF (*.pdf)"_s);
        QVERIFY(readFile(path(u"salida.pdf"_s)).startsWith("%PDF"));
        const QStringList boxes = m_messages->lines();
        QVERIFY(boxes.value(0).startsWith(u"warning: No se pudo leer el logo "_s));
        QCOMPARE(boxes.mid(1),
                 (QStringList{u"info: El informe se guardó en "_s + path(u"salida.pdf"_s),
                              u"info: No hay ningún informe editado para el estudio"_s}));

        // The physician's report, once written, goes to a PDF of its own beside the study.
        writeFile(path(u"0012_001.INF"_s), "{\\rtf1\\ansi Hallazgos: sin cambios del ST.\\par}");
        m_files->asked.clear();
        m_files->answers = {path(u"medico.pdf"_s)};
        print(false, true);
        QCOMPARE(m_files->asked.value(0), u"save|Guardar el informe del médico como PDF|"_s +
                                              path(u"0012_001-informe.pdf"_s) + u"|PDF (*.pdf)"_s);
        QVERIFY(readFile(path(u"medico.pdf"_s)).startsWith("%PDF"));
        QCOMPARE(m_messages->lines().last(),
                 u"info: El informe se guardó en "_s + path(u"medico.pdf"_s));

        // A cancelled file dialog skips its document; a missing folder is an error box.
        m_messages->shown.clear();
        m_files->answers = {QString(), path(u"falta/m.pdf"_s), path(u"falta/g.pdf"_s), QString()};
        print(true, true);
        print(true, true);
        QCOMPARE(m_files->asked.size(), 5);
        QCOMPARE(m_messages->count(u"error"_s), 2);

        // Angina chosen as limiting stays for the copy; the copy lands in the study's report.
        whenShown([&] {
            TResumenDlg& d = *w.ResumenDlg;
            d.AnginaCmb->setCurrentIndex(2);
            d.CopiarBut->click();
            d.CerrarBut->click();
        });
        w.ResumenClinicomnu->trigger();
        QCOMPARE(w.ResumenDlg->anginaIndex(), 2);
        QVERIFY(w.Informfrm->isVisible());
        const QString text = w.Informfrm->InfEd->toPlainText();
        QVERIFY2(
            text.contains(u"Resumen clínico\nDato\tValor\tAlerta\nFC de reposo\t120 [Lpm]\t"_s),
            qPrintable(text));

        // The summary page follows the graphic report, and only with it.
        w.OKImpDlg->TablasCk->setChecked(false);
        QVERIFY(!w.OKImpDlg->ResumenCk->isEnabled());
        m_files->answers = {path(u"con-resumen.pdf"_s)};
        print(true, false, true);
        QVERIFY(QFile::rename(path(u"0012_001.est"_s), path(u"otro.est"_s)));
        print(true, false);
        QCOMPARE(m_messages->count(u"error"_s), 3); // the study is gone: no report

        // Leaving the program offers the unsaved template; a failed save keeps both open.
        w.PlantInformemnu->trigger();
        QCOMPARE(w.Informfrm->windowTitle(), u"Informe: Edición de plantillas"_s);
        QCOMPARE(w.Informfrm->InfEd->toPlainText(), u"Plantilla"_s);
        w.Informfrm->InfEd->textCursor().insertText(u"Nueva "_s);
        QVERIFY(QDir(m_work->dir()).mkdir(u"carpeta.rtf"_s));
        m_files->asked.clear();
        m_files->answers = {path(u"carpeta.rtf"_s), QString()};
        w.Salirmnu->trigger();
        QVERIFY(!w.exited() && w.Informfrm->isVisible());
        w.Salirmnu->trigger();
        QVERIFY(w.exited());
        QCOMPARE(m_files->asked.size(), 2);
        if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QProcess pdf;
        pdf.start(u"pdftotext"_s, {path(u"con-resumen.pdf"_s), u"-"_s});
        QVERIFY(pdf.waitForFinished(60000));
        const QStringList pages =
            QString::fromUtf8(pdf.readAllStandardOutput()).split(u'\f', Qt::SkipEmptyParts);
        QCOMPARE(pages.size(), 2);
        for (const QString& expected :
             {u"Institución: Clínica del Sol"_s, u"Paciente: Peña, Ana"_s, u"Medico: Dr. Paz"_s,
              u"Frecuencia Submáxima: 145[Lpm]"_s, u"Pres. Sist."_s, u"3º[02:00]"_s,
              u"280 [mmHg]"_s, u"05.5 [%]"_s, u"02.7 [Km/h]"_s, u"V5 ST [mV]"_s})
            QVERIFY2(pages[0].contains(expected), qPrintable(expected));
        for (const QString& expected :
             {u"Estudio Ergométrico"_s, u"Resumen clínico"_s, u"Puntaje de Duke"_s, u"Página 2"_s})
            QVERIFY2(pages[1].contains(expected), qPrintable(expected));
    }

private:
    QDir dir() const { return QDir(m_work->dir()); }
    QString file() const { return m_work->path(kGeneralDataFileName); }
    void writeReport(const QString& name, const QByteArray& body)
    {
        writeFile(m_work->path(name), "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}" + body + '}');
    }
    QString text() const { return m_form->InfEd->toPlainText(); }
    bool open(const QString& study, bool templateMode = false)
    {
        return m_form->OpenReportEditor(m_work->dir(), study, u"Peña, Ana"_s, templateMode);
    }
    QString saved(const QString& name) const
    {
        QTextDocument doc;
        loadReportFile(m_work->path(name), doc);
        return doc.toPlainText();
    }

    std::optional<WorkFolder> m_work;
    std::shared_ptr<FakeMessages> m_messages;
    Services m_services;
    std::shared_ptr<FakeFiles> m_files;
    std::unique_ptr<TInformfrm> m_form;
    // Patient 00000012.DAT with study 0012_001.est: treadmill, one record a minute.
    void writeStudy(int records)
    {
        writePatient(path(u"00000012.DAT"_s), kAna, 1, {u"0012_001.est|05/12/2026"_s});
        ProtocolRecord p = makeProtocol(u"BRUCE"_s, Device::Cinta, {});
        p.stageCount = 3;
        p.stages[2] = {3, StageType::Ejercicio, 180, 0.0f, 5.5f, 2.7f};
        std::vector<StageRecord> v(static_cast<std::size_t>(records));
        for (int i = 1; i <= records; ++i) {
            StageRecord& r = v[std::size_t(i - 1)];
            std::tie(r.stage, r.elapsed, r.systolic, r.diastolic, r.heartRate) =
                std::tuple(3, 60 * i, 280, 40, 120);
            for (auto& lead : r.strip)
                lead.assign(2001, (i % 2) ? 200 : -200);
        }
        writeFile(path(u"0012_001.est"_s), encodeStudy(p, v));
        writeFile(path(u"Datosgen.txt"_s),
                  "Cl\xednica del Sol\r\nCalle 1\r\n(011)12345678\r\nDr. Paz\r\n"
                  "[Kgm]\r\n[mmHg]\r\n[Km/h]\r\n[Lpm]\r\n[%]\r\nlogo.png\r\n");
        writeFile(path(u"logo.png"_s), "not a picture");
    }
    QString path(const QString& name) const { return m_work->path(name); }
};

QTEST_MAIN(TestReportWindows)
#include "tst_reportwindows.moc"

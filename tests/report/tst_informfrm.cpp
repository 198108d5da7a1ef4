#include "TestSupport.h"
#include "app/TZuvudezidedFrm.h"
#include "records/TPacfrm.h"
#include "report/RtfCodec.h"
#include "report/TInformfrm.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPrinter>
#include <QRadioButton>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

// The report editor with its files, boxes and dialogs answered through the seams.
class TestInformfrm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void loadsTheReportElseTheTemplateElseSaysSo();
    void unsavedEditsSurviveUntilSalirAsks();
    void failedSaveKeepsTheTextAndTheWindow();
    void templateSaveReplacesAnyCaseAndCancelWritesNothing();
    void fileOpenLoadsTextWithoutChangingTheReportFile();
    void toolbarFollowsTheSelectionWithoutActingOnIt();
    void reportCommandNeedsAStudy();

private:
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
    std::shared_ptr<FakeFiles> m_files;
    std::unique_ptr<TInformfrm> m_form;
};

void TestInformfrm::init()
{
    m_work.emplace();
    m_messages = std::make_shared<FakeMessages>();
    Services s = fakeServices(m_messages);
    m_files = std::make_shared<FakeFiles>();
    s.files = m_files;
    m_form = std::make_unique<TInformfrm>(s);
    writeReport(u"informe.rtf"_s, "Plantilla");
}

void TestInformfrm::cleanup()
{
    m_form.reset();
    m_work.reset();
}

void TestInformfrm::loadsTheReportElseTheTemplateElseSaysSo()
{
    QVERIFY(open(u"0012_003.est"_s));
    QCOMPARE(m_form->windowTitle(), u"Informe: Peña, Ana"_s);
    QCOMPARE(m_form->reportFile(), u"0012_003.INF"_s);
    QCOMPARE(text(), u"Plantilla"_s);
    QVERIFY(m_form->isVisible());

    writeReport(u"0012_003.inf"_s, "Informe \\'e9ste"); // found whatever its case
    QVERIFY(open(u"0012_003.est"_s));
    QCOMPARE(text(), u"Informe éste"_s);
    QVERIFY(!m_form->InfEd->document()->isModified());

    QVERIFY(open(QString(), true));
    QCOMPARE(m_form->windowTitle(), u"Informe: Edición de plantillas"_s);
    QCOMPARE(m_form->reportFile(), u"informe.rtf"_s);
    QCOMPARE(text(), u"Plantilla"_s);

    QFile::remove(m_work->path(u"informe.rtf"_s));
    QVERIFY(open(u"0013_001.est"_s));
    QCOMPARE(m_messages->lines(), {u"info: No se encontró archivo de informe relacionado"_s});
    QCOMPARE(text(), u"Plantilla"_s);

    QVERIFY(!open(u"../0013_001.est"_s));
    QCOMPARE(m_messages->count(u"error"_s), 1);
    QCOMPARE(m_form->reportFile(), u"0013_001.INF"_s);
}

void TestInformfrm::unsavedEditsSurviveUntilSalirAsks()
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
}

void TestInformfrm::failedSaveKeepsTheTextAndTheWindow()
{
    // A folder where the report should go: no file can replace it, even for root.
    QVERIFY(QDir(m_work->dir()).mkdir(u"0012_003.INF"_s));
    QVERIFY(open(u"0012_003.est"_s));
    m_form->InfEd->textCursor().insertText(u"Hallazgo. "_s);
    m_messages->answers = {true};
    m_form->SalirTBtn->trigger();
    QVERIFY(m_form->isVisible());
    QVERIFY(m_form->InfEd->document()->isModified());
    QCOMPARE(m_messages->count(u"error"_s), 1);
    QVERIFY2(m_messages->shown.last().text.startsWith(u"Error de "_s),
             qPrintable(m_messages->shown.last().text));
    QVERIFY(!m_form->SaveButtonClick());
    QVERIFY(m_form->InfEd->document()->isModified());
}

void TestInformfrm::templateSaveReplacesAnyCaseAndCancelWritesNothing()
{
    QVERIFY(open(QString(), true));
    m_form->InfEd->textCursor().insertText(u"Nueva "_s);
    m_files->answers = {QString()};
    m_form->SaveButton->trigger();
    QCOMPARE(saved(u"informe.rtf"_s), u"Plantilla"_s);
    QVERIFY(m_form->InfEd->document()->isModified());
    QCOMPARE(m_files->asked.last(),
             u"save|Guardar como|"_s + m_work->path(u"Informe"_s) + u"|Archivo de Texto (*.RTF)"_s);

    m_files->answers = {m_work->path(u"Informe"_s)};
    m_form->SaveButton->trigger();
    QCOMPARE(saved(u"informe.rtf"_s), u"Nueva Plantilla"_s);
    QVERIFY(!QFile::exists(m_work->path(u"Informe.rtf"_s)));
    QVERIFY(!m_form->InfEd->document()->isModified());

    m_form->InfEd->textCursor().insertText(u"Otra "_s);
    m_files->answers = {QString()};
    m_form->SalirTBtn->trigger();
    QVERIFY(!m_form->isVisible());
    QCOMPARE(saved(u"informe.rtf"_s), u"Nueva Plantilla"_s);
}

void TestInformfrm::fileOpenLoadsTextWithoutChangingTheReportFile()
{
    QVERIFY(open(u"0012_003.est"_s));
    writeFile(m_work->path(u"nota.TXT"_s), "Tensi\xf3n normal\r\n");
    m_files->answers = {m_work->path(u"nota.TXT"_s)};
    m_form->ToolButton1->trigger();
    QCOMPARE(m_files->asked.last(), u"open|Abrir|"_s + m_work->dir() +
                                        u"|Archivo Texto c/Formato (*.RTF);;Archivo Texto (*.TXT);;"
                                        "Archivo Informe(*.INF)"_s);
    QCOMPARE(text(), u"Tensión normal\n"_s);
    QVERIFY(!m_form->InfEd->document()->isModified());
    QCOMPARE(m_form->reportFile(), u"0012_003.INF"_s);
    QVERIFY(m_form->SaveButtonClick());
    QCOMPARE(saved(u"0012_003.INF"_s), u"Tensión normal\n"_s);

    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_work->path(u"informe.pdf"_s));
    m_form->printTo(printer);
    QCOMPARE(printer.docName(), u"Informe Ergometría"_s);
    QVERIFY(readFile(m_work->path(u"informe.pdf"_s)).startsWith("%PDF"));
}

void TestInformfrm::toolbarFollowsTheSelectionWithoutActingOnIt()
{
    QStringList order;
    for (QAction* a : m_form->StandardToolBar->actions()) {
        QWidget* w = m_form->StandardToolBar->widgetForAction(a);
        order << (a->isSeparator() ? u"|"_s : w->objectName());
    }
    QCOMPARE(order.join(u' '),
             u"SalirTBtn ToolButton1 SaveButton ImprimeBut | CutButton CopyButton "
             "PasteButton UndoButton FontName FontSize UpDown1 BoldButton "
             "ItalicButton UnderlineButton"_s);
    QStringList hints;
    for (QAction* a :
         {m_form->SalirTBtn, m_form->CutButton, m_form->CopyButton, m_form->PasteButton,
          m_form->UndoButton, m_form->BoldButton, m_form->ItalicButton, m_form->UnderlineButton})
        hints << a->toolTip();
    hints << m_form->FontName->toolTip() << m_form->FontSize->toolTip();
    QCOMPARE(hints,
             QStringList({u"Salir"_s, u"Cortar"_s, u"Copiar"_s, u"Pegar"_s, u"Deshacer"_s,
                          u"Negrita"_s, u"Italica"_s, u"Subrayado"_s,
                          u"Font Name|Select font name"_s, u"Font Size|Select font size"_s}));

    writeReport(u"0012_003.INF"_s, "\\fs28\\b Negrita\\b0  normal");
    QVERIFY(open(u"0012_003.est"_s));
    QTextCursor c = m_form->InfEd->textCursor();
    c.setPosition(1);
    c.setPosition(4, QTextCursor::KeepAnchor);
    m_form->InfEd->setTextCursor(c);
    m_form->SelectionChange();
    QVERIFY(m_form->BoldButton->isChecked());
    QCOMPARE(m_form->FontSize->text(), u"14"_s);
    QCOMPARE(m_form->FontName->currentText(), u"Arial"_s);
    QVERIFY(!m_form->InfEd->document()->isModified()); // following did not touch the text

    m_form->BoldButton->trigger(); // now up: the selection loses bold
    QTest::mouseClick(m_form->UpDown1->up, Qt::LeftButton);
    QCOMPARE(m_form->FontSize->text(), u"15"_s);
    const QTextCharFormat f = m_form->InfEd->textCursor().charFormat();
    QCOMPARE(f.fontWeight(), int(QFont::Normal));
    QCOMPARE(f.fontPointSize(), 15.0);
    m_form->FontSize->setText(u"12a"_s);
    QCOMPARE(m_messages->lines(), {u"error: '12a' no es un valor entero válido"_s});
    QCOMPARE(m_form->InfEd->textCursor().charFormat().fontPointSize(), 15.0);
}

void TestInformfrm::reportCommandNeedsAStudy()
{
    Services services = fakeServices(m_messages);
    auto* files = static_cast<FakeFiles*>(services.files.get());
    TZuvudezidedFrm window(services);
    QVERIFY(!window.VerInformemnu->isEnabled());
    QVERIFY(window.PlantInformemnu->isEnabled());
    // A new patient has no study yet, so there is no report to name.
    whenShown([&window] {
        TPacfrm* d = window.Pacfrm.get();
        d->NombreEd->setText(u"Ana"_s);
        d->ApellidoEd->setText(u"Peña"_s);
        d->FNacMsk->setText(u"01/01/1960"_s);
        d->AlturaMsk->setText(u"170"_s);
        d->Femeninoslc->setChecked(true);
        d->OkBtn->click();
    });
    window.PacNuevomnu->trigger();
    QVERIFY(window.patientOpen());
    QVERIFY(!window.VerInformemnu->isEnabled());
    window.PlantInformemnu->trigger();
    QVERIFY(window.Informfrm->isVisible());
    QCOMPARE(window.Informfrm->windowTitle(), u"Informe: Edición de plantillas"_s);
    QCOMPARE(window.Informfrm->InfEd->toPlainText(), u"Plantilla"_s);

    // Leaving the program offers the unsaved template; a failed save keeps both open.
    window.Informfrm->InfEd->textCursor().insertText(u"Nueva "_s);
    QVERIFY(QDir(m_work->dir()).mkdir(u"carpeta.rtf"_s));
    files->answers = {m_work->path(u"carpeta.rtf"_s), QString()};
    window.Salirmnu->trigger();
    QVERIFY(!window.exited());
    QVERIFY(window.Informfrm->isVisible());
    window.Salirmnu->trigger();
    QVERIFY(window.exited());
    QCOMPARE(files->asked.size(), 2);
}

QTEST_MAIN(TestInformfrm)
#include "tst_informfrm.moc"

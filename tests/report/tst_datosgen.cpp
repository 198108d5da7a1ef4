#include "TestSupport.h"
#include "report/TOKDatosDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <optional>

using namespace esf;
using namespace esf::test;

namespace {

const QByteArray kFile =
    "Cl\xEDnica Ca\xF1uelas\r\nAv. Mitre 12\r\n(011)4567 890\r\nDra. P\xE9rez\r\n"
    "[Wats]\r\nccH2O\r\n[Km/h]\r\n[Lpm]\r\n[Grad]\r\n/srv/logo.bmp\r\n";

// What the controls show, in file order.
QStringList shown(const TOKDatosDlg& dlg)
{
    return {dlg.InstTxt->text(),           dlg.DirTxt->text(),
            dlg.TelTxt->displayText(),     dlg.MedicoTxt->text(),
            dlg.CargaUnBox->currentText(), dlg.PresUnBox->currentText(),
            dlg.VelUnBox->currentText(),   dlg.FrecUnBox->currentText(),
            dlg.PendUnBox->currentText(),  dlg.LogoTxt->text()};
}

} // namespace

class TestDatosgen : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_tmp.emplace();
        QVERIFY(m_tmp->isValid());
        m_messages.shown.clear();
    }
    void fieldsAreFoundByTheirCaptions();
    void fillsFromTheFileAndWritesWhatIsTyped();
    void cancelWritesNothingAndTheFileWinsNextTime();
    void logoButtonFillsTheLogoLine();
    void fileErrorsAreShownAndTheDialogStays();

private:
    QDir dir() const { return QDir(m_tmp->path()); }
    QString file() const { return m_tmp->filePath(kGeneralDataFileName); }
    std::optional<QTemporaryDir> m_tmp;
    FakeMessages m_messages;
};

void TestDatosgen::fieldsAreFoundByTheirCaptions()
{
    TOKDatosDlg dlg(m_messages);
    QHash<QWidget*, QString> captions;
    for (QLabel* l : dlg.findChildren<QLabel*>())
        captions.insert(l->buddy(), l->text());
    for (QWidget* field :
         QList<QWidget*>{dlg.InstTxt, dlg.DirTxt, dlg.TelTxt, dlg.MedicoTxt, dlg.CargaUnBox,
                         dlg.PresUnBox, dlg.VelUnBox, dlg.FrecUnBox, dlg.PendUnBox, dlg.LogoTxt}) {
        QVERIFY2(captions.value(field).endsWith(u':'), qPrintable(field->objectName()));
        QCOMPARE(field->accessibleName(), captions.value(field));
    }
    QCOMPARE(captions.value(dlg.TelTxt), QStringLiteral("Teléfono:"));
}

void TestDatosgen::fillsFromTheFileAndWritesWhatIsTyped()
{
    // Without a file: empty fields, the telephone mask, and OK writes ten empty lines.
    TOKDatosDlg dlg(m_messages);
    QStringList before;
    whileShown(dlg, [&] {
        before = shown(dlg);
        click(dlg.OKBtn);
    });
    QVERIFY(dlg.EditGeneralData(dir()));
    QStringList empty(10, QString());
    empty[2] = kEmptyTelephone;
    QCOMPARE(before, empty);
    QCOMPARE(readFile(file()), "\r\n\r\n(   )        \r\n" + QByteArray("\r\n").repeated(7));

    writeFile(file(), kFile);
    whileShown(dlg, [&] {
        before = shown(dlg);
        typeInto(dlg.InstTxt, QStringLiteral("Sanatorio Ñandú"));
        // Digits fill the first open positions; the rest stay blank.
        dlg.TelTxt->clear();
        dlg.TelTxt->setFocus();
        dlg.TelTxt->home(false);
        QTest::keyClicks(dlg.TelTxt, QStringLiteral("0221"));
        typeInto(dlg.PresUnBox->lineEdit(), QStringLiteral("mmHg"));
        dlg.VelUnBox->setCurrentIndex(2);
        click(dlg.OKBtn);
    });
    QVERIFY(dlg.EditGeneralData(dir()));
    QCOMPARE(before, QStringLiteral("Clínica Cañuelas|Av. Mitre 12|(011)4567 890|Dra. Pérez|[Wats]|"
                                    "ccH2O|[Km/h]|[Lpm]|[Grad]|/srv/logo.bmp")
                         .split(u'|'));
    QCOMPARE(readFile(file()), QByteArray("Sanatorio \xD1"
                                          "and\xFA\r\nAv. Mitre 12\r\n(022)1       \r\n"
                                          "Dra. P\xE9rez\r\n[Wats]\r\nmmHg\r\n[Milla/h]\r\n"
                                          "[Lpm]\r\n[Grad]\r\n/srv/logo.bmp\r\n"));
    QVERIFY(m_messages.shown.isEmpty());
}

void TestDatosgen::cancelWritesNothingAndTheFileWinsNextTime()
{
    TOKDatosDlg dlg(m_messages);
    QString medico;
    int tab = -1;
    const auto cancelAfterEditing = [&](const QString& typed) {
        whileShown(dlg, [&, typed] {
            medico = dlg.MedicoTxt->text();
            tab = dlg.PageControl->currentIndex();
            typeInto(dlg.MedicoTxt, typed);
            dlg.PageControl->setCurrentIndex(1);
            click(dlg.CancelBtn);
        });
        return dlg.EditGeneralData(dir());
    };
    QVERIFY(!cancelAfterEditing(QStringLiteral("Dr. Borrador")));
    QCOMPARE(tab, 0);
    // Without a file the typed texts are still there, and so is the tab last shown.
    QVERIFY(!cancelAfterEditing(QStringLiteral("Dr. Otro")));
    QCOMPARE(medico, QStringLiteral("Dr. Borrador"));
    QCOMPARE(tab, 1);
    QVERIFY(!QFile::exists(file()));

    writeFile(file(), kFile);
    QVERIFY(!cancelAfterEditing(QStringLiteral("Dr. Tercero")));
    QCOMPARE(medico, QStringLiteral("Dra. Pérez"));
    QCOMPARE(readFile(file()), kFile);
}

void TestDatosgen::logoButtonFillsTheLogoLine()
{
    TOKDatosDlg dlg(m_messages);
    QString answer = QStringLiteral("/srv/imágenes/logo.bmp");
    QStringList asked;
    dlg.pickPicture = [&](QWidget* owner, const QString& folder, const QString& filters) {
        asked << folder << filters.section(QStringLiteral(";;"), 0, 0);
        return owner == &dlg ? answer : QString();
    };
    whileShown(dlg, [&] {
        click(dlg.LogoBut);
        answer.clear(); // the picture dialog cancelled: the path stays
        click(dlg.LogoBut);
        click(dlg.OKBtn);
    });
    QVERIFY(dlg.EditGeneralData(dir()));
    QCOMPARE(asked.mid(0, 2),
             (QStringList{QDir::currentPath(),
                          QStringLiteral("All (*.jpg *.jpeg *.bmp *.ico *.emf *.wmf)")}));
    QVERIFY(readFile(file()).endsWith("\r\n/srv/im\xE1genes/logo.bmp\r\n"));
}

void TestDatosgen::fileErrorsAreShownAndTheDialogStays()
{
    // A folder in the file's place can be neither read nor replaced.
    QVERIFY(dir().mkdir(kGeneralDataFileName));
    TOKDatosDlg dlg(m_messages);
    dlg.InstTxt->setText(QStringLiteral("Antes"));
    QString inst;
    bool stayed = false;
    whileShown(dlg, [&] {
        QTRY_COMPARE(m_messages.count(QStringLiteral("error")), 1);
        inst = dlg.InstTxt->text();
        click(dlg.OKBtn);
        stayed = dlg.isVisible();
        click(dlg.CancelBtn);
    });
    QVERIFY(!dlg.EditGeneralData(dir()));
    QCOMPARE(inst, QStringLiteral("Antes"));
    QVERIFY(stayed);
    QCOMPARE(m_messages.count(QStringLiteral("error")), 2);
    for (const Box& b : m_messages.shown)
        QVERIFY2(b.text.contains(kGeneralDataFileName), qPrintable(b.text));
}

QTEST_MAIN(TestDatosgen)
#include "tst_datosgen.moc"

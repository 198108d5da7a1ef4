#include "records/TAbrirPacfrm.h"
#include "records/TPacfrm.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace esf;

namespace {

const QDate kToday(2009, 12, 29);

PatientData sample()
{
    return {QStringLiteral("María José"), QStringLiteral("Peña"), 163, QStringLiteral("05/11/1958"),
            0};
}

// Runs step while the dialog is up, then closes it so a failed check never leaves the
// test waiting on a modal loop.
void whileOpen(QDialog& dlg, std::function<void()> step)
{
    QTimer::singleShot(0, &dlg, [&dlg, step] {
        dlg.activateWindow();
        (void)QTest::qWaitForWindowActive(&dlg);
        step();
        if (dlg.isVisible())
            dlg.reject();
    });
}

// keyClicks takes ASCII only; accented letters arrive as the text of an unknown key, as
// an input method delivers them.
void type(QWidget* w, const QString& text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Patients from the fixture, each with its own surname.
QDir patients(const QTemporaryDir& tmp, const QList<std::pair<QString, QByteArray>>& files)
{
    QFile fixture(QStringLiteral(ESF_TEST_DATA "/patient-accented.DAT"));
    const QByteArray bytes = fixture.open(QIODevice::ReadOnly) ? fixture.readAll() : QByteArray();
    for (const auto& [name, surname] : files) {
        QByteArray b = bytes;
        if (!surname.isEmpty())
            b.replace(31, surname.size(), surname);
        QFile f(tmp.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(b);
    }
    return QDir(tmp.path());
}

QString line(const QString& names, int count, const QString& file)
{
    return names + QStringLiteral("   ") + QString::number(count) + QString(61, u' ') +
           QLatin1Char('@') + file;
}

} // namespace

class TestPatientWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fieldsAreFoundByTheirCaptions();
    void newModeStartsEmptyAndFillsTheRecord();
    void editModeShowsTheRecordAndCancelKeepsIt();
    void birthDateKeepsTheFocus_data();
    void birthDateKeepsTheFocus();
    void heightAbove254IsRefusedInTheDialog();
    void chooserListsBySurnameAndChooses();
};

void TestPatientWindows::fieldsAreFoundByTheirCaptions()
{
    TPacfrm dlg([] { return kToday; });
    QVERIFY(!(dlg.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint)));
    QHash<QWidget*, QString> captions;
    for (QLabel* l : dlg.findChildren<QLabel*>())
        captions.insert(l->buddy(), l->text());
    for (QLineEdit* edit : {dlg.NombreEd, dlg.ApellidoEd, dlg.FNacMsk, dlg.AlturaMsk}) {
        QCOMPARE(captions.value(edit), edit->accessibleName());
        QCOMPARE(dlg.findChild<QLineEdit*>(edit->objectName()), edit);
    }
    QCOMPARE(dlg.FNacMsk->accessibleName(), QStringLiteral("Fecha de Nacimiento:"));
}

void TestPatientWindows::newModeStartsEmptyAndFillsTheRecord()
{
    TPacfrm dlg([] { return kToday; });
    PatientData d = sample();
    d.sex = 1;
    whileOpen(dlg, [&] { dlg.OkBtn->click(); });
    QVERIFY(!dlg.EditPatient(d, true)); // leaves filled fields and Masculino behind

    const QString name35 = QStringLiteral("Ñ").repeated(35);
    bool startedEmpty = false;
    whileOpen(dlg, [&] {
        startedEmpty = dlg.windowTitle() == QStringLiteral("Ingreso Paciente Nuevo") &&
                       dlg.NombreEd->text().isEmpty() && dlg.ApellidoEd->text().isEmpty() &&
                       dlg.FNacMsk->displayText() == QStringLiteral("  /  /    ") &&
                       dlg.AlturaMsk->text().isEmpty() && !dlg.Masculinoslc->isChecked() &&
                       !dlg.Femeninoslc->isChecked() && dlg.NombreEd->hasFocus();
        type(dlg.NombreEd, name35);
        type(dlg.ApellidoEd, QStringLiteral("Ibáñez"));
        QTest::keyClicks(dlg.FNacMsk, QStringLiteral("28121999"));
        QTest::keyClicks(dlg.AlturaMsk, QStringLiteral("254"));
        QTest::mouseClick(dlg.Masculinoslc, Qt::LeftButton);
        QTest::mouseClick(dlg.OkBtn, Qt::LeftButton);
    });
    QVERIFY(!dlg.EditPatient(d, false));
    QVERIFY(startedEmpty);
    QCOMPARE(d, (PatientData{name35.left(30), QStringLiteral("Ibáñez"), 254,
                             QStringLiteral("28/12/1999"), 1}));
}

void TestPatientWindows::editModeShowsTheRecordAndCancelKeepsIt()
{
    TPacfrm dlg([] { return kToday; });
    PatientData d = sample();
    bool shown = false;
    whileOpen(dlg, [&] {
        shown = dlg.windowTitle() == QStringLiteral("Corregir Datos de Paciente") &&
                dlg.NombreEd->text() == d.firstName && dlg.ApellidoEd->text() == d.surname &&
                dlg.FNacMsk->displayText() == d.birthDate && dlg.AlturaMsk->text() == u"163" &&
                dlg.Femeninoslc->isChecked() && !dlg.Masculinoslc->isChecked();
        QTest::keyClicks(dlg.NombreEd, QStringLiteral("zzz"));
        QTest::mouseClick(dlg.Masculinoslc, Qt::LeftButton);
        QTest::mouseClick(dlg.CancelarBtn, Qt::LeftButton);
    });
    QVERIFY(dlg.EditPatient(d, true));
    QVERIFY(shown);
    QCOMPARE(d, sample());

    whileOpen(dlg, [&] {
        QTest::keyClicks(dlg.NombreEd, QStringLiteral("zzz"));
        QTest::keyClick(&dlg, Qt::Key_Escape);
    });
    QVERIFY(dlg.EditPatient(d, true));
    QCOMPARE(d, sample());
}

void TestPatientWindows::birthDateKeepsTheFocus_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("kept");
    QTest::newRow("untouched mask") << QString() << true;
    QTest::newRow("today") << QStringLiteral("29122009") << true;
    QTest::newRow("tomorrow") << QStringLiteral("30122009") << true;
    QTest::newRow("no such day") << QStringLiteral("30021990") << true;
    QTest::newRow("incomplete") << QStringLiteral("0101199") << true;
    QTest::newRow("yesterday") << QStringLiteral("28122009") << false;
}

// Leaving the field, and Ok, both send the focus back while the date is not acceptable.
void TestPatientWindows::birthDateKeepsTheFocus()
{
    QFETCH(QString, typed);
    QFETCH(bool, kept);
    TPacfrm dlg([] { return kToday; });
    PatientData d = sample();
    bool focusAfterTab = false;
    bool focusAfterOk = false;
    whileOpen(dlg, [&] {
        dlg.FNacMsk->setFocus();
        QTest::keyClicks(dlg.FNacMsk, typed);
        QTest::keyClick(dlg.FNacMsk, Qt::Key_Tab);
        QCoreApplication::processEvents();
        focusAfterTab = dlg.FNacMsk->hasFocus();
        QTest::mouseClick(dlg.OkBtn, Qt::LeftButton);
        QCoreApplication::processEvents();
        focusAfterOk = dlg.isVisible() && dlg.FNacMsk->hasFocus();
    });
    QCOMPARE(dlg.EditPatient(d, false), kept);
    QCOMPARE(focusAfterTab, kept);
    QCOMPARE(focusAfterOk, kept);
    if (kept)
        QCOMPARE(d, sample());
}

void TestPatientWindows::heightAbove254IsRefusedInTheDialog()
{
    TPacfrm dlg([] { return kToday; });
    PatientData d = sample();
    bool refused = false;
    whileOpen(dlg, [&] {
        dlg.AlturaMsk->clear();
        QTest::keyClicks(dlg.AlturaMsk, QStringLiteral("255"));
        QTest::mouseClick(dlg.OkBtn, Qt::LeftButton);
        QCoreApplication::processEvents();
        refused = dlg.isVisible() && dlg.AlturaMsk->hasFocus() && d == sample();
        dlg.AlturaMsk->clear();
        QTest::keyClicks(dlg.AlturaMsk, QStringLiteral("99"));
        QTest::mouseClick(dlg.OkBtn, Qt::LeftButton);
    });
    QVERIFY(!dlg.EditPatient(d, true));
    QVERIFY(refused);
    PatientData expected = sample();
    expected.height = 99;
    QCOMPARE(d, expected);
}

void TestPatientWindows::chooserListsBySurnameAndChooses()
{
    QTemporaryDir tmp;
    const QDir dir = patients(tmp, {{QStringLiteral("00000001.DAT"), {}},
                                    {QStringLiteral("00000002.DAT"), "\x05Zapa\xe1"},
                                    {QStringLiteral("00000003.dat"), "\x07\xc1lvarez"},
                                    {QStringLiteral("00000005.DAT"), {}}});
    QVERIFY(QFile::resize(dir.filePath(QStringLiteral("00000005.DAT")), kPatientHeaderSize - 1));
    TAbrirPacfrm dlg;
    QStringList items;
    QString title;
    whileOpen(dlg, [&] {
        title = dlg.windowTitle();
        for (int i = 0; i < dlg.ListPac->count(); ++i)
            items << dlg.ListPac->item(i)->text();
        dlg.ListPac->setCurrentRow(0);
        dlg.OKBtn->click();
    });
    PatientListing chosen;
    QVERIFY(dlg.ChoosePatient(QStringLiteral("Elegir paciente a borrar"), dir, chosen));
    QCOMPARE(title, QStringLiteral("Elegir paciente a borrar"));
    const QString first = QStringLiteral(", María José");
    QCOMPARE(items,
             QStringList(
                 {line(QStringLiteral("Álvarez") + first, 2, QStringLiteral("00000003.dat")),
                  line(QStringLiteral("Peña Ibáñez") + first, 2, QStringLiteral("00000001.DAT")),
                  line(QStringLiteral("Peña Ibáñez") + first + QStringLiteral("[Archivo Corrupto]"),
                       0, QStringLiteral("00000005.DAT")),
                  line(QStringLiteral("Zapaá") + first, 2, QStringLiteral("00000002.DAT"))}));
    QCOMPARE(chosen.fileName, QStringLiteral("00000003.dat"));
    QCOMPARE(chosen.header.data.surname, QStringLiteral("Álvarez"));

    whileOpen(dlg, [&] {
        const QPoint at = dlg.ListPac->visualItemRect(dlg.ListPac->item(3)).center();
        QTest::mouseClick(dlg.ListPac->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(dlg.ListPac->viewport(), Qt::LeftButton, {}, at);
    });
    QVERIFY(dlg.ChoosePatient(QStringLiteral("Elegir paciente"), dir, chosen));
    QCOMPARE(chosen.fileName, QStringLiteral("00000002.DAT"));

    // The corrupt line, OK with nothing selected, and Cancel choose nothing.
    for (int row : {2, -1, 0}) {
        whileOpen(dlg, [&] {
            dlg.ListPac->setCurrentRow(row);
            (row == 0 ? dlg.CancelBtn : dlg.OKBtn)->click();
        });
        QVERIFY(!dlg.ChoosePatient(QStringLiteral("Elegir paciente"), dir, chosen));
    }
    QCOMPARE(chosen.fileName, QStringLiteral("00000002.DAT"));
    QVERIFY(dlg.listingError().isEmpty());

    QVERIFY(!dlg.ChoosePatient(QStringLiteral("Elegir paciente"),
                               QDir(tmp.filePath(QStringLiteral("missing"))), chosen));
    QVERIFY(!dlg.isVisible());
    QVERIFY(!dlg.listingError().isEmpty());
}

QTEST_MAIN(TestPatientWindows)
#include "tst_patientwindows.moc"

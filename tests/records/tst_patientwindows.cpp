#include "TestSupport.h"
#include "records/PatientFile.h"
#include "records/TAbrirPacfrm.h"
#include "records/TPacfrm.h"

#include <QRadioButton>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

const QDate kToday(2009, 12, 29);

PatientData sample()
{
    return {u"María José"_s, u"Peña"_s, 163, u"05/11/1958"_s, 0};
}

QString line(const QString& names, int count, const QString& file)
{
    return names + u"   "_s + QString::number(count) + QString(61, u' ') + QLatin1Char('@') + file;
}

} // namespace

class TestPatientWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void newModeStartsEmptyAndFillsTheRecord();
    void editModeShowsTheRecordAndRefusesHeightsAbove254();
    void birthDateKeepsTheFocus_data();
    void birthDateKeepsTheFocus();
    void chooserListsBySurnameAndChooses();
};

void TestPatientWindows::newModeStartsEmptyAndFillsTheRecord()
{
    TPacfrm dlg([] { return kToday; });
    PatientData d = sample();
    d.sex = 1;
    whileShown(dlg, [&] { dlg.OkBtn->click(); });
    QVERIFY(!dlg.EditPatient(d, true)); // leaves filled fields and Masculino behind

    const QString name35 = u"Ñ"_s.repeated(35);
    bool startedEmpty = false;
    whileShown(dlg, [&] {
        startedEmpty = dlg.windowTitle() == u"Ingreso Paciente Nuevo"_s &&
                       dlg.NombreEd->text().isEmpty() && dlg.ApellidoEd->text().isEmpty() &&
                       dlg.FNacMsk->displayText() == u"  /  /    "_s &&
                       dlg.AlturaMsk->text().isEmpty() && !dlg.Masculinoslc->isChecked() &&
                       !dlg.Femeninoslc->isChecked() && dlg.NombreEd->hasFocus();
        typeText(dlg.NombreEd, name35);
        typeText(dlg.ApellidoEd, u"Ibáñez"_s);
        QTest::keyClicks(dlg.FNacMsk, u"28121999"_s);
        QTest::keyClicks(dlg.AlturaMsk, u"254"_s);
        QTest::mouseClick(dlg.Masculinoslc, Qt::LeftButton);
        QTest::mouseClick(dlg.OkBtn, Qt::LeftButton);
    });
    QVERIFY(!dlg.EditPatient(d, false));
    QVERIFY(startedEmpty);
    QCOMPARE(d, (PatientData{name35.left(30), u"Ibáñez"_s, 254, u"28/12/1999"_s, 1}));
}

void TestPatientWindows::editModeShowsTheRecordAndRefusesHeightsAbove254()
{
    TPacfrm dlg([] { return kToday; });
    PatientData d = sample();
    bool shown = false;
    whileShown(dlg, [&] {
        shown = dlg.windowTitle() == u"Corregir Datos de Paciente"_s &&
                dlg.NombreEd->text() == d.firstName && dlg.FNacMsk->displayText() == d.birthDate &&
                dlg.AlturaMsk->text() == u"163" && dlg.Femeninoslc->isChecked();
        QTest::keyClicks(dlg.NombreEd, u"zzz"_s);
        QTest::mouseClick(dlg.CancelarBtn, Qt::LeftButton);
    });
    QVERIFY(dlg.EditPatient(d, true));
    QVERIFY(shown);
    QCOMPARE(d, sample());

    bool refused = false;
    whileShown(dlg, [&] {
        dlg.AlturaMsk->clear();
        QTest::keyClicks(dlg.AlturaMsk, u"255"_s);
        QTest::mouseClick(dlg.OkBtn, Qt::LeftButton);
        QCoreApplication::processEvents();
        refused = dlg.isVisible() && dlg.AlturaMsk->hasFocus();
        dlg.AlturaMsk->clear();
        QTest::keyClicks(dlg.AlturaMsk, u"99"_s);
        QTest::mouseClick(dlg.OkBtn, Qt::LeftButton);
    });
    QVERIFY(!dlg.EditPatient(d, true));
    QVERIFY(refused);
    QCOMPARE(d.height, 99);
}

void TestPatientWindows::birthDateKeepsTheFocus_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("kept");
    QTest::newRow("untouched mask") << QString() << true;
    QTest::newRow("today") << u"29122009"_s << true;
    QTest::newRow("no such day") << u"30021990"_s << true;
    QTest::newRow("incomplete") << u"0101199"_s << true;
    QTest::newRow("yesterday") << u"28122009"_s << false;
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
    whileShown(dlg, [&] {
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
}

void TestPatientWindows::chooserListsBySurnameAndChooses()
{
    // Patients from the fixture, each with its own surname; the last one is cut short.
    QTemporaryDir tmp;
    const QByteArray bytes = readFile(QStringLiteral(ESF_TEST_DATA "/patient-accented.DAT"));
    for (const auto& [name, surname] : {std::pair{"00000001.DAT", QByteArray()},
                                        {"00000002.DAT", "\x05Zapa\xe1"},
                                        {"00000003.dat", "\x07\xc1lvarez"},
                                        {"00000005.DAT", QByteArray()}})
        writeFile(tmp.filePath(QLatin1String(name)),
                  QByteArray(bytes).replace(31, surname.size(), surname));
    QVERIFY(QFile::resize(tmp.filePath(u"00000005.DAT"_s), kPatientHeaderSize - 1));
    const QDir dir(tmp.path());
    TAbrirPacfrm dlg;
    QStringList items;
    QString title;
    whileShown(dlg, [&] {
        title = dlg.windowTitle();
        items = itemTexts(dlg.ListPac);
        dlg.ListPac->setCurrentRow(0);
        dlg.OKBtn->click();
    });
    PatientListing chosen;
    QVERIFY(dlg.ChoosePatient(u"Elegir paciente a borrar"_s, dir, chosen));
    QCOMPARE(title, u"Elegir paciente a borrar"_s);
    const QString first = u", María José"_s;
    QCOMPARE(items, QStringList({line(u"Álvarez"_s + first, 2, u"00000003.dat"_s),
                                 line(u"Peña Ibáñez"_s + first, 2, u"00000001.DAT"_s),
                                 line(u"Peña Ibáñez"_s + first + u"[Archivo Corrupto]"_s, 0,
                                      u"00000005.DAT"_s),
                                 line(u"Zapaá"_s + first, 2, u"00000002.DAT"_s)}));
    QCOMPARE(chosen.fileName, u"00000003.dat"_s);

    whileShown(dlg, [&] {
        const QPoint at = dlg.ListPac->visualItemRect(dlg.ListPac->item(3)).center();
        QTest::mouseClick(dlg.ListPac->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(dlg.ListPac->viewport(), Qt::LeftButton, {}, at);
    });
    QVERIFY(dlg.ChoosePatient(u"Elegir paciente"_s, dir, chosen));
    QCOMPARE(chosen.fileName, u"00000002.DAT"_s);

    // The corrupt line, OK with nothing selected, and Cancel choose nothing.
    for (int row : {2, -1, 0}) {
        whileShown(dlg, [&] {
            dlg.ListPac->setCurrentRow(row);
            (row == 0 ? dlg.CancelBtn : dlg.OKBtn)->click();
        });
        QVERIFY(!dlg.ChoosePatient(u"Elegir paciente"_s, dir, chosen));
    }
    QCOMPARE(chosen.fileName, u"00000002.DAT"_s);
    QVERIFY(dlg.listingError().isEmpty());
    QVERIFY(!dlg.ChoosePatient(u"Elegir paciente"_s, QDir(tmp.filePath(u"missing"_s)), chosen));
    QVERIFY(!dlg.listingError().isEmpty());
}

QTEST_MAIN(TestPatientWindows)
#include "tst_patientwindows.moc"

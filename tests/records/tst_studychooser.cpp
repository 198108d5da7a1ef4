#include "TestSupport.h"
#include "common/BinaryIO.h"
#include "records/PatientFile.h"
#include "records/TAbrirEstfrm.h"

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

class TestStudyChooser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listsTheStudiesAndRefusesBrokenEntries();
};

void TestStudyChooser::listsTheStudiesAndRefusesBrokenEntries()
{
    // Four entries: a hostile name, and the last cut off before its date.
    QTemporaryDir tmp;
    const QString path = tmp.filePath(u"00000012.DAT"_s);
    writePatientHeader(path, {u"María José"_s, u"Peña Ibáñez"_s, 163, u"05/11/1958"_s, 0}, 4);
    for (const auto& [file, date] : {std::pair{u"0012_001.est"_s, u"12/03/2007"_s},
                                     {u"../0012_002."_s, u"13/03/2007"_s},
                                     {u"0012_003.est"_s, u"14/03/2007"_s}})
        appendFile(path, encodeString(file, 12) + encodeString(date, 10));
    appendFile(path, encodeString(u"0012_004.est"_s, 12));
    TAbrirEstfrm dlg;
    QString title;
    QStringList shown;
    whileShown(dlg, [&] {
        title = dlg.windowTitle();
        shown = itemTexts(dlg.ListEst);
        dlg.ListEst->setCurrentRow(2);
        click(dlg.OKBtn);
    });
    QString file = u"untouched"_s;
    QString date;
    QVERIFY(dlg.ChooseStudy(path, file, date));
    QCOMPARE(title, u"Estudio: Peña Ibáñez, María José"_s);
    QCOMPARE(shown, (QStringList{u"1)-12/03/2007"_s, u"2)-Archivo corrupto"_s, u"3)-14/03/2007"_s,
                                 u"4)-Archivo corrupto"_s}));
    QCOMPARE(file, u"0012_003.est"_s);
    QCOMPARE(date, u"14/03/2007"_s);

    whileShown(dlg, [&] {
        const QPoint at = dlg.ListEst->visualItemRect(dlg.ListEst->item(0)).center();
        QTest::mouseClick(dlg.ListEst->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(dlg.ListEst->viewport(), Qt::LeftButton, {}, at);
    });
    QVERIFY(dlg.ChooseStudy(path, file, date));
    QCOMPARE(file, u"0012_001.est"_s);

    // The hostile name, the cut-off entry, OK with nothing selected, and Cancel choose nothing.
    for (int row : {1, 3, -1, 0}) {
        whileShown(dlg, [&] {
            dlg.ListEst->setCurrentRow(row);
            click(row == 0 ? dlg.CancelBtn : dlg.OKBtn);
        });
        QVERIFY2(!dlg.ChooseStudy(path, file, date), qPrintable(QString::number(row)));
    }
    QCOMPARE(file, u"0012_001.est"_s);
    QCOMPARE(date, u"12/03/2007"_s);

    // No patient file: an empty list under the plain caption.
    whileShown(dlg, [&] {
        title = dlg.windowTitle();
        shown = itemTexts(dlg.ListEst);
        click(dlg.OKBtn);
    });
    QVERIFY(!dlg.ChooseStudy(tmp.filePath(u"00000099.DAT"_s), file, date));
    QCOMPARE(title, u"Estudios:"_s);
    QVERIFY(shown.isEmpty());
}

QTEST_MAIN(TestStudyChooser)
#include "tst_studychooser.moc"

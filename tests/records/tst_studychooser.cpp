#include "TestSupport.h"
#include "common/BinaryIO.h"
#include "records/PatientFile.h"
#include "records/TAbrirEstfrm.h"

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

// A patient file: the 177-byte header with its count, then 24-byte study entries (string[12]
// file, string[10] date). An entry without a date stands for a list cut short.
QString writePatient(const QTemporaryDir& tmp, std::uint8_t count,
                     const QList<std::pair<QString, QString>>& entries)
{
    const QString path = tmp.filePath(u"00000012.DAT"_s);
    writePatientHeader(path, {u"María José"_s, u"Peña Ibáñez"_s, 163, u"05/11/1958"_s, 0}, count);
    for (const auto& [file, date] : entries)
        appendFile(path, encodeString(file, 12) + (date.isEmpty() ? "" : encodeString(date, 10)));
    return path;
}

} // namespace

class TestStudyChooser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listsTheStudiesAndChooses();
    void missingPatientListsNothing();
};

void TestStudyChooser::listsTheStudiesAndChooses()
{
    QTemporaryDir tmp;
    const QString path = writePatient(tmp, 4,
                                      {{u"0012_001.est"_s, u"12/03/2007"_s},
                                       {u"../0012_002."_s, u"13/03/2007"_s},
                                       {u"0012_003.est"_s, u"14/03/2007"_s},
                                       {u"0012_004.est"_s, QString()}});
    TAbrirEstfrm dlg;
    QCOMPARE(dlg.size(), QSize(313, 214));
    QCOMPARE(dlg.windowTitle(), u"Estudios:"_s);
    QString title;
    QStringList shown;
    whileShown(dlg, [&] {
        title = dlg.windowTitle();
        shown = itemTexts(dlg.ListEst);
        dlg.ListEst->setCurrentRow(2);
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
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
        QVERIFY(!dlg.isVisible());
    });
    QVERIFY(dlg.ChooseStudy(path, file, date));
    QCOMPARE(file, u"0012_001.est"_s);
    QCOMPARE(date, u"12/03/2007"_s);

    // The hostile name, the cut-off entry, OK with nothing selected, and Cancel choose nothing.
    for (int row : {1, 3, -1, 0}) {
        whileShown(dlg, [&] {
            dlg.ListEst->setCurrentRow(row);
            QTest::mouseClick(row == 0 ? dlg.CancelBtn : dlg.OKBtn, Qt::LeftButton);
        });
        QVERIFY2(!dlg.ChooseStudy(path, file, date), qPrintable(QString::number(row)));
    }
    QCOMPARE(file, u"0012_001.est"_s);
    QCOMPARE(date, u"12/03/2007"_s);
}

void TestStudyChooser::missingPatientListsNothing()
{
    QTemporaryDir tmp;
    const QString path = writePatient(tmp, 1, {{u"0012_001.est"_s, {}}});
    TAbrirEstfrm dlg;
    QStringList first, second;
    whileShown(dlg, [&] { first = itemTexts(dlg.ListEst); });
    QString file, date;
    QVERIFY(!dlg.ChooseStudy(path, file, date));
    // A list cut before its first whole entry.
    QCOMPARE(first.size(), 1);
    QVERIFY(first.first().endsWith(u")-Archivo corrupto"_s));

    QString title;
    whileShown(dlg, [&] {
        title = dlg.windowTitle();
        second = itemTexts(dlg.ListEst);
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    QVERIFY(!dlg.ChooseStudy(tmp.filePath(u"00000099.DAT"_s), file, date));
    QCOMPARE(title, u"Estudios:"_s);
    QVERIFY(second.isEmpty());
    QVERIFY(file.isEmpty());
}

QTEST_MAIN(TestStudyChooser)
#include "tst_studychooser.moc"

#include "common/BinaryIO.h"
#include "records/PatientFile.h"
#include "records/TAbrirEstfrm.h"

#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace esf;

namespace {

// Runs the steps once the dialog is up; a failed step must not leave it waiting.
void whileShown(QDialog& dialog, std::function<void()> steps)
{
    QTimer::singleShot(0, &dialog, [&dialog, steps] {
        if (QTest::qWaitForWindowActive(&dialog))
            steps();
        else
            QTest::qFail("dialog never became active", __FILE__, __LINE__);
        if (dialog.isVisible())
            dialog.reject();
    });
}

// A patient file: the 177-byte header with its count, then 24-byte study entries (string[12]
// file, string[10] date). An entry without a date stands for a list cut short.
QString writePatient(const QTemporaryDir& tmp, std::uint8_t count,
                     const QList<std::pair<QString, QString>>& entries)
{
    const QString path = tmp.filePath(QStringLiteral("00000012.DAT"));
    writePatientHeader(path,
                       {QStringLiteral("María José"), QStringLiteral("Peña Ibáñez"), 163,
                        QStringLiteral("05/11/1958"), 0},
                       count);
    QFile f(path);
    if (f.open(QIODevice::Append)) {
        LeWriter w(f, path);
        for (const auto& [file, date] : entries) {
            w.str(file, 12);
            if (!date.isEmpty())
                w.str(date, 10);
        }
    }
    return path;
}

QStringList lines(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
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
    const QString path =
        writePatient(tmp, 4,
                     {{QStringLiteral("0012_001.est"), QStringLiteral("12/03/2007")},
                      {QStringLiteral("../0012_002."), QStringLiteral("13/03/2007")},
                      {QStringLiteral("0012_003.est"), QStringLiteral("14/03/2007")},
                      {QStringLiteral("0012_004.est"), QString()}});
    TAbrirEstfrm dlg;
    QCOMPARE(dlg.size(), QSize(313, 214));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Estudios:"));
    QString title;
    QStringList shown;
    whileShown(dlg, [&] {
        title = dlg.windowTitle();
        shown = lines(dlg.ListEst);
        dlg.ListEst->setCurrentRow(2);
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    QString file = QStringLiteral("untouched");
    QString date;
    QVERIFY(dlg.ChooseStudy(path, file, date));
    QCOMPARE(title, QStringLiteral("Estudio: Peña Ibáñez, María José"));
    QCOMPARE(shown.size(), 4);
    QCOMPARE(shown.at(0), QStringLiteral("1)-12/03/2007"));
    QCOMPARE(shown.at(2), QStringLiteral("3)-14/03/2007"));
    QCOMPARE(shown.at(3), QStringLiteral("4)-Archivo corrupto"));
    QCOMPARE(file, QStringLiteral("0012_003.est"));
    QCOMPARE(date, QStringLiteral("14/03/2007"));

    whileShown(dlg, [&] {
        const QPoint at = dlg.ListEst->visualItemRect(dlg.ListEst->item(0)).center();
        QTest::mouseClick(dlg.ListEst->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(dlg.ListEst->viewport(), Qt::LeftButton, {}, at);
        QVERIFY(!dlg.isVisible());
    });
    QVERIFY(dlg.ChooseStudy(path, file, date));
    QCOMPARE(file, QStringLiteral("0012_001.est"));
    QCOMPARE(date, QStringLiteral("12/03/2007"));

    // The hostile name, the cut-off entry, OK with nothing selected, and Cancel choose nothing.
    for (int row : {1, 3, -1, 0}) {
        whileShown(dlg, [&] {
            dlg.ListEst->setCurrentRow(row);
            QTest::mouseClick(row == 0 ? dlg.CancelBtn : dlg.OKBtn, Qt::LeftButton);
        });
        QVERIFY2(!dlg.ChooseStudy(path, file, date), qPrintable(QString::number(row)));
    }
    QCOMPARE(file, QStringLiteral("0012_001.est"));
    QCOMPARE(date, QStringLiteral("12/03/2007"));
}

void TestStudyChooser::missingPatientListsNothing()
{
    QTemporaryDir tmp;
    const QString path = writePatient(tmp, 1, {{QStringLiteral("0012_001.est"), {}}});
    TAbrirEstfrm dlg;
    QStringList first, second;
    whileShown(dlg, [&] { first = lines(dlg.ListEst); });
    QString file, date;
    QVERIFY(!dlg.ChooseStudy(path, file, date));
    // A list cut before its first whole entry.
    QCOMPARE(first.size(), 1);
    QVERIFY(first.first().endsWith(QStringLiteral(")-Archivo corrupto")));

    QString title;
    whileShown(dlg, [&] {
        title = dlg.windowTitle();
        second = lines(dlg.ListEst);
        QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    QVERIFY(!dlg.ChooseStudy(tmp.filePath(QStringLiteral("00000099.DAT")), file, date));
    QCOMPARE(title, QStringLiteral("Estudios:"));
    QVERIFY(second.isEmpty());
    QVERIFY(file.isEmpty());
}

QTEST_MAIN(TestStudyChooser)
#include "tst_studychooser.moc"

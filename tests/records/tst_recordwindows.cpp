#include "Fixtures.h"
#include "TestSupport.h"
#include "records/StudyCharts.h"
#include "records/TAbrirEstfrm.h"
#include "records/TAbrirPacfrm.h"
#include "records/TEstudioExistFrm.h"
#include "records/TPacfrm.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

const QDate kBirthdayToday(2009, 12, 29);

const QDate kToday(2007, 3, 5);
const PatientData kNunez{u"Ana"_s, u"Núñez"_s, 160, u"01/01/1960"_s, 1};

// Three records at 160, 320 and 480 s (an 8-minute study: nine columns); record 1 has a
// flat lead, one far above its band and one far below.
std::vector<StageRecord> workedRecords()
{
    std::vector<StageRecord> v = reviewRecords(3, 160);
    const int hr[] = {100, 120, 140};
    const int sys[] = {150, 160, 170};
    const int dia[] = {80, 90, 100};
    for (std::size_t k = 0; k < 3; ++k) {
        v[k].heartRate = hr[k];
        v[k].systolic = sys[k];
        v[k].diastolic = dia[k];
    }
    v[0].strip[0].assign(kStripLength, 0);
    v[0].strip[1].assign(kStripLength, 2000);
    v[0].strip[2].assign(kStripLength, -100000);
    return v;
}

QRgb at(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}
} // namespace

// The patient editor and chooser, the study chooser and the review window.
class TestRecordWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A date that is not acceptable keeps the focus when the field is left and on Ok; a height
    // above what its byte holds takes it.
    void patientDialogKeepsTheFocus()
    {
        TPacfrm dlg([] { return kBirthdayToday; });
        PatientData d;
        QList<QWidget*> focus;
        const auto typeDate = [&](const QString& date, Qt::Key leave) {
            dlg.FNacMsk->clear();
            QTest::keyClicks(dlg.FNacMsk, date);
            if (leave == Qt::Key_Tab)
                QTest::keyClick(dlg.FNacMsk, Qt::Key_Tab);
            else
                QTest::mouseClick(dlg.OkBtn, Qt::LeftButton);
            QCoreApplication::processEvents();
            focus << dlg.focusWidget();
        };
        whileShown(dlg, [&] {
            dlg.FNacMsk->setFocus();
            typeDate(u"30021990"_s, Qt::Key_Tab);   // no such day
            typeDate(u"29122009"_s, Qt::Key_Enter); // born today
            QTest::keyClicks(dlg.AlturaMsk, u"255"_s);
            typeDate(u"28122009"_s, Qt::Key_Enter);
            QTest::keyClicks(dlg.AlturaMsk, u"254"_s);
            QTest::mouseClick(dlg.OkBtn, Qt::LeftButton);
        });
        QVERIFY(!dlg.EditPatient(d, false));
        QCOMPARE(focus, (QList<QWidget*>{dlg.FNacMsk, dlg.FNacMsk, dlg.AlturaMsk}));
        QCOMPARE(d.birthDate, u"28/12/2009"_s);
        QCOMPARE(d.height, 254);
    }
    void choosersTakeADoubleClickAndRefuseBrokenEntries()
    {
        const auto doubleClick = [](QListWidget* list, QListWidgetItem* item) {
            const QPoint at = list->visualItemRect(item).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        };
        // Count 6, five entries: a hostile name, a patient file's name, and the fifth cut off
        // before its date; the listing stops there.
        const QString path = m_tmp.filePath(u"00000012.DAT"_s);
        writePatient(path, {u"María José"_s, u"Peña Ibáñez"_s, 163, u"05/11/1958"_s, 0}, 6,
                     {u"0012_001.est|12/03/2007"_s, u"../0012_002.|13/03/2007"_s,
                      u"0012_003.EST|14/03/2007"_s, u"00000004.DAT|15/03/2007"_s,
                      u"0012_005.est"_s});
        const QString shortHeader = m_tmp.filePath(u"00000013.DAT"_s);
        writeFile(shortHeader, readFile(path).left(kPatientHeaderSize - 1));
        TAbrirPacfrm patients;
        const auto row = [&](const QString& file) {
            return patients.ListPac->findItems(file, Qt::MatchEndsWith).value(0);
        };
        whileShown(patients, [&] { doubleClick(patients.ListPac, row(u"@00000012.DAT"_s)); });
        PatientListing chosen;
        QVERIFY(patients.ChoosePatient(u"Elegir paciente"_s, QDir(m_tmp.path()), chosen));
        QCOMPARE(chosen.fileName, u"00000012.DAT"_s);
        // A damaged file never becomes the chosen patient.
        whileShown(patients, [&] {
            patients.ListPac->setCurrentItem(row(u"@00000013.DAT"_s));
            patients.OKBtn->click();
        });
        QVERIFY(!patients.ChoosePatient(u"Elegir paciente"_s, QDir(m_tmp.path()), chosen));
        QVERIFY(!patients.ChoosePatient({}, QDir(m_tmp.filePath(u"missing"_s)), chosen));
        QVERIFY(!patients.listingError().isEmpty());

        TAbrirEstfrm dlg;
        QString title;
        QStringList shown;
        whileShown(dlg, [&] {
            title = dlg.windowTitle();
            shown = itemTexts(dlg.ListEst);
            doubleClick(dlg.ListEst, dlg.ListEst->item(2));
        });
        QString file = u"untouched"_s;
        QString date;
        QVERIFY(dlg.ChooseStudy(path, file, date));
        QCOMPARE(title, u"Estudio: Peña Ibáñez, María José"_s);
        QCOMPARE(shown,
                 (QStringList{u"1)-12/03/2007"_s, u"2)-Archivo corrupto"_s, u"3)-14/03/2007"_s,
                              u"4)-Archivo corrupto"_s, u"5)-Archivo corrupto"_s}));
        QCOMPARE(file, u"0012_003.EST"_s);
        QCOMPARE(date, u"14/03/2007"_s);
        // A broken entry is never opened.
        whileShown(dlg, [&] {
            dlg.ListEst->setCurrentRow(1);
            click(dlg.OKBtn);
        });
        QVERIFY(!dlg.ChooseStudy(path, file, date));
        QCOMPARE(file, u"0012_003.EST"_s);

        // A short header or no patient file: an empty list under the plain caption.
        for (const QString& p : {shortHeader, m_tmp.filePath(u"00000099.DAT"_s)}) {
            whileShown(dlg, [&] {
                title = dlg.windowTitle();
                shown = itemTexts(dlg.ListEst);
                click(dlg.OKBtn);
            });
            QVERIFY(!dlg.ChooseStudy(p, file, date));
            QCOMPARE(title, u"Estudios:"_s);
            QVERIFY(shown.isEmpty());
        }
    }
    void canvasOfTheWorkedExample()
    {
        const QString path = m_tmp.filePath(u"0001_001.est"_s);
        writeFile(path, encodeStudy(reviewProtocol(), workedRecords()));
        StudyReview review;
        QVERIFY(review.open(path, u"2007.1.1"_s));
        ReviewScene scene{reviewLayout(1000, 700), &review, {}, QColor(0xC0C0C0), QFont()};
        QImage image(1000, 700, QImage::Format_RGB32);
        QPainter painter(&image);
        drawReviewCanvas(painter, scene);
        painter.end();

        const QRgb window = 0xC0C0C0;
        const QRgb black = 0x000000, white = 0xFFFFFF, red = 0xFF0000, green = 0x008000;
        const QRgb navy = 0x000080, yellow = 0xFFFF00;
        // Chart 1 at (40, 35), 200 pixels square: border, a dotted row (8 rows) and column (9).
        QCOMPARE(at(image, 40, 35), black);
        QCOMPARE(at(image, 239, 234), black);
        QCOMPARE(at(image, 240, 100), window);
        QCOMPARE(at(image, 43, 60), black);
        QCOMPARE(at(image, 44, 60), white);
        QCOMPARE(at(image, 62, 38), black);
        QCOMPARE(at(image, 760, 35), black);
        // Strip panel 700 × 280 at (280, 350): 50 columns of 14 pixels, 20 rows.
        QCOMPARE(at(image, 280, 350 + 1), green);
        QCOMPARE(at(image, 979, 629 - 2), green);
        QCOMPARE(at(image, 294, 353), green);
        QCOMPARE(at(image, 283, 364), green);
        // Lead II flat on its baseline, V2 clipped to the top row, V5 to the bottom row.
        QCOMPARE(at(image, 500, 420), yellow);
        QCOMPARE(at(image, 500, 350), yellow);
        QCOMPARE(at(image, 500, 629), yellow);
        QCOMPARE(at(image, 500, 630), window);
        // Pressures: record 1 (current) green at x 99, record 2 red at x 158.
        QCOMPARE(at(image, 99, 170), green);
        QCOMPARE(at(image, 158, 170), red);
        // Heart rate 120 of record 2 at (398, 135): red square filled with the canvas brush.
        QCOMPARE(at(image, 395, 132), red);
        QCOMPARE(at(image, 399, 136), window);
        // Markers of record 1 over heart rate (339, 155), ITT and slope 0 (819, 235).
        QCOMPARE(at(image, 339, 147), navy);
        QCOMPARE(at(image, 819, 227), navy);
        // Slope 10 of stage 2 from 160 s to 320 s.
        QCOMPARE(at(image, 850, 185), red);

        // A damaged record and protocol draw at the edges of the charts.
        std::vector<StageRecord> damaged = workedRecords();
        damaged[0].elapsed = -7;
        damaged[0].heartRate = std::numeric_limits<std::int32_t>::max();
        damaged[0].stage = 255;
        damaged[0].gain = 200;
        damaged[2].elapsed = std::numeric_limits<std::int32_t>::max();
        ProtocolRecord protocol = reviewProtocol();
        protocol.stages[1].slope = std::numeric_limits<float>::quiet_NaN();
        writeFile(path, encodeStudy(protocol, damaged));
        QVERIFY(review.open(path, u"2007.1.1"_s));
        painter.begin(&image);
        drawReviewCanvas(painter, scene);
        painter.end();
        QCOMPARE(at(image, 277, 32), red);  // heart rate square at time 0, top edge of chart 2
        QCOMPARE(at(image, 477, 112), red); // the last record at the right edge
    }
    void windowStepsCorrectsAndMarks()
    {
        const QString path = m_tmp.filePath(u"0001_002.est"_s);
        writeFile(path, encodeStudy(reviewProtocol(), workedRecords()));
        FakeMessages messages;
        TEstudioExistFrm frm(messages, [] { return kToday; });
        frm.setRateFormula(1, 0);
        std::bitset<kPrintSelectionSize> flags;
        flags.set(3);
        QStringList seen;
        QList<bool> corregir;
        QRgb oldMarker = 0, newMarker = 0;
        whileShown(frm, [&] {
            const auto texts = [&] {
                seen << frm.windowTitle() + u'|' + frm.ProtoNomlbl->text() + u'|' +
                            frm.EtapaNumLbl->text() + u'|' + frm.TpoParcialLbl->text() + u'|' +
                            frm.DemandLbl->text() + u'|' + frm.ITTLbl->text() + u'|' +
                            frm.STD2txt->text() + u'|' + frm.STV2txt->text() + u'|' +
                            frm.FrecMaxLbl->text() + u'|' + frm.FrecSMaxLBL->text() + u'|' +
                            frm.NhojasLb->text();
            };
            texts();
            const ReviewLayout& l = frm.layoutMetrics();
            const int m = timeAxis(480).minutes;
            const QPoint hr1(timeToX(l.chart(1), 160, m), valueToY(l.chart(1), 100, {20, 220}) - 7);
            const QPoint hr2(timeToX(l.chart(1), 320, m), valueToY(l.chart(1), 120, {20, 220}) - 7);
            click(frm.RetroEtapaBut);
            QCOMPARE(frm.review().currentRecord(), 1);
            click(frm.AvanzaEtapaBut);
            oldMarker = at(frm.canvas(), hr1.x(), hr1.y());
            newMarker = at(frm.canvas(), hr2.x(), hr2.y());
            click(frm.AvanzaEtapaBut);
            click(frm.AvanzaEtapaBut);
            QCOMPARE(frm.review().currentRecord(), 3);
            texts();

            // Typing enables "Corregir"; a value above the limit empties the edit.
            corregir << frm.CorregBut->isEnabled();
            typeInto(frm.PresSistEd, u"251"_s);
            corregir << frm.CorregBut->isEnabled();
            seen << frm.PresSistEd->text();
            typeInto(frm.PresSistEd, u"250"_s);
            typeInto(frm.FreCarEd, u"301"_s);
            seen << frm.FreCarEd->text();
            typeInto(frm.FreCarEd, u"160"_s);
            click(frm.CorregBut);
            corregir << frm.CorregBut->isEnabled();
            texts();
            click(frm.ImprimirChk); // record 3 unmarked
            click(frm.RetroEtapaBut);
            click(frm.ImprimirChk); // record 2 marked
            click(frm.OkBut);
        });
        QCOMPARE(frm.OpenStudyReview(kNunez, u"2007.1.1"_s, u"05/03/2007"_s, flags,
                                     u"0001_002.est"_s, m_tmp.path()),
                 0);
        QVERIFY(messages.shown.isEmpty());
        QCOMPARE(seen.value(0),
                 u"Estudio de archivo: 0001_002.est, Ana  05/03/2007|Protocolo: Bruce|"
                 "1º Etapa (Basal)|Tpo. Parcial: 02:40|Tipo: Automático|ITT: 15000|"
                 "-0.125|---|Frec. Máxima: 173|Frec. Sub Máxima: 147|"
                 "Se imprimirá 1 hoja"_s);
        QVERIFY(seen.value(1).contains(u"|3º Etapa (Ejercicio)|Tpo. Parcial: 08:00|Tipo: Manual|"
                                       "ITT: 23800|"_s));
        QCOMPARE(seen.mid(2, 2), (QStringList{QString(), QString()}));
        QVERIFY(seen.value(4).contains(u"|ITT: 40000|"_s));
        QCOMPARE(corregir, (QList<bool>{false, true, false}));
        // The marker moved without the curves being drawn again.
        QCOMPARE(oldMarker, 0xFFFFFFu);
        QCOMPARE(newMarker, 0x000080u);
        QCOMPARE(flags.to_ulong(), 0b100ul);
    }
    void olderPatientsAndMissingStudies()
    {
        const QString path = m_tmp.filePath(u"0001_003.est"_s);
        writeFile(path, encodeStudy(reviewProtocol(), workedRecords(), false));
        FakeMessages messages;
        TEstudioExistFrm frm(messages, [] { return kToday; });
        std::bitset<kPrintSelectionSize> flags;
        QString st;
        bool enabled = true;
        auto files = std::make_shared<FakeFiles>();
        files->answers = {QString(), m_tmp.filePath(u"no-existe/b.edf"_s)};
        frm.setFileDialogs(files);
        whileShown(frm, [&] {
            typeInto(frm.PresSistEd, u"200"_s);
            click(frm.AngorChk);
            enabled = frm.CorregBut->isEnabled();
            st = frm.STD2txt->text() + frm.STV5txt->text();
            // The canvas's menu offers the export: cancelled, then refused by the folder.
            QTimer::singleShot(0, &frm, [] {
                if (QWidget* menu = QApplication::activePopupWidget())
                    menu->close();
            });
            QContextMenuEvent menu(QContextMenuEvent::Mouse, {9, 9}, frm.mapToGlobal(QPoint(9, 9)));
            QCoreApplication::sendEvent(&frm, &menu);
            frm.ExportarEDFClick();
            frm.ExportarEDFClick();
        });
        QCOMPARE(frm.OpenStudyReview(kNunez, u"2007.1.0"_s, u"05/03/2007"_s, flags,
                                     u"0001_003.est"_s, m_tmp.path()),
                 0);
        QVERIFY(!enabled);
        QCOMPARE(st, u"------"_s);

        // A name that would leave the folder is never opened.
        whileShown(frm, [] {});
        const QString outside = u"../"_s + QFileInfo(m_tmp.path()).fileName() + u"/0001_003.est"_s;
        QCOMPARE(frm.OpenStudyReview(kNunez, u"2007.1.0"_s, {}, flags, outside, m_tmp.path()), 1);
        const QStringList lines = messages.lines();
        QVERIFY2(lines.value(0).startsWith(u"error: "_s) && lines[0].contains(u"b.edf"_s),
                 qPrintable(lines.value(0)));
        QCOMPARE(lines.mid(1),
                 QStringList{
                     u"error: Problemas para abrir el archivo de estudio.Posiblemente dañado"_s});
    }

private:
    QTemporaryDir m_tmp;
};

QTEST_MAIN(TestRecordWindows)
#include "tst_recordwindows.moc"

#include "Fixtures.h"
#include "TestSupport.h"
#include "common/FileError.h"
#include "common/Version.h"
#include "records/StudyCharts.h"
#include "records/StudyFile.h"
#include "records/StudyReview.h"
#include "records/TAbrirEstfrm.h"
#include "records/TAbrirPacfrm.h"
#include "records/TEstudioExistFrm.h"
#include "records/TPacfrm.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <optional>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

const QDate kToday(2007, 3, 5);
const QString kNew = kSoftwareVersion;
const QString kOld = u"2007.1.0"_s; // records without ST levels

// patient-accented.DAT, 225 bytes, unused string bytes zero:
//   0 string[30] "María José"   31 string[30] "Peña Ibáñez" (í é ñ á single bytes)
//  62 u8 163   63 string[10] "05/11/1958"   74 u8 0 (female)
//  75 string[100] "2007.1.1"   176 u8 2
// 177 "0001_001.est" "12/03/2007"   201 "0001_002.est" "14/03/2007"
QByteArray accented()
{
    return readFile(QStringLiteral(ESF_TEST_DATA "/patient-accented.DAT"));
}

// The accented header with the given count, followed by one entry per study name.
QByteArray accentedWith(std::uint8_t count, const QStringList& studies)
{
    QByteArray bytes = accented().left(kPatientHeaderSize);
    bytes[kPatientHeaderSize - 1] = static_cast<char>(count);
    for (const QString& s : studies)
        bytes += encodeString(s, 12) + encodeString(u"01/01/2007"_s, 10);
    return bytes;
}

// Every field distinct per seed, so a record read from the wrong place cannot pass.
StageRecord record(int seed)
{
    const auto u8 = [](int v) { return static_cast<std::uint8_t>(v); };
    StageRecord r{u8(seed % 2), 60 * seed + 7, u8(seed + 1), 0, 2,  0, 1,
                  80 + seed,    120 + seed,    90 + seed,    1, {}, {}};
    r.st = {0.1f * static_cast<float>(seed), -0.25f, kStNotMeasured};
    for (int l = 0; l < kLeadCount; ++l) {
        for (int k = 0; k < kStripLength; ++k)
            r.strip[static_cast<std::size_t>(l)].push_back(seed * 100000 + l * 10000 + k - 5000);
    }
    return r;
}

QByteArray encode(const StageRecord& r, bool withST)
{
    return encodeStudy(ProtocolRecord(), {r}, withST).mid(kProtocolRecordSize);
}

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

// The patient file with its study list and its windows, the study file, and the review of a
// study with its window.
class TestRecords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_tmp.emplace(); }
    void patientRoundTripIsByteExactAndReadsWholeEntries()
    {
        const QByteArray original = accented();
        QCOMPARE(original.size(), 225);
        const QString in = path(u"in.DAT"_s);
        writeFile(in, original);
        const PatientHeader h = readPatientHeader(in);
        QCOMPARE(h.data, (PatientData{u"María José"_s, u"Peña Ibáñez"_s, 163, u"05/11/1958"_s, 0}));
        QCOMPARE(h.version, u"2007.1.1"_s);
        QCOMPARE(h.studyCount, 2);
        const QList<StudyEntry> list = readStudyEntries(in);
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[1], (StudyEntry{u"0001_002.est"_s, u"14/03/2007"_s}));

        const QString out = path(u"out.DAT"_s);
        writePatientHeader(out, h.data, h.studyCount);
        QCOMPARE(readFile(out), original.left(kPatientHeaderSize));
        QVERIFY(readStudyEntries(out).isEmpty());

        // A torn last entry is ignored; a short or missing header is an error.
        writeFile(path(u"torn.DAT"_s), original.left(kPatientHeaderSize + kStudyEntrySize + 13));
        QCOMPARE(readStudyEntries(path(u"torn.DAT"_s)), list.first(1));
        writeFile(path(u"short.DAT"_s), original.left(kPatientHeaderSize - 1));
        for (const QString& name : {u"short.DAT"_s, u"none.DAT"_s}) {
            QVERIFY_THROWS_EXCEPTION(FileError, readPatientHeader(path(name)));
            QVERIFY_THROWS_EXCEPTION(FileError, readStudyEntries(path(name)));
        }

        // A rewrite keeps the study list, cuts the names and stamps this version.
        QByteArray old = original;
        old.replace(76, 8, "2004.2.0");
        const QString p = path(u"p.DAT"_s);
        writeFile(p, old);
        const QString thirty = u"Ñ"_s.repeated(30);
        writePatientHeader(p, {thirty, thirty + u"xyz"_s, 201, u"29/02/1960"_s, 1}, 3);
        const QByteArray now = readFile(p);
        QCOMPARE(now.size(), old.size());
        QCOMPARE(now.mid(kPatientHeaderSize), old.mid(kPatientHeaderSize));
        const PatientHeader rewritten = readPatientHeader(p);
        QCOMPARE(rewritten.data, (PatientData{thirty, thirty, 201, u"29/02/1960"_s, 1}));
        QCOMPARE(rewritten.version, u"2007.1.1"_s);
        QCOMPARE(rewritten.studyCount, 3);
    }
    void ageVersionGatesAndTexts()
    {
        QCOMPARE(patientAge(u"01/01/2000"_s, {2009, 12, 29}), 10); // 3650 days
        QCOMPARE(patientAge(u"01/01/2000"_s, {2009, 12, 28}), 9);
        for (const QString& broken : {u"31/02/2000"_s, u"  /  /    "_s, u"01-01-2000"_s})
            QCOMPARE(patientAge(broken, {2009, 12, 29}), 0);
        // Rounded in the review, where the header truncates: 40.501 years are 41.
        QCOMPARE(reviewAge(u"01/01/1960"_s, QDate(1960, 1, 1).addDays(365 * 40 + 183)), 41);
        QCOMPARE(reviewAge(u"31/02/1960"_s, {1960, 1, 1}), 0);
        // Leading digits of a typed value, at most what an int holds.
        QCOMPARE(leadingInteger(u"  125abc"_s), 125);
        QCOMPARE(leadingInteger(u"99999999999999"_s), 2147483647);

        // Above 2007.1.0 byte for byte, and a four-digit year in front.
        QVERIFY(versionAllowsNewStudy(u"2007.1.0.1"_s) && !versionAllowsNewStudy(u"3"_s));
        // Bytes compare unsigned: é (0xE9) is above every ASCII letter.
        QVERIFY(versionGreaterThan(u"2007.é"_s, u"2007.z"_s));
        QVERIFY(usesOldProtocolHeader(u"2004.1.9"_s) && !usesOldProtocolHeader(u"2004"_s));
    }
    void patientDeletionStaysInsideTheFolder()
    {
        QVERIFY(dir().mkdir(u"work"_s));
        QDir work(path(u"work"_s));
        // Count 3, entries read to the end of the file; hostile names never reach the disk.
        writeFile(
            work.filePath(u"00000001.dat"_s),
            accentedWith(3, {u"0001_001.est"_s, u"0001_002.est"_s, u"0001_003.est"_s, u"../x.est"_s,
                             u"/etc/passwd"_s, u"a\\b.est"_s, u"00000002.DAT"_s, u".est"_s}));
        QStringList kept = {u"a\\b.est"_s, u"a\\b.INF"_s, u"00000002.DAT"_s, u".INF"_s,
                            u"0001_009.est"_s};
        for (const QString& name :
             kept + QStringList{u"0001_001.est"_s, u"0001_001.inf"_s, u"0001_002.EST"_s})
            writeFile(work.filePath(name), "x");
        writeFile(path(u"x.est"_s), "x");
        writeFile(path(u"x.INF"_s), "x");

        deletePatientFiles(work, u"00000001.DAT"_s);
        QStringList left = work.entryList(QDir::Files | QDir::Hidden);
        left.sort();
        kept.sort();
        QCOMPARE(left, kept);
        QCOMPARE(dir().entryList(QDir::Files, QDir::Name), QStringList({u"x.INF"_s, u"x.est"_s}));

        deletePatientFiles(work, u"00000001.DAT"_s); // already gone: nothing to do
        QVERIFY_THROWS_EXCEPTION(FileError, deletePatientFiles(work, u"../x.est"_s));
        QVERIFY(dir().exists(u"x.est"_s));

        // A count of 0 deletes no study; an unreadable header stops before anything is deleted.
        writeFile(work.filePath(u"00000003.DAT"_s), accentedWith(0, {u"0001_009.est"_s}));
        writeFile(work.filePath(u"00000004.DAT"_s), accentedWith(1, {}).left(50));
        deletePatientFiles(work, u"00000003.DAT"_s);
        QVERIFY(!work.exists(u"00000003.DAT"_s) && work.exists(u"0001_009.est"_s));
        QVERIFY_THROWS_EXCEPTION(FileError, deletePatientFiles(work, u"00000004.DAT"_s));
        QVERIFY(work.exists(u"00000004.DAT"_s));
    }
    void stageRecordLayout()
    {
        StageRecord r = record(3);
        r.heartRate = -2;
        r.strip[2].resize(10); // missing samples are written as 0
        const QByteArray b = encode(r, true);
        QCOMPARE(b.size(), 24051);
        QCOMPARE(encode(r, false), b.left(kOldStageRecordSize));
        // kind, elapsed 187, stage 4, lead set, gain 2, speed, filter 1, 83, 123, -2, 0, angina 1
        QCOMPARE(b.left(27), QByteArray::fromHex("01bb000000040002000153000000"
                                                 "7b000000feffffff0000000001"));
        QCOMPARE(readI32(b.data() + 27), 300000 - 5000);
        QCOMPARE(readI32(b.data() + 27 + 2001 * 4), 310000 - 5000);
        QCOMPARE(readI32(b.data() + 27 + 4002 * 4 + 9 * 4), 320000 + 9 - 5000);
        QCOMPARE(b.mid(27 + 4002 * 4 + 10 * 4, 1991 * 4), QByteArray(1991 * 4, '\0'));
        QCOMPARE(b.mid(24039 + 4, 8), QByteArray::fromHex("000080be00007ac4")); // -0.25, -1000

        QBuffer buf;
        buf.setData(b + b.left(kOldStageRecordSize - 1));
        buf.open(QIODevice::ReadOnly);
        LeReader in(buf, QString());
        r.strip[2].resize(kStripLength, 0);
        QCOMPARE(readStageRecord(in, true), r);
        QVERIFY_THROWS_EXCEPTION(FileError, readStageRecord(in, false));

        QCOMPARE(studyFileName(u"00000123.DAT"_s, 7), u"0123_007.est"_s);
        QCOMPARE(reportFileName(u"0012_003.est"_s), u"0012_003.INF"_s);
    }
    void studyLifecycle()
    {
        const QString pat = path(u"00000012.DAT"_s);
        writePatient(pat, kNunez, 2, {u"0012_001.est|01/01/2007"_s});
        appendFile(pat, "torn"); // an entry cut short must not shift the new one
        StudySession session{u"00000012.DAT"_s, 2, kNew, true, {}, {}};
        const auto save = [&](int seed) {
            saveStageRecord(dir(), session, reviewProtocol(), record(seed),
                            kToday.addDays(seed - 1));
        };

        save(1);
        QCOMPARE(session.studyFileName, u"0012_002.est"_s);
        QCOMPARE(session.studyDate, u"05/03/2007"_s);
        QVERIFY(!session.newStudyPending);
        const QString study = path(session.studyFileName);
        QCOMPARE(readFile(study), encodeProtocol(reviewProtocol()) + encode(record(1), true));
        const QByteArray registered = readFile(pat);
        QCOMPARE(registered.size(), kPatientHeaderSize + 2 * kStudyEntrySize);
        QCOMPARE(registered[kPatientHeaderSize - 1], '\2');
        QCOMPARE(readStudyEntries(pat).last(), (StudyEntry{u"0012_002.est"_s, u"05/03/2007"_s}));

        save(2);
        QCOMPARE(session.studyDate, u"06/03/2007"_s);
        StudyRead r = readStudyRecord(study, 3, kNew);
        QVERIFY(r.atEnd && !r.error && r.recordsRead == 2 && r.protocol == reviewProtocol());
        QCOMPARE(r.record, record(2));
        QCOMPARE(r.previousElapsed, record(1).elapsed);
        r = readStudyRecord(study, 0, kNew);
        QVERIFY(!r.atEnd && !r.error && r.recordsRead == 0 && r.protocol == reviewProtocol());
        r = readStudyRecord(path(u"none.est"_s), 1, kNew);
        QVERIFY(r.error && r.recordsRead == 0);

        for (int seed = 3; seed <= 5; ++seed)
            save(seed);
        QCOMPARE(readFile(pat).mid(kPatientHeaderSize), registered.mid(kPatientHeaderSize));
        QCOMPARE(QFileInfo(study).size(), 120643);

        // A power cut inside a record: the reader stops before it, the next save cuts it off.
        appendFile(study, encode(record(6), true).left(5000));
        r = readStudyRecord(study, 6, kNew);
        QVERIFY(r.error && r.recordsRead == 5 && r.record == record(5));
        save(7);
        QCOMPARE(QFileInfo(study).size(), kProtocolRecordSize + 6 * kStageRecordSize);
        r = readStudyRecord(study, 6, kNew);
        QVERIFY(r.atEnd && !r.error && r.recordsRead == 6 && r.record == record(7));

        // No patient file, or no study to write to: refused, and nothing is created.
        StudySession none{u"00000099.DAT"_s, 1, kNew, true, {}, {}};
        QVERIFY_THROWS_EXCEPTION(FileError,
                                 saveStageRecord(dir(), none, reviewProtocol(), record(1), kToday));
        session.studyFileName = u"../x.est"_s;
        QVERIFY_THROWS_EXCEPTION(FileError, save(1));
        QCOMPARE(dir().entryList(QDir::Files).size(), 2);
    }
    void collidingStudyNameMovesToAFreeNumber()
    {
        writePatient(path(u"00000012.DAT"_s), kNunez, 1, {u"0012_001.est|01/01/2007"_s});
        writeFile(path(u"0012_001.est"_s), "theirs");
        writeFile(path(u"0012_002.EST"_s), "theirs too");
        writeFile(path(u"0012_003.inf"_s), "their report");
        const QString mine = path(u"00010012.DAT"_s);
        writePatient(mine, kNunez, 1);
        StudySession session{u"00010012.DAT"_s, 1, kNew, true, {}, {}};
        saveStageRecord(dir(), session, reviewProtocol(), record(1), kToday);
        QCOMPARE(session.studyFileName, u"0012_004.est"_s);
        QCOMPARE(readStudyEntries(mine), (QList<StudyEntry>{{u"0012_004.est"_s, u"05/03/2007"_s}}));
        QCOMPARE(readFile(path(u"0012_001.est"_s)), QByteArray("theirs"));
        QCOMPARE(QFileInfo(path(u"0012_004.est"_s)).size(), kProtocolRecordSize + kStageRecordSize);

        // Every number up to 999 taken: refused before the entry is written.
        writeFile(path(u"0012_999.est"_s), "x");
        StudySession full{u"00010012.DAT"_s, 255, kNew, true, {}, {}};
        for (int n = 255; n < 999; ++n)
            writeFile(path(studyFileName(u"00010012.DAT"_s, n)), "x");
        const QByteArray before = readFile(mine);
        QVERIFY_THROWS_EXCEPTION(FileError,
                                 saveStageRecord(dir(), full, reviewProtocol(), record(1), kToday));
        QVERIFY(full.newStudyPending);
        QCOMPARE(readFile(mine).size(), before.size());
    }
    void reviewLayoutOfTheWorkedExample()
    {
        const ReviewLayout l = reviewLayout(1000, 700);
        QCOMPARE(l.chartSide, 200);
        QCOMPARE(l.gap, 40);
        QCOMPARE(l.chartTop, 35);
        QCOMPARE(l.chartLeft, (std::array<int, 4>{40, 280, 520, 760}));
        QCOMPARE(l.chart(3), (ChartBox{760, 35, 960, 235}));
        QCOMPARE(l.strips, (ChartBox{280, 350, 980, 630}));
        QCOMPARE(l.stripRows, 20);
        QCOMPARE(l.stripRange, 1400);
        // 0.02 × 1010 is 20.2; every share is rounded on its own.
        QCOMPARE(reviewLayout(1010, 707).strips, (ChartBox{283, 354, 990, 637}));

        const ChartBox pressure = l.chart(0);
        const ChartBox rate = l.chart(1);
        QCOMPARE(valueToY(rate, 250, {20, 220}), rate.top);
        QCOMPARE(valueToY(rate, 120, {20, 220}), rate.bottom - 100);
        QCOMPARE(valueToY(pressure, 40, {50, 250}), pressure.bottom);
        // 0.5 of a pixel goes to even: 2500 × 200 / 40000 is 12.5.
        QCOMPARE(valueToY(l.chart(2), 2500, {0, 40000}), l.chart(2).bottom - 12);
        QCOMPARE(timeToX(rate, 270, 9), rate.left + 100);

        // 8 minutes: nine columns; 20: a 21-minute scale in steps of 2 (2.5 to even); 30 s: one.
        QCOMPARE(timeAxis(480).columns(), 9);
        const TimeAxis twenty = timeAxis(1200);
        QVERIFY(twenty.minutes == 21 && twenty.step == 2 && twenty.columns() == 10);
        QCOMPARE(timeAxis(30).minutes, 1);
        // 10 records with 3 marked print on 2 pages, with 2 marked on one; 30 with 6 on 3.
        QCOMPARE(printPagesText(printPages(3, 10)), u"Se imprimirán 2 hojas"_s);
        QCOMPARE(printPagesText(printPages(2, 10)), u"Se imprimirá 1 hoja"_s);
        QCOMPARE(printPages(6, 30), 3);
        QCOMPARE(printPages(6, 23), 2); // N = 24: six less one
        QCOMPARE(printPages(6, 24), 3); // N = 25: all six
    }
    void reviewCorrectionsAndVersionGates()
    {
        const QString study = path(u"0002_001.est"_s);
        const QByteArray original = encodeStudy(reviewProtocol(), reviewRecords(60));
        writeFile(study, original);
        StudyReview r;
        QVERIFY(r.open(study, kNew) && r.canCorrect());
        r.next();
        r.correct(180, 95, 150, true);
        QCOMPARE(r.current().itt(), 27000);
        // Only diastolic, systolic, heart rate and angina of record 2 change on disk.
        QByteArray corrected = original;
        const int at = kProtocolRecordSize + kStageRecordSize;
        corrected.replace(at + 10, 12, QByteArray::fromHex("5f000000b400000096000000"));
        corrected[at + 26] = '\1';
        QCOMPARE(readFile(study), corrected);
        for (int n : {0, 61})
            QVERIFY_THROWS_EXCEPTION(FileError, rewriteStageValues(study, n, 1, 1, 1, 1));
        QVERIFY_THROWS_EXCEPTION(FileError, rewriteStageValues(path(u"n.est"_s), 1, 1, 1, 1, 1));
        QVERIFY(!QFile::exists(path(u"n.est"_s)));
        QCOMPARE(readFile(study), corrected);
        // A failed write changes nothing, on disk or on screen.
        const QByteArray cut = corrected.left(at + 100);
        writeFile(study, cut);
        QVERIFY_THROWS_EXCEPTION(FileError, r.correct(100, 60, 70, false));
        QCOMPARE(readFile(study), cut);
        QCOMPARE(r.current().systolic, 180);
        // Print marks: only records 1 to 50 have a flag.
        r.goTo(51);
        r.setMarked(true);
        QVERIFY(!r.canMark() && !r.marked());

        // Older patients' records have no ST levels; they are never written to.
        const QString old = path(u"0003_001.est"_s);
        const QByteArray oldBytes = encodeStudy(reviewProtocol(), reviewRecords(2), false);
        writeFile(old, oldBytes);
        QVERIFY(r.open(old, kOld) && !r.canCorrect());
        r.correct(200, 100, 100, true);
        QCOMPARE(readFile(old), oldBytes);
    }
    // A date that is not acceptable keeps the focus when the field is left and on Ok; a height
    // above what its byte holds takes it.
    void patientDialogKeepsTheFocus()
    {
        TPacfrm dlg([] { return QDate(2009, 12, 29); });
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
        const QString path = m_tmp->filePath(u"00000012.DAT"_s);
        writePatient(path, {u"María José"_s, u"Peña Ibáñez"_s, 163, u"05/11/1958"_s, 0}, 6,
                     {u"0012_001.est|12/03/2007"_s, u"../0012_002.|13/03/2007"_s,
                      u"0012_003.EST|14/03/2007"_s, u"00000004.DAT|15/03/2007"_s,
                      u"0012_005.est"_s});
        const QString shortHeader = m_tmp->filePath(u"00000013.DAT"_s);
        writeFile(shortHeader, readFile(path).left(kPatientHeaderSize - 1));
        TAbrirPacfrm patients;
        const auto row = [&](const QString& file) {
            return patients.ListPac->findItems(file, Qt::MatchEndsWith).value(0);
        };
        whileShown(patients, [&] { doubleClick(patients.ListPac, row(u"@00000012.DAT"_s)); });
        PatientListing chosen;
        QVERIFY(patients.ChoosePatient(u"Elegir paciente"_s, QDir(m_tmp->path()), chosen));
        QCOMPARE(chosen.fileName, u"00000012.DAT"_s);
        // A damaged file never becomes the chosen patient.
        whileShown(patients, [&] {
            patients.ListPac->setCurrentItem(row(u"@00000013.DAT"_s));
            patients.OKBtn->click();
        });
        QVERIFY(!patients.ChoosePatient(u"Elegir paciente"_s, QDir(m_tmp->path()), chosen));
        QVERIFY(!patients.ChoosePatient({}, QDir(m_tmp->filePath(u"missing"_s)), chosen));
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
    }
    void canvasOfTheWorkedExample()
    {
        const QString path = m_tmp->filePath(u"0001_001.est"_s);
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
    }
    void windowStepsCorrectsAndMarks()
    {
        const QString path = m_tmp->filePath(u"0001_002.est"_s);
        writeFile(path, encodeStudy(reviewProtocol(), workedRecords()));
        FakeMessages messages;
        TEstudioExistFrm frm(messages, [] { return kToday; });
        frm.setRateFormula(1, 0);
        std::bitset<kPrintSelectionSize> flags;
        flags.set(3);
        QStringList seen;
        QList<bool> corregir;
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
            click(frm.RetroEtapaBut);
            QCOMPARE(frm.review().currentRecord(), 1);
            click(frm.AvanzaEtapaBut);
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
                                     u"0001_002.est"_s, m_tmp->path()),
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
        QCOMPARE(flags.to_ulong(), 0b100ul);
    }
    void olderPatientsAndStudiesOutsideTheFolder()
    {
        const QString path = m_tmp->filePath(u"0001_003.est"_s);
        writeFile(path, encodeStudy(reviewProtocol(), workedRecords(), false));
        FakeMessages messages;
        TEstudioExistFrm frm(messages, [] { return kToday; });
        std::bitset<kPrintSelectionSize> flags;
        QString st;
        bool enabled = true;
        auto files = std::make_shared<FakeFiles>();
        files->answers = {QString(), m_tmp->filePath(u"no-existe/b.edf"_s)};
        frm.setFileDialogs(files);
        whileShown(frm, [&] {
            typeInto(frm.PresSistEd, u"200"_s);
            click(frm.AngorChk);
            enabled = frm.CorregBut->isEnabled();
            st = frm.STD2txt->text() + frm.STV5txt->text();
            // The export: cancelled, then refused by the folder.
            frm.ExportarEDFClick();
            frm.ExportarEDFClick();
        });
        QCOMPARE(frm.OpenStudyReview(kNunez, u"2007.1.0"_s, u"05/03/2007"_s, flags,
                                     u"0001_003.est"_s, m_tmp->path()),
                 0);
        QVERIFY(!enabled);
        QCOMPARE(st, u"------"_s);

        // A name that would leave the folder is never opened.
        whileShown(frm, [] {});
        const QString outside = u"../"_s + QFileInfo(m_tmp->path()).fileName() + u"/0001_003.est"_s;
        QCOMPARE(frm.OpenStudyReview(kNunez, u"2007.1.0"_s, {}, flags, outside, m_tmp->path()), 1);
        const QStringList lines = messages.lines();
        QVERIFY2(lines.value(0).startsWith(u"error: "_s) && lines[0].contains(u"b.edf"_s),
                 qPrintable(lines.value(0)));
        QCOMPARE(lines.mid(1),
                 QStringList{
                     u"error: Problemas para abrir el archivo de estudio.Posiblemente dañado"_s});
    }

private:
    QString path(const QString& name) const { return m_tmp->filePath(name); }
    QDir dir() const { return QDir(m_tmp->path()); }
    std::optional<QTemporaryDir> m_tmp;
};

QTEST_MAIN(TestRecords)
#include "tst_records.moc"

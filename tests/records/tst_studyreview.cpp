#include "StudyFixture.h"
#include "TestFiles.h"
#include "common/FileError.h"
#include "records/StudyFile.h"
#include "records/StudyReview.h"

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

const QString kNew = u"2007.1.1"_s;
const QString kOld = u"2007.1.0"_s;

} // namespace

class TestStudyReview : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void layoutOfTheWorkedExample();
    void timeAxis_data();
    void timeAxis();
    void valuesAreClampedIntoTheCharts();
    void pageCount_data();
    void pageCount();
    void recordTexts();
    void steppingStaysWithinTheRecords();
    void correctionsAndVersionGates();

private:
    QTemporaryDir m_tmp;
};

void TestStudyReview::layoutOfTheWorkedExample()
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
}

void TestStudyReview::timeAxis_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("columns");
    QTest::newRow("8 min") << 480 << 9 << 1 << 9;
    QTest::newRow("20 min, 2.5 to even") << 1200 << 21 << 2 << 10;
    QTest::newRow("within 30 s") << 30 << 1 << 1 << 1;
    QTest::newRow("half a minute to even") << 90 << 3 << 1 << 3;
    QTest::newRow("damaged negative") << -500 << 1 << 1 << 1;
    QTest::newRow("damaged huge, a day at most") << 2000000000 << 1441 << 180 << 8;
}

void TestStudyReview::timeAxis()
{
    QFETCH(int, total);
    const TimeAxis a = esf::timeAxis(total);
    QTEST(a.minutes, "minutes");
    QTEST(a.step, "step");
    QTEST(a.columns(), "columns");
}

void TestStudyReview::valuesAreClampedIntoTheCharts()
{
    const ReviewLayout l = reviewLayout(1000, 700);
    const ChartBox pressure = l.chart(0);
    const ChartBox rate = l.chart(1);
    QCOMPARE(valueToY(rate, 250, {20, 220}), rate.top);
    QCOMPARE(valueToY(rate, 120, {20, 220}), rate.bottom - 100);
    QCOMPARE(valueToY(pressure, 40, {50, 250}), pressure.bottom);
    QCOMPARE(valueToY(pressure, std::nan(""), {50, 250}), pressure.bottom);
    QCOMPARE(valueToY(l.chart(2), -2147483647.0, {0, 40000}), l.chart(2).bottom);
    // 0.5 of a pixel goes to even: 45 × 200 / 40000 is 0.225, 2500 × 200 / 40000 is 12.5.
    QCOMPARE(valueToY(l.chart(2), 2500, {0, 40000}), l.chart(2).bottom - 12);
    QCOMPARE(timeToX(rate, 270, 9), rate.left + 100);
    QCOMPARE(timeToX(rate, 100000, 9), rate.right);
    QCOMPARE(timeToX(rate, -60, 9), rate.left);
}

void TestStudyReview::pageCount_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("marked");
    QTest::addColumn<QString>("text");
    QTest::newRow("10 records, 3 marked") << 10 << 3 << u"Se imprimirán 2 hojas"_s;
    QTest::newRow("10 records, 2 marked") << 10 << 2 << u"Se imprimirá 1 hoja"_s;
    QTest::newRow("30 records, 6 marked") << 30 << 6 << u"Se imprimirán 3 hojas"_s;
    QTest::newRow("N = 24, six less one") << 23 << 6 << u"Se imprimirán 2 hojas"_s;
    QTest::newRow("N = 25, five") << 24 << 5 << u"Se imprimirán 2 hojas"_s;
}

void TestStudyReview::pageCount()
{
    QFETCH(int, records);
    QFETCH(int, marked);
    QTEST(printPagesText(printPages(marked, records)), "text");
}

void TestStudyReview::recordTexts()
{
    QCOMPARE(stLevelText(0.2f, kOld), u"---"_s);
    QCOMPARE(stLevelText(12.34567f, u"2008.1"_s), u"12.346"_s);
    QCOMPARE(stLevelText(std::numeric_limits<float>::quiet_NaN(), kNew), u"---"_s);
    QCOMPARE(leadingInteger(u"  125abc"_s), 125);
    QCOMPARE(leadingInteger(u"x9"_s), 0);
    QCOMPARE(leadingInteger(u"99999999999999"_s), 2147483647);
    // Rounded, where the header truncates: 40.501 years are 41.
    const QDate birth(1960, 1, 1);
    QCOMPARE(reviewAge(u"01/01/1960"_s, birth.addDays(365 * 40 + 183)), 41);
    QCOMPARE(reviewAge(u"31/02/1960"_s, birth), 0);
}

void TestStudyReview::steppingStaysWithinTheRecords()
{
    const QString path = m_tmp.filePath(u"0001_001.est"_s);
    const QByteArray three = encodeStudy(reviewProtocol(), reviewRecords(3));
    // A power cut inside a fourth record: it is never shown.
    writeFile(path, three + encodeStudy(reviewProtocol(), reviewRecords(4)).right(700));
    StudyReview r;
    QVERIFY(r.open(path, kNew));
    QCOMPARE(r.recordsInStudy(), 3);
    QVERIFY(r.trend().tornTail);
    QCOMPARE(r.totalTime(), 180);
    QCOMPARE(r.currentRecord(), 1);
    QVERIFY(!r.previous());
    QCOMPARE(r.currentRecord(), 1);
    QVERIFY(r.next() && r.next());
    QCOMPARE(r.current(), reviewRecord(3));
    QVERIFY(r.currentReadable());
    QVERIFY(!r.next());
    QCOMPARE(r.currentRecord(), 3);
    QVERIFY(r.previous());
    QCOMPARE(r.current().elapsed, 120);

    // Header only, or no file: nothing to show, and never a record 0 or a crash.
    writeFile(path, three.left(kProtocolRecordSize + 10));
    QVERIFY(!r.open(path, kNew));
    QCOMPARE(r.currentRecord(), 0);
    QVERIFY(!r.next() && !r.previous());
    QVERIFY(!r.open(m_tmp.filePath(u"none.est"_s), kNew));

    // More records than a byte can count.
    writeFile(path, encodeStudy(reviewProtocol(), reviewRecords(300, 5)));
    QVERIFY(r.open(path, kNew));
    r.goTo(1000);
    QCOMPARE(r.currentRecord(), 300);
    QCOMPARE(r.current().elapsed, 1500);
}

void TestStudyReview::correctionsAndVersionGates()
{
    const QString path = m_tmp.filePath(u"0002_001.est"_s);
    const QByteArray original = encodeStudy(reviewProtocol(), reviewRecords(60));
    writeFile(path, original);
    StudyReview r;
    QVERIFY(r.open(path, kNew) && r.canCorrect());
    r.next();
    r.correct(180, 95, 150, true);
    QCOMPARE(r.currentRecord(), 2);
    QCOMPARE(r.current().systolic, 180);
    QCOMPARE(r.trend().records[1].heartRate, 150);
    QCOMPARE(r.current().itt(), 27000);
    QCOMPARE(r.current().angina, 1);
    const QByteArray corrected = readFile(path);
    const int at = kProtocolRecordSize + kStageRecordSize;
    QCOMPARE(corrected.left(at + 10), original.left(at + 10));
    QCOMPARE(corrected.mid(at + 27), original.mid(at + 27));

    // A failed write names the file and changes nothing, on disk or on screen.
    const QByteArray cut = corrected.left(at + 100);
    writeFile(path, cut);
    try {
        r.correct(100, 60, 70, false);
        QFAIL("the write was not refused");
    } catch (const FileError& e) {
        QVERIFY(e.message().contains(u"0002_001.est"_s));
    }
    QCOMPARE(readFile(path), cut);
    QCOMPARE(r.current().systolic, 180);
    writeFile(path, corrected);

    // Print marks: only records 1 to 50 have a flag.
    r.goTo(50);
    r.setMarked(true);
    r.goTo(51);
    QVERIFY(!r.canMark());
    r.setMarked(true);
    QVERIFY(!r.marked());
    QCOMPARE(r.printFlags.count(), 1u);
    QCOMPARE(r.pages(), 2);

    // Older patients' records have no ST levels; they are never written to.
    const QString old = m_tmp.filePath(u"0003_001.est"_s);
    const QByteArray oldBytes = encodeStudy(reviewProtocol(), reviewRecords(2), false);
    writeFile(old, oldBytes);
    QVERIFY(r.open(old, kOld));
    QVERIFY(!r.canCorrect());
    QCOMPARE(r.recordsInStudy(), 2);
    r.correct(200, 100, 100, true);
    QCOMPARE(readFile(old), oldBytes);
}

QTEST_GUILESS_MAIN(TestStudyReview)
#include "tst_studyreview.moc"

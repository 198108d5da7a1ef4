#include "TestFiles.h"
#include "common/BinaryIO.h"
#include "common/FileError.h"
#include "protocol/ProtocolRecord.h"
#include "report/GraphicReport.h"
#include "report/PrintLayout.h"

#include <QBuffer>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

// Page geometry, table split, strip bands, plotting scale and the texts of the graphic report.
class TestPrintLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void geometry_data();
    void geometry();
    void timeAxisFromTheLastRecord();
    void valuesAreClampedToTheGraph();
    void tablesSplitByRecordCount_data();
    void tablesSplitByRecordCount();
    void stripsFillBandsThenNewPages();
    void tableCells();
    void stripTitles();
    void studyReading();
    void reportTextsAndStripsAfterTheFiftieth();
};

void TestPrintLayout::geometry_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<QList<int>>("expected"); // U G GW X1 X2 X3 X4 XR BH TW TX
    QTest::newRow("A4 300 dpi") << 2363 << 3392 << QList<int>{678,  95,   473, 95,   663, 1231,
                                                              1799, 2272, 610, 2030, 166};
    QTest::newRow("A4 600 dpi") << 4724 << 6783 << QList<int>{1356, 189,  945,  189,  1323, 2457,
                                                              3591, 4536, 1220, 4058, 333};
    QTest::newRow("Letter 600 dpi")
        << 4866 << 6366 << QList<int>{1273, 195, 973, 195, 1363, 2531, 3699, 4672, 1146, 4180, 343};
}

void TestPrintLayout::geometry()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QList<int>, expected);
    const PageGeometry g = pageGeometry(w, h);
    const QList<int> got{g.unit,         g.gap,          g.graph,        g.graphLeft[0],
                         g.graphLeft[1], g.graphLeft[2], g.graphLeft[3], g.right,
                         g.band,         g.stripWidth,   g.stripLeft};
    QCOMPARE(got, expected);
}

void TestPrintLayout::timeAxisFromTheLastRecord()
{
    const auto axis = [](int seconds) {
        const PrintTimeAxis a = printTimeAxis(seconds);
        return QList<int>{a.xmax, a.step, a.columns};
    };
    QCOMPARE(axis(90), (QList<int>{3, 1, 2})); // round(1.5) = 2, round(2.5) = 2
    QCOMPARE(axis(0), (QList<int>{1, 1, 1}));
    QCOMPARE(axis(1500), (QList<int>{26, 3, 8}));
    QCOMPARE(printTimeAxis(-3600).columns,
             0); // a damaged time draws no columns rather than crashing
}

void TestPrintLayout::valuesAreClampedToTheGraph()
{
    PlotScale pressure{0, 0, 200, 200, 0, 4, 50.0, 250.0};
    QCOMPARE(pressure.y(250), 0);
    QCOMPARE(pressure.y(280), 0); // 280/40 is drawn as 250/50
    QCOMPARE(pressure.y(40), 200);
    QCOMPARE(pressure.y(100), 150);
    PlotScale rate{0, 0, 200, 200, 0, 4, 20.0, 220.0};
    QCOMPARE(rate.y(230), rate.y(220));
    QCOMPARE(rate.y(0), 200); // the first segment starts from the graph's minimum
    QCOMPARE(rate.x(0), 0);
    QCOMPARE(rate.x(90), 75); // 1.5 of 4 minutes
    PlotScale itt{0, 0, 200, 200, 0, 4, 1.0, 40000.0};
    QCOMPARE(itt.y(0), itt.y(1));
    PlotScale flat{10, 0, 200, 200, 0, 0, 0.0, 0.0};
    QCOMPARE(flat.x(600), 10);
    QCOMPARE(flat.y(5), 200);
}

void TestPrintLayout::tablesSplitByRecordCount_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<QList<TableBand>>("expected");
    QTest::newRow("11") << 11 << QList<TableBand>{{1, 12, 2}};
    QTest::newRow("12") << 12 << QList<TableBand>{{1, 6, 2}, {6, 13, 3}};
    QTest::newRow("23") << 23 << QList<TableBand>{{1, 12, 2}, {12, 24, 3}};
    QTest::newRow("24") << 24 << QList<TableBand>{{1, 8, 2}, {8, 16, 3}, {16, 25, 4}};
}

void TestPrintLayout::tablesSplitByRecordCount()
{
    QFETCH(int, records);
    QFETCH(QList<TableBand>, expected);
    QCOMPARE(tableBands(records), expected);
}

void TestPrintLayout::stripsFillBandsThenNewPages()
{
    // One table: two strips on page 1 below it, the third starts page 2 at 0.1U.
    QCOMPARE(stripBands(2, {1, 4, 9}, 1000),
             (QList<StripBand>{{1, 0, 3, 3000}, {4, 0, 4, 4000}, {9, 1, 0, 100}}));
    const QList<StripBand> many = stripBands(4, {1, 2, 3, 4, 5, 6}, 1000);
    QCOMPARE(many[0], (StripBand{1, 1, 0, 100}));
    QCOMPARE(many[4], (StripBand{5, 1, 4, 4100}));
    QCOMPARE(many[5], (StripBand{6, 2, 0, 100}));
}

void TestPrintLayout::tableCells()
{
    ProtocolRecord p = ProtocolRecord::cleared();
    p.stageCount = 3;
    p.stages[2] = {3, StageType::Ejercicio, 180, 100.0f, 5.5f, 2.7f};
    const UnitTexts units{u"[Kgm]"_s, u"[mmHg]"_s, u"[Km/h]"_s, u"[Lpm]"_s, u"[%]"_s};
    StageRecord r;
    r.stage = 3;
    r.elapsed = 360;
    r.systolic = 150;
    r.diastolic = 85;
    r.heartRate = 120;
    r.st = {-0.125f, kStNotMeasured, 0.25f};

    p.device = Device::Cinta;
    QCOMPARE(
        stageTableCells(r, p, units, true),
        (QStringList{u"3º[06:00]"_s, u"150 [mmHg]"_s, u"85 [mmHg]"_s, u"120 [Lpm]"_s, u"18000"_s,
                     u"-"_s, u"05.5 [%]"_s, u"02.7 [Km/h]"_s, u"-0.125"_s, u"---"_s, u"0.250"_s}));
    p.device = Device::Bicicleta;
    QCOMPARE(stageTableCells(r, p, units, true).mid(5, 3),
             (QStringList{u"100.0 [Kgm]"_s, u"-"_s, u"-"_s}));
    p.device = Device::None;
    QCOMPARE(stageTableCells(r, p, units, true).mid(5, 3), (QStringList{{}, {}, {}}));
    // Records of old patients carry no ST levels.
    QCOMPARE(stageTableCells(r, p, units, false).mid(8),
             (QStringList{u"---"_s, u"---"_s, u"---"_s}));
    QCOMPARE(stageTableHeader().mid(0, 5),
             (QStringList{{}, u"Pres. Sist."_s, u"Pres. Diast."_s, u"Frec. Card."_s, u"ITT"_s}));
}

void TestPrintLayout::stripTitles()
{
    ProtocolRecord p = ProtocolRecord::cleared();
    p.stageCount = 2;
    p.stages[0] = {1, StageType::Recuperacion, 60, 0, 0, 0};
    p.stages[1] = {2, 7, 60, 0, 0, 0};
    StageRecord r;
    r.stage = 1;
    r.elapsed = 75;
    QCOMPARE(stripTitle(r, p), u"     1º Etapa: 01:15(Automático)  (Recuperación)"_s);
    r.kind = RecordKind::Manual;
    r.angina = 1;
    r.stage = 2; // a type outside the three names has no name
    QCOMPARE(stripTitle(r, p), u"     2º Etapa: 01:15(Manual)   Angor  ()"_s);
}

// A study of an old patient (integer stage values, no ST) with a torn last record.
void TestPrintLayout::studyReading()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"0012_001.est"_s);
    QByteArray bytes;
    {
        QBuffer b(&bytes);
        b.open(QIODevice::WriteOnly);
        LeWriter w(b, path);
        w.str(u"VIEJO"_s, 20);
        w.u8(1);
        w.bytes(QByteArray(2, '\0'));
        w.i32(Device::Cinta);
        w.u8(1);
        w.bytes(QByteArray(3, '\0'));
        for (std::int32_t v : {StageType::Basal, 120, 0, 12, 3})
            w.i32(v);
        w.bytes(QByteArray(14 * 24, '\0'));
        for (int i = 0; i < 2; ++i) {
            StageRecord r;
            r.elapsed = 60 * (i + 1);
            r.strip = {std::vector<std::int32_t>(2001, i), std::vector<std::int32_t>(2001, 0),
                       std::vector<std::int32_t>(2001, 0)};
            writeStageRecord(w, r, false);
        }
        w.bytes(QByteArray(100, '\0'));
    }
    writeFile(path, bytes);
    std::bitset<kPrintSelectionSize> keep;
    keep.set(2);
    const PrintedStudy s = readPrintedStudy(path, u"2003.1.0"_s, keep);
    QCOMPARE(s.protocol.name, u"VIEJO"_s);
    QCOMPARE(s.protocol.stages[0].slope, 12.0f);
    QCOMPARE(s.records.size(), 2);
    QVERIFY(s.tornTail);
    QCOMPARE(s.records[1].st[0], kStNotMeasured);
    QVERIFY(s.records[0].strip[0].empty()); // not marked: its strip is not kept
    QCOMPARE(s.records[1].strip[0].size(), std::size_t(2001));
    QVERIFY_THROWS_EXCEPTION(
        FileError, readPrintedStudy(dir.filePath(u"0012_009.est"_s), u"2007.1.1"_s, keep));
}

void TestPrintLayout::reportTextsAndStripsAfterTheFiftieth()
{
    ReportInputs in;
    in.patient = {u"Ana"_s, u"Peña"_s, 160, u"06/12/1976"_s, 0};
    in.studyDate = u"05/12/2026"_s;
    in.patientVersion = u"2007.1.1"_s;
    in.general.institution = u"Clínica"_s;
    in.general.address = u"Calle 1"_s;
    in.general.telephone = u"(011)12345678"_s;
    in.general.rateUnit = u"[Lpm]"_s;
    in.formula = 1; // 220 - Edad
    in.today = QDate(2026, 12, 6);
    in.selection.set(50);
    in.selection.set(3);
    PrintedStudy study;
    study.protocol.name = u"BRUCE"_s;
    for (int i = 1; i <= 52; ++i) {
        StageRecord r;
        r.elapsed = 60 * i;
        study.records.append(r);
    }
    const GraphicReport g = buildGraphicReport(in, study);
    QCOMPARE(g.institution, u"Institución: Clínica"_s);
    QCOMPARE(g.addressLine, u"Calle 1         Tel.: (011)12345678"_s);
    QCOMPARE(g.date, u"Fecha:05/12/2026"_s);
    QCOMPARE(g.patient, u"Paciente: Peña, Ana"_s);
    QCOMPARE(g.age, u"Edad: 50"_s);
    QCOMPARE(g.sex, u"Sexo: Femenino"_s);
    QCOMPARE(g.heartRates, u"Frecuencia Máxima: 170[Lpm]    Frecuencia Submáxima: 144[Lpm]"_s);
    QCOMPARE(g.table.size(), 53);
    QCOMPARE(g.strips.size(), 2); // records 51 and 52 have no print flag
    QCOMPARE(g.strips[1].record, 50);
    QCOMPARE(reportPageCount(g), 2);
}

QTEST_GUILESS_MAIN(TestPrintLayout)
#include "tst_printlayout.moc"

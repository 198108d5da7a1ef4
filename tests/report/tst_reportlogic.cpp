#include "common/FileError.h"
#include "protocol/ProtocolRecord.h"
#include "report/ClinicalSummary.h"
#include "report/EdfExport.h"
#include "report/PrintLayout.h"

#include <QTemporaryDir>
#include <QTest>
#include <edflib.h>

using namespace esf;
using namespace Qt::StringLiterals;

namespace {

ProtocolRecord protocol(const QString& kind)
{
    ProtocolRecord p = ProtocolRecord::cleared();
    p.name = kind == u"bike"_s ? u"OMS 25W"_s : u"BRUCE"_s;
    p.device = kind == u"bike"_s ? Device::Bicicleta : Device::Cinta;
    p.stageCount = 9;
    const std::array<float, 7> speeds = {0.0f, 2.7f, 4.0f, 5.5f, 6.8f, 8.0f, 8.8f};
    const std::array<float, 7> slopes = {0.0f, 10.0f, 12.0f, 14.0f, 16.0f, 18.0f, 20.0f};
    for (int s = 1; s <= 9; ++s) {
        const std::int32_t type = s == 1   ? StageType::Basal
                                  : s <= 7 ? StageType::Ejercicio
                                           : StageType::Recuperacion;
        const auto k = std::size_t(std::min(s - 1, 6));
        const int seconds = kind == u"bruce2"_s && type == StageType::Ejercicio ? 120 : 180;
        p.stages[std::size_t(s - 1)] = {std::uint8_t(s), type,      seconds,
                                        25.0f * s,       slopes[k], s <= 7 ? speeds[k] : 2.0f};
    }
    return p;
}

std::vector<StageRecord> records(const QString& study)
{
    std::vector<StageRecord> out;
    for (const QString& item : study.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList f = item.split(u':');
        StageRecord r;
        std::tie(r.stage, r.elapsed, r.heartRate, r.systolic, r.angina) = std::tuple(
            f[0].toInt(), f[1].toInt(), f[2].toInt(), f[3].toInt(), f.value(4) == u"a"_s);
        const QStringList st = f.last().split(u'/'); // V2/D2/V5, "-" when not measured
        for (qsizetype i = 0; st.size() == 3 && i < 3; ++i)
            r.st[std::size_t(i)] = st[i] == u"-"_s ? kStNotMeasured : st[i].toFloat();
        out.push_back(r);
    }
    return out;
}

const QString kBruce = u"1:180:80:120 2:360:110:140 3:540:130:160 4:720:150:180:-0.05/-0.1/0.02 "
                       u"8:780:120:170"_s;

EdfExportInput study(std::uint8_t gain)
{
    EdfExportInput in;
    in.studyDate = u"06/12/2026"_s;
    in.protocol = ProtocolRecord::cleared();
    in.protocol.stageCount = 2;
    in.protocol.stages[0] = {1, StageType::Basal, 180, 0, 0, 0};
    in.protocol.stages[1] = {2, StageType::Ejercicio, 180, 0, 10, 2.7f};
    for (int n = 0; n < 2; ++n) {
        StageRecord r;
        std::tie(r.stage, r.elapsed, r.gain, r.systolic, r.diastolic, r.heartRate, r.angina,
                 r.kind) = std::tuple(n + 1, 180 * (n + 1), gain, 150, 80, 120 + n, n, n);
        for (int lead = 0; lead < 3; ++lead) {
            r.strip[std::size_t(lead)].resize(2001);
            for (int i = 0; i < 2001; ++i) // 1 mV steps at gain 1 = 140 units
                r.strip[std::size_t(lead)][std::size_t(i)] = (i % 7 - 3) * 140 + lead + n * 10;
        }
        in.records.push_back(r);
    }
    return in;
}

} // namespace

// Page layout, clinical summary and EDF export of a study.
class TestReportLogic : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void timeAxisAndClampedValues()
    {
        const PrintTimeAxis a = printTimeAxis(1500);
        QCOMPARE((QList<int>{a.xmax, a.step, a.columns}), (QList<int>{26, 3, 8}));
        // A damaged time draws no columns rather than crashing.
        QCOMPARE(printTimeAxis(-3600).columns, 0);

        // Values are clamped to the graph; an axis without extent puts everything at its start.
        PlotScale pressure{0, 0, 200, 200, 0, 4, 50.0, 250.0};
        QCOMPARE(pressure.y(280), 0);
        QCOMPARE(pressure.y(40), 200);
        QCOMPARE(pressure.y(100), 150);
        QCOMPARE(pressure.x(90), 75); // 1.5 of 4 minutes
        PlotScale flat{10, 0, 200, 200, 0, 0, 0.0, 0.0};
        QCOMPARE(flat.x(600), 10);
        QCOMPARE(flat.y(5), 200);
    }
    void tablesSplitByRecordCount_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<QList<TableBand>>("expected");
        QTest::newRow("11") << 11 << QList<TableBand>{{1, 12, 2}};
        QTest::newRow("12") << 12 << QList<TableBand>{{1, 6, 2}, {6, 13, 3}};
        QTest::newRow("23") << 23 << QList<TableBand>{{1, 12, 2}, {12, 24, 3}};
        QTest::newRow("24") << 24 << QList<TableBand>{{1, 8, 2}, {8, 16, 3}, {16, 25, 4}};
    }
    void tablesSplitByRecordCount()
    {
        QFETCH(int, records);
        QFETCH(QList<TableBand>, expected);
        QCOMPARE(tableBands(records), expected);
    }
    void stripsFillBandsThenNewPages()
    {
        // One table: two strips on page 1 below it, the third starts page 2 at 0.1U.
        QCOMPARE(stripBands(2, {1, 4, 9}, 1000),
                 (QList<StripBand>{{1, 0, 3, 3000}, {4, 0, 4, 4000}, {9, 1, 0, 100}}));
        const QList<StripBand> many = stripBands(4, {1, 2, 3, 4, 5, 6}, 1000);
        QCOMPARE(many[0], (StripBand{1, 1, 0, 100}));
        QCOMPARE(many[4], (StripBand{5, 1, 4, 4100}));
        QCOMPARE(many[5], (StripBand{6, 2, 0, 100}));
    }
    void summaryOfCraftedStudies_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("study");
        QTest::addColumn<QString>("expected"); // "label=value" rows, split by '|'
        QTest::addColumn<QString>("flags");
        const auto row = [](const char* name, const QString& kind, const QString& study,
                            const QString& expected, const QString& flags = {}) {
            QTest::newRow(name) << kind << study << expected << flags;
        };
        row("Bruce, nothing abnormal", u"bruce"_s, kBruce,
            u"FC de reposo=80 [Lpm]|FC máxima alcanzada=150 [Lpm]|FC máxima prevista=160 [Lpm]|"
            "% de la FC máxima prevista=93.8 %|Índice cronotrópico=0.88|"
            "Recuperación de la FC al minuto=30 [Lpm]|PA sistólica máxima=180 [mmHg]|"
            "Doble producto máximo=27000|Tiempo de ejercicio=09:00|METs en la etapa máxima=10.2|"
            "Desnivel ST máximo V2=-0.100 mV (-1.0 mm)|Desnivel ST máximo D2=-0.050 mV (-0.5 mm)|"
            "Puntaje de Duke=4.0 (Riesgo moderado)"_s);
        row("every flag raised, angina in the test", u"bruce"_s,
            u"1:180:80:120 2:360:110:180 3:540:140:165:a 8:600:128:150"_s,
            u"Índice cronotrópico=0.75|Recuperación de la FC al minuto=12 [Lpm]|"
            "Desnivel ST máximo V5=— (no se midió el ST)|Puntaje de Duke=— (no se midió el ST)"_s,
            u"Incompetencia cronotrópica|Recuperación de FC anormal|Caída de PA en ejercicio"_s);
        row("edges: index 0.8, recovery 13, drop of 9", u"bruce"_s,
            u"1:180:80:150 2:360:144:170 3:540:144:161:0/0/0 8:615:131:140"_s,
            u"Índice cronotrópico=0.80|Recuperación de la FC al minuto=13 [Lpm]|"
            "Puntaje de Duke=6.0 (Riesgo bajo)"_s);
        row("recovery record 44 s after exercise", u"bruce"_s,
            u"1:180:80:0 2:360:150:0 8:404:120:0 8:436:110:0"_s,
            u"Recuperación de la FC al minuto=— (no hay registro entre 45 y 75 s de recuperación)|"
            "PA sistólica máxima=— (no hay presiones de ejercicio)"_s);
        row("running stage and 2-minute stages: no Duke score", u"bruce2"_s,
            u"1:180:80:120 6:900:170:200:-0.2/-/-"_s,
            u"METs en la etapa máxima=14.8|"
            "Puntaje de Duke=— (sólo para el protocolo BRUCE con etapas de 3 minutos)"_s);
        row("bicycle", u"bike"_s, u"1:180:80:120 3:540:130:160"_s,
            u"METs en la etapa máxima=— (en bicicleta requiere el peso, que el archivo no tiene)|"
            "Tiempo de ejercicio=06:00|Índice cronotrópico=0.63"_s,
            u"Incompetencia cronotrópica"_s);
        row("no exercise, no basal: rest from the first record", u"bruce"_s, u"8:60:95:130"_s,
            u"FC de reposo=95 [Lpm]|FC máxima alcanzada=— (no hay registros de ejercicio)|"
            "Índice cronotrópico=— (no hay registros de ejercicio)"_s);
        row("empty study", u"bruce"_s, QString(),
            u"FC de reposo=— (el estudio no tiene registros)"_s);
    }
    void summaryOfCraftedStudies()
    {
        QFETCH(QString, kind);
        QFETCH(QString, study);
        QFETCH(QString, expected);
        QFETCH(QString, flags);
        SummaryInput in;
        in.protocol = protocol(kind);
        in.records = records(study);
        in.age = 60;
        in.formula = 1; // 220 - age
        const ClinicalSummary s = computeClinicalSummary(in);
        const QList<SummaryRow> rows = summaryRows(s, u"[Lpm]"_s, u"[mmHg]"_s);
        for (const QString& e : expected.split(u'|')) {
            const QString label = e.section(u'=', 0, 0);
            const auto row = std::find_if(rows.begin(), rows.end(),
                                          [&](const SummaryRow& r) { return r.label == label; });
            QVERIFY2(row != rows.end(), qPrintable(label));
            QCOMPARE(label + u'=' + row->value, e);
        }
        QCOMPARE(s.flags(), flags.split(u'|', Qt::SkipEmptyParts));
    }
    void metsAndDukeBands_data()
    {
        QTest::addColumn<double>("speed");
        QTest::addColumn<double>("slope");
        QTest::addColumn<double>("mets");
        QTest::addColumn<double>("score");
        QTest::addColumn<QString>("risk");
        // Walking below 8 km/h, running from 8 on.
        QTest::newRow("walking 2.7 km/h 10 %") << 2.7 << 10.0 << 4.6 << 5.0 << u"Riesgo bajo"_s;
        QTest::newRow("walking 7.9 km/h") << 7.9 << 0.0 << 4.8 << 4.9 << u"Riesgo moderado"_s;
        QTest::newRow("running 8.0 km/h") << 8.0 << 0.0 << 8.6 << -10.9 << u"Riesgo moderado"_s;
        QTest::newRow("running 8.8 km/h 20 %") << 8.8 << 20.0 << 16.9 << -11.0 << u"Riesgo alto"_s;
    }
    void metsAndDukeBands()
    {
        QFETCH(double, speed);
        QFETCH(double, slope);
        QFETCH(double, mets);
        QFETCH(double, score);
        QFETCH(QString, risk);
        QCOMPARE(treadmillMets(speed, slope), mets);
        QCOMPARE(dukeRiskText(dukeRisk(score)), risk);
    }
    void roundTrip()
    {
        const QTemporaryDir tmp;
        const QString path = tmp.filePath(u"estudio.edf"_s);
        EdfExportInput in = study(0); // gain 0.5: 70 units a millivolt
        in.anonymous = true;
        exportEdf(path, in);
        edf_hdr_struct hdr{};
        QCOMPARE(edfopen_file_readonly(QFile::encodeName(path).constData(), &hdr,
                                       EDFLIB_READ_ALL_ANNOTATIONS),
                 0);
        QCOMPARE(QByteArray(hdr.patient_name).trimmed(), "X");
        // Lead V5 of the second strip: its last 2000 samples, in µV.
        std::vector<double> v(2000);
        QCOMPARE(edfseek(hdr.handle, 2, 2000, EDFSEEK_SET), 2000LL);
        QCOMPARE(edfread_physical_samples(hdr.handle, 2, 2000, v.data()), 2000);
        for (int i : {0, 1, 500, 1999})
            QCOMPARE_LE(std::abs(v[std::size_t(i)] - (((i + 1) % 7 - 3) * 140 + 12) / 0.07), 15.0);
        QStringList texts;
        for (int i = 0; i < hdr.annotations_in_file; ++i) {
            edf_annotation_struct a{};
            QCOMPARE(edf_get_annotation(hdr.handle, i, &a), 0);
            texts << QString::number(a.onset / 10000000LL) + u' ' + QString::fromUtf8(a.annotation);
        }
        edfclose_file(hdr.handle);
        QCOMPARE(texts.join(u'|'),
                 u"0 Etapa 1 Basal|0 PA 150/80|0 FC 120|0 Tiempo del estudio 03:00|"
                 "10 Etapa 2 Ejercicio|10 PA 150/80|10 FC 121|10 Angor|10 Manual|"
                 "10 Tiempo del estudio 06:00"_s);
    }
    void failureLeavesNoFile()
    {
        const QTemporaryDir tmp;
        QVERIFY_THROWS_EXCEPTION(FileError,
                                 exportEdf(tmp.filePath(u"falta/estudio.edf"_s), study(1)));
        EdfExportInput empty = study(1);
        empty.records.clear();
        QVERIFY_THROWS_EXCEPTION(FileError, exportEdf(tmp.filePath(u"vacio.edf"_s), empty));
        QVERIFY(QDir(tmp.path()).entryList(QDir::Files).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReportLogic)
#include "tst_reportlogic.moc"

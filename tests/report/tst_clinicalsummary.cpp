#include "report/ClinicalSummary.h"

#include <QTest>

using namespace esf;
using namespace Qt::StringLiterals;

// Studies written as "stage:elapsed:rate:systolic[:angina][:stD2/stV2/stV5]" records.
class TestClinicalSummary : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void summaryOfCraftedStudies_data();
    void summaryOfCraftedStudies();
    void metsAndDukeBands_data();
    void metsAndDukeBands();
};

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
        const int k = std::min(s - 1, 6);
        const bool shortStages = kind == u"bruce2"_s && type == StageType::Ejercicio;
        p.stages[std::size_t(s - 1)] = {
            std::uint8_t(s),         type,
            shortStages ? 120 : 180, 25.0f * s,
            slopes[std::size_t(k)],  s <= 7 ? speeds[std::size_t(k)] : 2.0f};
    }
    return p;
}

std::vector<StageRecord> records(const QString& study)
{
    std::vector<StageRecord> out;
    for (const QString& item : study.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList f = item.split(u':');
        StageRecord r;
        r.stage = std::uint8_t(f[0].toInt());
        r.elapsed = f[1].toInt();
        r.heartRate = f[2].toInt();
        r.systolic = f[3].toInt();
        r.angina = f.size() > 4 && f[4] == u"a"_s;
        if (f.size() > 4 && f.last().contains(u'/')) {
            const QStringList st = f.last().split(u'/');
            for (int i = 0; i < 3; ++i)
                r.st[std::size_t(i)] = st[i] == u"-"_s ? kStNotMeasured : st[i].toFloat();
        }
        out.push_back(r);
    }
    return out;
}

const QString kBruce = u"1:180:80:120 2:360:110:140 3:540:130:160 4:720:150:180:-0.05/-0.1/0.02 "
                       u"8:780:120:170"_s;

} // namespace

void TestClinicalSummary::summaryOfCraftedStudies_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("study");
    QTest::addColumn<QStringList>("expected"); // "label=value" rows
    QTest::addColumn<QStringList>("flags");

    QTest::newRow("Bruce, nothing abnormal")
        << u"bruce"_s << kBruce
        << QStringList{u"FC de reposo=80 [Lpm]"_s,
                       u"FC máxima alcanzada=150 [Lpm]"_s,
                       u"FC máxima prevista=160 [Lpm]"_s,
                       u"% de la FC máxima prevista=93.8 %"_s,
                       u"Índice cronotrópico=0.88"_s,
                       u"Recuperación de la FC al minuto=30 [Lpm]"_s,
                       u"PA sistólica máxima=180 [mmHg]"_s,
                       u"Doble producto máximo=27000"_s,
                       u"Tiempo de ejercicio=09:00"_s,
                       u"METs en la etapa máxima=10.2"_s,
                       u"Desnivel ST máximo V2=-0.100 mV (-1.0 mm)"_s,
                       u"Desnivel ST máximo D2=-0.050 mV (-0.5 mm)"_s,
                       u"Puntaje de Duke=4.0 (Riesgo moderado)"_s}
        << QStringList{};
    QTest::newRow("every flag raised, angina in the test")
        << u"bruce"_s << u"1:180:80:120 2:360:110:180 3:540:140:165:a 8:600:128:150"_s
        << QStringList{u"Índice cronotrópico=0.75"_s, u"Recuperación de la FC al minuto=12 [Lpm]"_s,
                       u"Desnivel ST máximo V5=— (no se midió el ST)"_s,
                       u"Puntaje de Duke=— (no se midió el ST)"_s}
        << QStringList{u"Incompetencia cronotrópica"_s, u"Recuperación de FC anormal"_s,
                       u"Caída de PA en ejercicio"_s};
    QTest::newRow("edges: index 0.8, recovery 13, drop of 9")
        << u"bruce"_s << u"1:180:80:150 2:360:144:170 3:540:144:161:0/0/0 8:615:131:140"_s
        << QStringList{u"Índice cronotrópico=0.80"_s, u"Recuperación de la FC al minuto=13 [Lpm]"_s,
                       u"Puntaje de Duke=6.0 (Riesgo bajo)"_s}
        << QStringList{};
    QTest::newRow("recovery record 44 s after exercise")
        << u"bruce"_s << u"1:180:80:0 2:360:150:0 8:404:120:0 8:436:110:0"_s
        << QStringList{u"Recuperación de la FC al minuto=— (no hay registro entre 45 y 75 s de "
                       u"recuperación)"_s,
                       u"PA sistólica máxima=— (no hay presiones de ejercicio)"_s}
        << QStringList{};
    QTest::newRow("running stage and 2-minute stages: no Duke score")
        << u"bruce2"_s << u"1:180:80:120 6:900:170:200:-0.2/-/-"_s
        << QStringList{u"METs en la etapa máxima=14.8"_s,
                       u"Puntaje de Duke=— (sólo para el protocolo BRUCE con etapas de 3 minutos)"_s}
        << QStringList{};
    QTest::newRow("bicycle")
        << u"bike"_s << u"1:180:80:120 3:540:130:160"_s
        << QStringList{u"METs en la etapa máxima=— (en bicicleta requiere el peso, que el archivo "
                       u"no tiene)"_s,
                       u"Tiempo de ejercicio=06:00"_s, u"Índice cronotrópico=0.63"_s}
        << QStringList{u"Incompetencia cronotrópica"_s};
    QTest::newRow("no exercise, no basal: rest from the first record")
        << u"bruce"_s << u"8:60:95:130"_s
        << QStringList{u"FC de reposo=95 [Lpm]"_s,
                       u"FC máxima alcanzada=— (no hay registros de ejercicio)"_s,
                       u"Índice cronotrópico=— (no hay registros de ejercicio)"_s}
        << QStringList{};
    QTest::newRow("empty study") << u"bruce"_s << QString()
                                 << QStringList{u"FC de reposo=— (el estudio no tiene registros)"_s}
                                 << QStringList{};
}

void TestClinicalSummary::summaryOfCraftedStudies()
{
    QFETCH(QString, kind);
    QFETCH(QString, study);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, flags);
    SummaryInput in;
    in.protocol = protocol(kind);
    in.records = records(study);
    in.age = 60;
    in.formula = 1; // 220 - age
    const ClinicalSummary s = computeClinicalSummary(in);
    const QList<SummaryRow> rows = summaryRows(s, u"[Lpm]"_s, u"[mmHg]"_s);
    for (const QString& e : expected) {
        const QString label = e.section(u'=', 0, 0);
        const auto row = std::find_if(rows.begin(), rows.end(),
                                      [&](const SummaryRow& r) { return r.label == label; });
        QVERIFY2(row != rows.end(), qPrintable(label));
        QCOMPARE(label + u'=' + row->value, e);
    }
    QCOMPARE(s.flags(), flags);
}

void TestClinicalSummary::metsAndDukeBands_data()
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

void TestClinicalSummary::metsAndDukeBands()
{
    QFETCH(double, speed);
    QFETCH(double, slope);
    QFETCH(double, mets);
    QFETCH(double, score);
    QFETCH(QString, risk);
    QCOMPARE(treadmillMets(speed, slope), mets);
    QCOMPARE(dukeRiskText(dukeRisk(score)), risk);
}

QTEST_MAIN(TestClinicalSummary)
#include "tst_clinicalsummary.moc"

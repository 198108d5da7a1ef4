#include "protocol/MaxHeartRate.h"
#include "protocol/StageRun.h"

#include <QTest>

using namespace esf;
using namespace Qt::StringLiterals;

class TestMaxHeartRate : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void formulas_data();
    void formulas();
    void robinsonTableAtItsBoundaries_data();
    void robinsonTableAtItsBoundaries();
    void idlePanelShowsTheFirstStage();
    void panelKeepsTextsForUnknownTypeAndDevice();
};

void TestMaxHeartRate::formulas_data()
{
    QTest::addColumn<int>("formula");
    QTest::addColumn<int>("age");
    QTest::addColumn<int>("maxHR");
    QTest::addColumn<int>("subMaxHR");
    QTest::newRow("220 - 60") << 1 << 60 << 160 << 136;
    QTest::newRow("0.9 x (220 - 45)") << 2 << 45 << 158 << 134;  // 157.5 to even
    QTest::newRow("0.8 x (220 - 50)") << 3 << 50 << 136 << 116;  // 115.6
    QTest::newRow("0.75 x (220 - 40)") << 4 << 40 << 135 << 115; // 114.75
    QTest::newRow("200 - 30") << 5 << 30 << 170 << 144;          // 144.5 to even
    QTest::newRow("205 - 45/2") << 6 << 45 << 182 << 155;        // 182.5 to even; 154.7
    QTest::newRow("205 - 47/2") << 6 << 47 << 182 << 155;        // 181.5 to even
    QTest::newRow("user, nothing typed") << 7 << 50 << 0 << 0;
    QTest::newRow("unknown formula") << 9 << 50 << 0 << 0;
}

void TestMaxHeartRate::formulas()
{
    QFETCH(int, formula);
    QFETCH(int, age);
    QFETCH(int, maxHR);
    QFETCH(int, subMaxHR);
    const HeartRateLimits r = maxHeartRate(age, 0, formula, 0);
    QCOMPARE(r.maxHR, maxHR);
    QCOMPARE(r.subMaxHR, subMaxHR);
    QCOMPARE(maxHeartRate(age, 1, 7, 190).maxHR, 190);
    QCOMPARE(maxHeartRate(age, 1, 7, 190).subMaxHR, 162); // 161.5 to even
}

void TestMaxHeartRate::robinsonTableAtItsBoundaries_data()
{
    QTest::addColumn<int>("age");
    QTest::addColumn<int>("male");
    QTest::addColumn<int>("female");
    // Age, then the rate for a man and for a woman, either side of each step of the table.
    const int rows[][3] = {{0, 182, 182},  {4, 182, 182},  {5, 182, 182},  {7, 182, 182},
                           {8, 199, 199},  {10, 200, 194}, {26, 192, 186}, {43, 182, 177},
                           {56, 175, 171}, {68, 168, 165}, {69, 166, 166}, {72, 166, 166},
                           {73, 147, 147}, {76, 147, 147}, {77, 147, 147}, {120, 147, 147}};
    for (const auto& [age, male, female] : rows)
        QTest::addRow("%d", age) << age << male << female;
}

void TestMaxHeartRate::robinsonTableAtItsBoundaries()
{
    QFETCH(int, age);
    QFETCH(int, male);
    QFETCH(int, female);
    QCOMPARE(maxHeartRate(age, 0, 0, 0).maxHR, male);
    QCOMPARE(maxHeartRate(age, 1, 0, 0).maxHR, female);
}

void TestMaxHeartRate::idlePanelShowsTheFirstStage()
{
    ProtocolRecord p;
    p.name = u"BRUCE"_s;
    p.stageCount = 2;
    p.device = Device::Cinta;
    p.stages[0] = {1, StageType::Basal, 180, 0.0f, 10.0f, 2.7f};
    p.stages[1] = {2, StageType::Ejercicio, 0, 0.0f, 12.0f, 4.0f};
    RunState run;
    run.currentStage = 2;
    stopProtocol(run, p);
    QCOMPARE(run.currentStage, 1);
    QCOMPARE(run.stageRemaining, 180);
    const StagePanel idle = stagePanel(run, p, false);
    QCOMPARE(idle.stageLabel, u"Prot. detenido"_s);
    QCOMPARE(idle.typeText.value(), u"Basal"_s);
    QCOMPARE(idle.loadCaption.value(), u"Velocidad"_s);
    QCOMPARE(idle.loadText.value(), u"2.7"_s);
    QCOMPARE(idle.slopeText.value(), u"10.0"_s);
    QCOMPARE(idle.progress, 100);

    run.stageRemaining = 45; // a quarter left, 25.0 exactly
    QCOMPARE(stagePanel(run, p, true).progress, 25);
    p.stages[0].duration = 40;
    run.stageRemaining = 23; // 57.5 exactly: halves go to even
    QCOMPARE(stagePanel(run, p, true).progress, 58);
    run.stageRemaining = 7; // 17.5
    QCOMPARE(stagePanel(run, p, true).progress, 18);
    p.stages[0].duration = 180;
    QCOMPARE(stagePanel(run, p, true).stageLabel, u"Etapa nº 1"_s);
    run.currentStage = 2; // no duration: empty bar, warning colour cleared
    QCOMPARE(stagePanel(run, p, true).progress, 0);
    QVERIFY(stagePanel(run, p, true).gaugeToNavy);

    p.device = Device::Bicicleta;
    p.stages[0].load = 25.0f;
    run.currentStage = 1;
    const StagePanel bike = stagePanel(run, p, false);
    QCOMPARE(bike.loadCaption.value(), u"Carga"_s);
    QCOMPARE(bike.loadText.value(), u"25.0"_s);
    QCOMPARE(bike.slopeText.value(), u"----"_s);
    QCOMPARE(bike.slopeEnabled.value(), false);
}

void TestMaxHeartRate::panelKeepsTextsForUnknownTypeAndDevice()
{
    ProtocolRecord p = ProtocolRecord::cleared();
    p.stageCount = 1;
    RunState run;
    stopProtocol(run, p);
    const StagePanel panel = stagePanel(run, p, false);
    QVERIFY(!panel.typeText.has_value());
    QVERIFY(!panel.loadText.has_value() && !panel.slopeEnabled.has_value());
    // A damaged stage number never reads past the record.
    run.currentStage = 200;
    QCOMPARE(stagePanel(run, p, false).progress, 0);

    StudySession session;
    run.printSelection.set(3);
    session.newStudyPending = true;
    session.studyFileName = u"0001_001.est"_s;
    session.patientFile = u"00000001.DAT"_s;
    resetStudyState(run, session);
    QVERIFY(run.printSelection.none() && !session.newStudyPending);
    QVERIFY(session.studyFileName.isEmpty());
    QCOMPARE(session.patientFile, u"00000001.DAT"_s); // the patient stays
    QCOMPARE(run.currentStage, 1);
}

QTEST_GUILESS_MAIN(TestMaxHeartRate)
#include "tst_maxheartrate.moc"

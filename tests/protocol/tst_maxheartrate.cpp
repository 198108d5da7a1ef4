#include "protocol/MaxHeartRate.h"
#include "protocol/StageRun.h"

#include <QTest>

using namespace esf;
using namespace Qt::StringLiterals;

class TestMaxHeartRate : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void formulas();
    void robinsonTableAtItsBoundaries();
    void stagePanelFollowsTheRun();
};

void TestMaxHeartRate::formulas()
{
    // Formula, age, then the maximum and 85 % of it, each rounded half to even.
    const int rows[][4] = {{1, 60, 160, 136}, {2, 45, 158, 134}, // 157.5
                           {3, 50, 136, 116}, {4, 40, 135, 115}, // 114.75
                           {5, 30, 170, 144},                    // 144.5
                           {6, 45, 182, 155},                    // 182.5; 154.7
                           {7, 50, 0, 0},     {9, 50, 0, 0}};    // nothing typed; unknown
    for (const auto& [formula, age, maxHR, subMaxHR] : rows) {
        const HeartRateLimits r = maxHeartRate(age, 0, formula, 0);
        QCOMPARE(r.maxHR, maxHR);
        QCOMPARE(r.subMaxHR, subMaxHR);
    }
    QCOMPARE(maxHeartRate(50, 1, 7, 190).subMaxHR, 162); // 161.5
}

void TestMaxHeartRate::robinsonTableAtItsBoundaries()
{
    // Age, then the rate for a man and for a woman, either side of each step of the table.
    const int rows[][3] = {{4, 182, 182},  {5, 182, 182},  {7, 182, 182},  {8, 199, 199},
                           {10, 200, 194}, {56, 175, 171}, {68, 168, 165}, {69, 166, 166},
                           {72, 166, 166}, {73, 147, 147}, {76, 147, 147}, {77, 147, 147}};
    for (const auto& [age, male, female] : rows) {
        QCOMPARE(maxHeartRate(age, 0, 0, 0).maxHR, male);
        QCOMPARE(maxHeartRate(age, 1, 0, 0).maxHR, female);
    }
}

void TestMaxHeartRate::stagePanelFollowsTheRun()
{
    ProtocolRecord p;
    p.stageCount = 2;
    p.device = Device::Cinta;
    p.stages[0] = {1, StageType::Basal, 40, 0.0f, 10.0f, 2.7f};
    p.stages[1] = {2, StageType::Ejercicio, 0, 0.0f, 12.0f, 4.0f};
    RunState run;
    run.currentStage = 2;
    stopProtocol(run, p);
    QCOMPARE(run.currentStage, 1);
    QCOMPARE(run.stageRemaining, 40);
    const StagePanel idle = stagePanel(run, p, false);
    QCOMPARE(idle.stageLabel, u"Prot. detenido"_s);
    QCOMPARE(idle.typeText.value(), u"Basal"_s);
    QCOMPARE(idle.loadCaption.value(), u"Velocidad"_s);
    QCOMPARE(idle.loadText.value(), u"2.7"_s);
    QCOMPARE(idle.progress, 100);

    run.stageRemaining = 23; // 57.5 exactly: halves go to even
    QCOMPARE(stagePanel(run, p, true).progress, 58);
    QCOMPARE(stagePanel(run, p, true).stageLabel, u"Etapa nº 1"_s);
    run.currentStage = 2; // no duration: empty bar, warning colour cleared
    QCOMPARE(stagePanel(run, p, true).progress, 0);
    QVERIFY(stagePanel(run, p, true).gaugeToNavy);
    run.currentStage = 200; // a damaged stage number never reads past the record
    QCOMPARE(stagePanel(run, p, false).progress, 0);

    p.device = Device::Bicicleta;
    p.stages[0].load = 25.0f;
    run.currentStage = 1;
    const StagePanel bike = stagePanel(run, p, false);
    QCOMPARE(bike.loadCaption.value(), u"Carga"_s);
    QCOMPARE(bike.slopeText.value(), u"----"_s);
    QCOMPARE(bike.slopeEnabled.value(), false);
    // Without a known type or device the panel keeps what it shows.
    p.device = Device::None;
    p.stages[0].type = StageType::None;
    const StagePanel unknown = stagePanel(run, p, false);
    QVERIFY(!unknown.typeText && !unknown.loadText && !unknown.slopeEnabled);

    StudySession session{u"00000001.DAT"_s, 1, {}, true, u"0001_001.est"_s, {}};
    run.printSelection.set(3);
    resetStudyState(run, session);
    QVERIFY(run.printSelection.none() && !session.newStudyPending);
    QVERIFY(session.studyFileName.isEmpty());
    QCOMPARE(session.patientFile, u"00000001.DAT"_s); // the patient stays
}

QTEST_GUILESS_MAIN(TestMaxHeartRate)
#include "tst_maxheartrate.moc"

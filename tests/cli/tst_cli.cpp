#include "cli/Cli.h"
#include "protocol/ProtocolRecord.h"
#include "records/PatientFile.h"
#include "records/StudyFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Result {
    int status = -1;
    QString out;
    QString err;
};

Result runCli(const QStringList& args)
{
    Result r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = esf::cli::run(args, out, err);
    out.flush();
    err.flush();
    return r;
}

QByteArray frame(qint16 a, qint16 b, qint16 c)
{
    QByteArray f;
    for (qint16 s : {a, b, c}) {
        f.append(static_cast<char>(s & 0xFF));
        f.append(static_cast<char>((s >> 8) & 0xFF));
    }
    return f;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void playPrintsOneLinePerFrame();
    void playAppliesGainAndFilter();
    void playLoopsAndIgnoresATornLastFrame();
    void qrsPrintsTheAverageAfterNFrames();
    void dumpShowsTheConfiguration();
    void dumpShowsAProtocolUpToItsStageCount();
    void dumpShowsAPatientWithItsStudies();
    void dumpShowsAStudyAndReportsATornTail();
    void badFilesExitWithOne_data();
    void badFilesExitWithOne();
    void badUsageExitsWithTwo_data();
    void badUsageExitsWithTwo();
    void theExecutableReportsItsStatus();

private:
    QTemporaryDir m_dir;
    QString m_constant; // ten frames of 100, -3, 3
    QString m_torn;
};

void TestCli::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_constant = m_dir.filePath(QStringLiteral("constant.ecg"));
    QFile f(m_constant);
    QVERIFY(f.open(QIODevice::WriteOnly));
    for (int i = 0; i < 10; ++i)
        f.write(frame(100, -3, 3));
    f.close();

    m_torn = m_dir.filePath(QStringLiteral("torn.ecg"));
    QFile t(m_torn);
    QVERIFY(t.open(QIODevice::WriteOnly));
    t.write(frame(1, 0, 0) + frame(2, 0, 0) + QByteArray("\x05\x00\x06", 3));
}

void TestCli::playPrintsOneLinePerFrame()
{
    const Result r = runCli({QStringLiteral("play"), m_constant});
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 11); // header and one pass of ten frames
    QCOMPARE(lines[0], QStringLiteral("frame,write_index,ring0,ring1,ring2,shown0,shown1,shown2,"
                                      "heart_rate,beat_counter,beat_flag,qrs_update"));
    QCOMPARE(lines[1], QStringLiteral("1,1,100,-3,3,100,-3,3,0,1,0,0"));
    QCOMPARE(lines[10], QStringLiteral("10,10,100,-3,3,100,-3,3,0,10,0,0"));

    const Result many = runCli(
        {QStringLiteral("play"), m_constant, QStringLiteral("--frames"), QStringLiteral("2001")});
    const QStringList manyLines = many.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(manyLines.size(), 2002);
    QVERIFY(manyLines[2000].startsWith(QStringLiteral("2000,0,")));
    QVERIFY(manyLines[100].endsWith(QStringLiteral(",100,0,1"))); // the count reaches 100
}

void TestCli::playAppliesGainAndFilter()
{
    const Result r =
        runCli({QStringLiteral("play"), m_constant, QStringLiteral("--gain"), QStringLiteral("0"),
                QStringLiteral("--filter"), QStringLiteral("--frames"), QStringLiteral("3")});
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // 100 × 0.5 = 50 in the ring, drawn through the filter; -3 × 0.5 = -1.5 → -2.
    QVERIFY(lines[1].startsWith(QStringLiteral("1,1,50,-2,2,13,")));
    QVERIFY(lines[2].startsWith(QStringLiteral("2,2,50,-2,2,28,")));
}

void TestCli::playLoopsAndIgnoresATornLastFrame()
{
    const Result r =
        runCli({QStringLiteral("play"), m_torn, QStringLiteral("--frames"), QStringLiteral("5")});
    QCOMPARE(r.status, 0);
    QStringList ring0;
    for (const QString& l : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
        ring0 << l.section(QLatin1Char(','), 2, 2);
    QCOMPARE(ring0, QStringList({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("1"),
                                 QStringLiteral("2"), QStringLiteral("1")}));
    QCOMPARE(runCli({QStringLiteral("play"), m_torn}).out.count(QLatin1Char('\n')), 3);
}

void TestCli::qrsPrintsTheAverageAfterNFrames()
{
    const Result r = runCli(
        {QStringLiteral("qrs"), m_constant, QStringLiteral("--frames"), QStringLiteral("100")});
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QStringLiteral("fid_idx=100"));
    const QStringList d2 = lines[1].split(QLatin1Char(','));
    QCOMPARE(d2.size(), 201);
    QCOMPARE(d2[200], QStringLiteral("30")); // 0.3 × 100
    QCOMPARE(d2[0], QStringLiteral("0"));    // before the recording started
    QCOMPARE(lines[2].split(QLatin1Char(','))[200], QStringLiteral("-1")); // 0.3 × -3 = -0.9
    const Result none = runCli(
        {QStringLiteral("qrs"), m_constant, QStringLiteral("--frames"), QStringLiteral("99")});
    QCOMPARE(none.out.section(QLatin1Char('\n'), 0, 0), QStringLiteral("fid_idx=0"));
}

void TestCli::dumpShowsTheConfiguration()
{
    QByteArray ini(107, '\0');
    ini[0] = char(13);
    ini[4] = char(2);
    ini[5] = char(10);
    ini.replace(6, 10, "PRUEBA.pro");
    ini[106] = char(6);
    const QString path = m_dir.filePath(QStringLiteral("Zirod.ini"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(ini + "tail");
    f.close();
    const Result r = runCli({QStringLiteral("dump"), path});
    QCOMPARE(r.status, 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(o.value(QStringLiteral("lastPatientNumber")).toInt(), 13);
    QCOMPARE(o.value(QStringLiteral("portIndex")).toInt(), 2);
    QCOMPARE(o.value(QStringLiteral("protocolFileName")).toString(), QStringLiteral("PRUEBA.pro"));
    QCOMPARE(o.value(QStringLiteral("maxHRFormula")).toInt(), 6);
}

void TestCli::dumpShowsAProtocolUpToItsStageCount()
{
    esf::ProtocolRecord p;
    p.name = QStringLiteral("PRUEBA");
    p.stageCount = 2;
    p.device = 0;
    p.stages[0] = {1, 0, 180, 0.0f, 10.0f, 2.7f};
    p.stages[1] = {2, 1, 75, 0.0f, 12.0f, 4.0f};
    p.stages[2] = {3, 2, 60, 0.0f, 0.0f, 1.5f}; // beyond the count: not shown
    const QString path = esf::saveProtocolFile(QDir(m_dir.path()), p);
    const Result r = runCli({QStringLiteral("dump"), path});
    QCOMPARE(r.status, 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(o.value(QStringLiteral("name")).toString(), QStringLiteral("PRUEBA"));
    const QJsonArray stages = o.value(QStringLiteral("stages")).toArray();
    QCOMPARE(stages.size(), 2);
    QCOMPARE(stages[0].toObject().value(QStringLiteral("speed")).toDouble(), 2.7);
    QCOMPARE(stages[1].toObject().value(QStringLiteral("duration")).toInt(), 75);
    QCOMPARE(stages[1].toObject().value(QStringLiteral("type")).toInt(), 1);
}

void TestCli::dumpShowsAPatientWithItsStudies()
{
    const QString path = m_dir.filePath(QStringLiteral("00000012.DAT"));
    esf::PatientData d;
    d.firstName = QStringLiteral("José");
    d.surname = QStringLiteral("Peña");
    d.height = 172;
    d.birthDate = QStringLiteral("03/04/1960");
    d.sex = 1;
    esf::writePatientHeader(path, d, 1);
    QFile f(path);
    QVERIFY(f.open(QIODevice::Append));
    f.write(QByteArray("\x0c"
                       "0012_001.est"
                       "\x0a"
                       "12/03/2007",
                       24));
    f.close();
    const Result r = runCli({QStringLiteral("dump"), path});
    QCOMPARE(r.status, 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(o.value(QStringLiteral("surname")).toString(), QStringLiteral("Peña"));
    QCOMPARE(o.value(QStringLiteral("height")).toInt(), 172);
    QCOMPARE(o.value(QStringLiteral("version")).toString(), QStringLiteral("2007.1.1"));
    const QJsonArray studies = o.value(QStringLiteral("studies")).toArray();
    QCOMPARE(studies.size(), 1);
    QCOMPARE(studies[0].toObject().value(QStringLiteral("file")).toString(),
             QStringLiteral("0012_001.est"));
    QCOMPARE(studies[0].toObject().value(QStringLiteral("date")).toString(),
             QStringLiteral("12/03/2007"));
}

void TestCli::dumpShowsAStudyAndReportsATornTail()
{
    QTemporaryDir dir;
    esf::writePatientHeader(dir.filePath(QStringLiteral("00000012.DAT")), esf::PatientData(), 1);
    esf::StudySession session;
    session.patientFile = QStringLiteral("00000012.DAT");
    session.studyCount = 1;
    session.patientVersion = QStringLiteral("2007.1.1");
    session.newStudyPending = true;
    esf::ProtocolRecord p;
    p.name = QStringLiteral("PRUEBA");
    p.stageCount = 1;
    esf::StageRecord r;
    r.systolic = 150;
    r.heartRate = 100;
    r.st = {0.5f, -1000.0f, -0.25f};
    for (auto& lead : r.strip)
        for (int k = 0; k < 2001; ++k)
            lead.push_back(k);
    for (int i = 0; i < 2; ++i)
        esf::saveStageRecord(QDir(dir.path()), session, p, r, QDate(2026, 12, 6));
    const QString study = dir.filePath(QStringLiteral("0012_001.est"));

    Result res = runCli({QStringLiteral("dump"), study});
    QCOMPARE(res.status, 0);
    QJsonObject o = QJsonDocument::fromJson(res.out.toUtf8()).object();
    QCOMPARE(
        o.value(QStringLiteral("protocol")).toObject().value(QStringLiteral("name")).toString(),
        QStringLiteral("PRUEBA"));
    QJsonArray records = o.value(QStringLiteral("records")).toArray();
    QCOMPARE(records.size(), 2);
    const QJsonObject first = records[0].toObject();
    QCOMPARE(first.value(QStringLiteral("itt")).toInt(), 15000);
    QCOMPARE(first.value(QStringLiteral("st")).toArray()[1].toDouble(), -1000.0);
    QCOMPARE(first.value(QStringLiteral("strip")).toArray()[2].toArray(),
             QJsonArray({0, 1, 2, 1998, 1999, 2000}));

    res = runCli({QStringLiteral("dump"), study, QStringLiteral("--strips")});
    o = QJsonDocument::fromJson(res.out.toUtf8()).object();
    QCOMPARE(o.value(QStringLiteral("records"))
                 .toArray()[0]
                 .toObject()
                 .value(QStringLiteral("strip"))
                 .toArray()[0]
                 .toArray()
                 .size(),
             2001);

    // As an old patient's file the same bytes hold 24039-byte records without ST.
    res = runCli(
        {QStringLiteral("dump"), study, QStringLiteral("--version"), QStringLiteral("2007.1.0")});
    QCOMPARE(res.status, 1); // 2 × 24051 bytes are two old records and a torn third
    records = QJsonDocument::fromJson(res.out.toUtf8())
                  .object()
                  .value(QStringLiteral("records"))
                  .toArray();
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0].toObject().value(QStringLiteral("st")).toArray()[0].toDouble(), -1000.0);

    QFile f(study);
    QVERIFY(f.resize(f.size() - 100)); // power cut inside the second record
    res = runCli({QStringLiteral("dump"), study, QStringLiteral("--patient"),
                  dir.filePath(QStringLiteral("00000012.DAT"))});
    QCOMPARE(res.status, 1);
    QCOMPARE(QJsonDocument::fromJson(res.out.toUtf8())
                 .object()
                 .value(QStringLiteral("records"))
                 .toArray()
                 .size(),
             1);
    QVERIFY(res.err.contains(QStringLiteral("registro 2")));
}

void TestCli::badFilesExitWithOne_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("missing recording")
        << QStringList({QStringLiteral("play"), QStringLiteral("@missing")}) << QByteArray();
    QTest::newRow("recording without a frame")
        << QStringList({QStringLiteral("play"), QStringLiteral("@file")})
        << QByteArray("\x01\x02\x03", 3);
    QTest::newRow("qrs on empty") << QStringList({QStringLiteral("qrs"), QStringLiteral("@file")})
                                  << QByteArray();
    QTest::newRow("short Zirod.ini")
        << QStringList({QStringLiteral("dump"), QStringLiteral("@Zirod.ini")})
        << QByteArray(106, '\0');
    QTest::newRow("short protocol")
        << QStringList({QStringLiteral("dump"), QStringLiteral("@X.pro")}) << QByteArray(387, '\0');
    QTest::newRow("short patient")
        << QStringList({QStringLiteral("dump"), QStringLiteral("@00000001.DAT")})
        << QByteArray(176, '\0');
    QTest::newRow("missing Zirod.ini")
        << QStringList({QStringLiteral("dump"), QStringLiteral("@missing.ini")}) << QByteArray();
}

void TestCli::badFilesExitWithOne()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    for (QString& a : args) {
        if (!a.startsWith(QLatin1Char('@')))
            continue;
        const QString name = a.mid(1);
        a = dir.filePath(name == QLatin1String("file") ? QStringLiteral("x.ecg") : name);
        if (!name.startsWith(QLatin1String("missing"))) {
            QFile f(a);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
    }
    const Result r = runCli(args);
    QCOMPARE(r.status, 1);
    QVERIFY(r.out.isEmpty());
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QVERIFY(r.err.startsWith(QStringLiteral("esfuerzo-cli: ")));
}

void TestCli::badUsageExitsWithTwo_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("unknown command") << QStringList({QStringLiteral("record")});
    QTest::newRow("gain 3") << QStringList({QStringLiteral("play"), QStringLiteral("x"),
                                            QStringLiteral("--gain"), QStringLiteral("3")});
    QTest::newRow("gain without value")
        << QStringList({QStringLiteral("play"), QStringLiteral("x"), QStringLiteral("--gain")});
    QTest::newRow("negative frames")
        << QStringList({QStringLiteral("qrs"), QStringLiteral("x"), QStringLiteral("--frames"),
                        QStringLiteral("-1")});
    QTest::newRow("filter on qrs")
        << QStringList({QStringLiteral("qrs"), QStringLiteral("x"), QStringLiteral("--filter")});
    QTest::newRow("no file") << QStringList({QStringLiteral("play")});
    QTest::newRow("two files") << QStringList(
        {QStringLiteral("play"), QStringLiteral("a"), QStringLiteral("b")});
    QTest::newRow("dump unknown kind")
        << QStringList({QStringLiteral("dump"), QStringLiteral("notes.txt")});
}

void TestCli::badUsageExitsWithTwo()
{
    QFETCH(QStringList, args);
    const Result r = runCli(args);
    QCOMPARE(r.status, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY(r.err.contains(QStringLiteral("uso:")));
}

void TestCli::theExecutableReportsItsStatus()
{
    QProcess p;
    p.start(QStringLiteral(ESF_CLI_PATH),
            {QStringLiteral("play"), m_constant, QStringLiteral("--frames"), QStringLiteral("1")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(p.readAllStandardOutput().count('\n'), 2);
    p.start(QStringLiteral(ESF_CLI_PATH),
            {QStringLiteral("play"), m_dir.filePath(QStringLiteral("nope.ecg"))});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(p.readAllStandardError().contains("nope.ecg"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"

#include "Fixtures.h"
#include "app/ZirodIni.h"
#include "cli/Cli.h"
#include "common/BinaryIO.h"
#include "protocol/ProtocolRecord.h"
#include "records/PatientFile.h"
#include "records/StudyFile.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

// The value at a path of keys and indexes, such as "records/0/st/1".
QJsonValue at(QJsonValue v, const QString& path)
{
    for (const QString& step : path.split(u'/')) {
        bool isIndex = false;
        const int i = step.toInt(&isIndex);
        v = isIndex ? v.toArray().at(i) : v.toObject().value(step);
    }
    return v;
}

struct Result {
    int status = -1;
    QString out;
    QString err;
    QStringList lines() const { return out.split(u'\n', Qt::SkipEmptyParts); }
    QJsonValue json(const QString& path) const
    {
        return at(QJsonDocument::fromJson(out.toUtf8()).object(), path);
    }
};

// The words of args through the command line's entry point; each "@" takes the next file.
Result runCli(const QString& args, const QString& file = {}, const QString& other = {})
{
    QStringList files{file, other};
    QStringList words = args.split(u' ', Qt::SkipEmptyParts);
    for (QString& w : words)
        w = w == u"@"_s ? files.takeFirst() : w;
    Result r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = cli::run(words, out, err);
    out.flush();
    err.flush();
    return r;
}

QByteArray frame(qint16 a, qint16 b, qint16 c)
{
    QByteArray f;
    for (qint16 s : {a, b, c})
        f.append(static_cast<char>(s & 0xFF)).append(static_cast<char>((s >> 8) & 0xFF));
    return f;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void playPrintsFramesWithGainFilterAndLoop();
    void qrsPrintsTheAverageAfterNFrames();
    void dumpShowsConfigurationProtocolAndPatient();
    void dumpShowsAStudyAndReportsATornTail();
    void badFilesExitWithOneAndBadUsageWithTwo();
    void theExecutableReportsItsStatus();
    void helpAndVersionAnswerOnStandardOutput();
    void reviewRendersTheCanvasAndReportsDamage();
    void theExecutableDumpsReports();

private:
    QTemporaryDir m_dir;
    QString m_constant; // ten frames of 100, -3, 3
};

void TestCli::initTestCase()
{
    m_constant = m_dir.filePath(u"constant.ecg"_s);
    writeFile(m_constant, frame(100, -3, 3).repeated(10));
}

void TestCli::playPrintsFramesWithGainFilterAndLoop()
{
    const Result r = runCli(u"play @"_s, m_constant);
    QCOMPARE(r.status, 0);
    QStringList lines = r.lines();
    QCOMPARE(lines.size(), 11); // header and one pass of ten frames
    QCOMPARE(lines[0], u"frame,write_index,ring0,ring1,ring2,shown0,shown1,shown2,"
                       "heart_rate,beat_counter,beat_flag,qrs_update"_s);
    QCOMPARE(lines[10], u"10,10,100,-3,3,100,-3,3,0,10,0,0"_s);
    lines = runCli(u"play @ --frames 2000"_s, m_constant).lines();
    QVERIFY(lines[2000].startsWith(u"2000,0,"_s)); // the ring wraps
    QVERIFY(lines[100].endsWith(u",100,0,1"_s));   // the count reaches 100

    // 100 × 0.5 = 50 in the ring, drawn through the filter; -3 × 0.5 = -1.5 → -2.
    lines = runCli(u"play @ --gain 0 --filter --frames 3"_s, m_constant).lines();
    QVERIFY(lines[1].startsWith(u"1,1,50,-2,2,13,"_s));
    QVERIFY(lines[2].startsWith(u"2,2,50,-2,2,28,"_s));

    // The recording loops; a torn last frame is never played.
    const QString torn = m_dir.filePath(u"torn.ecg"_s);
    writeFile(torn, frame(1, 0, 0) + frame(2, 0, 0) + QByteArray("\x05\x00\x06", 3));
    QStringList ring0;
    for (const QString& l : runCli(u"play @ --frames 5"_s, torn).lines().mid(1))
        ring0 << l.section(u',', 2, 2);
    QCOMPARE(ring0.join(u' '), u"1 2 1 2 1"_s);
}

void TestCli::qrsPrintsTheAverageAfterNFrames()
{
    const Result r = runCli(u"qrs @ --frames 100"_s, m_constant);
    QCOMPARE(r.status, 0);
    const QStringList lines = r.lines();
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], u"fid_idx=100"_s);
    const QStringList d2 = lines[1].split(u',');
    QCOMPARE(d2.size(), 201);
    QCOMPARE(d2[200], u"30"_s); // 0.3 × 100
    QCOMPARE(d2[0], u"0"_s);    // before the recording started
    QCOMPARE(runCli(u"qrs @ --frames 99"_s, m_constant).lines()[0], u"fid_idx=0"_s);
}

void TestCli::dumpShowsConfigurationProtocolAndPatient()
{
    const QString ini = m_dir.filePath(u"Zirod.ini"_s);
    writeFile(ini, encodeZirod({13, 2, u"PRUEBA.pro"_s, 6}) + "tail");
    Result r = runCli(u"dump @"_s, ini);
    QCOMPARE(r.status, 0);
    QCOMPARE(r.json(u"lastPatientNumber"_s).toInt(), 13);
    QCOMPARE(r.json(u"protocolFileName"_s).toString(), u"PRUEBA.pro"_s);

    // General data: ten lines in Windows-1252, a short file reads the rest as empty.
    const QString gen = m_dir.filePath(u"Datosgen.txt"_s);
    writeFile(gen, "Cl\xednica\r\nSan Mart\xedn 1\r\n(011)12345678\r\nDra. P\xe9rez\r\n[Wats]\r\n");
    r = runCli(u"dump @"_s, gen);
    QCOMPARE(r.json(u"physician"_s).toString(), u"Dra. Pérez"_s);
    QCOMPARE(r.json(u"loadUnit"_s).toString(), u"[Wats]"_s);
    QCOMPARE(r.json(u"logo"_s).toString(), QString());

    ProtocolRecord p;
    p.name = u"PRUEBA"_s;
    p.stageCount = 1;
    p.stages[0] = {1, 0, 180, 0.0f, 10.0f, 2.7f};
    p.stages[1] = {2, 1, 75, 0.0f, 12.0f, 4.0f}; // beyond the count: not shown
    r = runCli(u"dump @"_s, saveProtocolFile(QDir(m_dir.path()), p));
    QCOMPARE(r.json(u"stages"_s).toArray().size(), 1);
    QCOMPARE(r.json(u"stages/0/speed"_s).toDouble(), 2.7);

    const QString patient = m_dir.filePath(u"00000012.DAT"_s);
    writePatientHeader(patient, {u"José"_s, u"Peña"_s, 172, u"03/04/1960"_s, 1}, 1);
    appendFile(patient, encodeString(u"0012_001.est"_s, 12) + encodeString(u"12/03/2007"_s, 10));
    r = runCli(u"dump @"_s, patient);
    QCOMPARE(r.json(u"surname"_s).toString(), u"Peña"_s);
    QCOMPARE(r.json(u"studies/0/date"_s).toString(), u"12/03/2007"_s);
}

void TestCli::dumpShowsAStudyAndReportsATornTail()
{
    QTemporaryDir dir;
    const QString patient = dir.filePath(u"00000012.DAT"_s);
    writePatientHeader(patient, PatientData(), 1);
    StudySession session{u"00000012.DAT"_s, 1, u"2007.1.1"_s, true, {}, {}};
    ProtocolRecord p;
    p.name = u"PRUEBA"_s;
    p.stageCount = 1;
    StageRecord rec;
    rec.systolic = 150;
    rec.heartRate = 100;
    rec.st = {0.5f, -1000.0f, -0.25f};
    for (auto& lead : rec.strip)
        for (int k = 0; k < 2001; ++k)
            lead.push_back(k);
    for (int i = 0; i < 2; ++i)
        saveStageRecord(QDir(dir.path()), session, p, rec, QDate(2026, 12, 6));
    const QString study = dir.filePath(u"0012_001.est"_s);

    Result r = runCli(u"dump @"_s, study);
    QCOMPARE(r.status, 0);
    QCOMPARE(r.json(u"records"_s).toArray().size(), 2);
    QCOMPARE(r.json(u"records/0/itt"_s).toInt(), 15000);
    QCOMPARE(r.json(u"records/0/st/1"_s).toDouble(), -1000.0);
    QCOMPARE(r.json(u"records/0/strip/2"_s).toArray(), QJsonArray({0, 1, 2, 1998, 1999, 2000}));
    r = runCli(u"dump @ --strips"_s, study);
    QCOMPARE(r.json(u"records/0/strip/0"_s).toArray().size(), 2001);

    // As an old patient's file the same bytes hold 24039-byte records without ST.
    r = runCli(u"dump @ --version 2007.1.0"_s, study);
    QCOMPARE(r.status, 1); // 2 × 24051 bytes are two old records and a torn third
    QCOMPARE(r.json(u"records"_s).toArray().size(), 2);
    QCOMPARE(r.json(u"records/0/st/0"_s).toDouble(), -1000.0);

    // The same study summarised and exported.
    r = runCli(u"summary @ --patient @ --formula 1"_s, study, patient);
    QCOMPARE(r.status, 0);
    QCOMPARE(r.json(u"records"_s).toInt(), 2);
    QCOMPARE(r.json(u"values/maxST/0"_s).toDouble(), 0.5);
    QCOMPARE(r.json(u"rows/0/label"_s).toString(), u"FC de reposo"_s);
    const QString edf = dir.filePath(u"estudio.edf"_s);
    r = runCli(u"export-edf @ --patient @ --out "_s + edf, study, patient);
    QCOMPARE(r.status, 0);
    const QByteArray header = readFile(edf).left(256);
    QCOMPARE(header.mid(192, 5), "EDF+C");
    QCOMPARE(header.mid(236, 8).trimmed(), "20"); // ten one-second records a strip

    QVERIFY(QFile::resize(study, QFileInfo(study).size() - 100)); // cut inside record 2
    r = runCli(u"dump @ --patient @"_s, study, patient);
    QCOMPARE(r.status, 1);
    QCOMPARE(r.json(u"records"_s).toArray().size(), 1);
    QVERIFY(r.err.contains(u"registro 2"_s));
}

void TestCli::badFilesExitWithOneAndBadUsageWithTwo()
{
    // The words, a file, and what it holds; a file of no content is not written.
    const std::tuple<QString, QString, QByteArray> files[] = {
        {u"play @"_s, u"missing.ecg"_s, {}},
        {u"play @"_s, u"x.ecg"_s, QByteArray("\x01\x02\x03", 3)}, // no whole frame
        {u"dump @"_s, u"Zirod.ini"_s, QByteArray(106, '\0')},
        {u"dump @"_s, u"X.pro"_s, QByteArray(387, '\0')},
        {u"dump @"_s, u"00000001.DAT"_s, QByteArray(176, '\0')}};
    QTemporaryDir dir;
    for (const auto& [args, file, content] : files) {
        if (!content.isEmpty())
            writeFile(dir.filePath(file), content);
        const Result r = runCli(args, dir.filePath(file));
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith(u"esfuerzo-cli: "_s), qPrintable(r.err));
    }
    for (const char* args :
         {"", "record", "play x --gain 3", "play x --gain", "qrs x --frames -1", "qrs x --filter",
          "play", "play a b", "dump notes.txt", "summary x", "summary x --patient p --formula 8",
          "summary x --patient p --angina 3", "export-edf x --patient p"}) {
        const Result r = runCli(QString::fromLatin1(args));
        QCOMPARE(r.status, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains(u"uso:"_s), args);
    }
}

void TestCli::theExecutableReportsItsStatus()
{
    QProcess p;
    p.start(QStringLiteral(ESF_CLI_PATH), {u"play"_s, m_constant, u"--frames"_s, u"1"_s});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(p.readAllStandardOutput().count('\n'), 2);
    p.start(QStringLiteral(ESF_CLI_PATH), {u"play"_s, m_dir.filePath(u"nope.ecg"_s)});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(p.readAllStandardError().contains("nope.ecg"));
}

void TestCli::helpAndVersionAnswerOnStandardOutput()
{
    Result r = runCli(u"--version"_s);
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, u"esfuerzo-cli 2007.1.1\n"_s);
    QVERIFY(r.err.isEmpty());

    for (const QString& option : {u"--help"_s, u"-h"_s}) {
        r = runCli(option);
        QCOMPARE(r.status, 0);
        QVERIFY(r.err.isEmpty());
        QVERIFY2(r.out.startsWith(u"uso: esfuerzo-cli play ARCHIVO"_s), qPrintable(r.out));
        QVERIFY2(r.out.contains(u"\n     esfuerzo-cli --help | --version\n"_s), qPrintable(r.out));
        QVERIFY2(r.out.contains(u"Estado de salida: 0 correcto, 1 archivo ausente, ilegible o "
                                u"dañado, 2 uso incorrecto.\n"_s),
                 qPrintable(r.out));
    }
    // The footer belongs to the help; a usage error shows the commands only.
    r = runCli(u"--versión"_s);
    QCOMPARE(r.status, 2);
    QVERIFY(!r.err.contains(u"Estado de salida"_s));
}

void TestCli::reviewRendersTheCanvasAndReportsDamage()
{
    const QString study = m_dir.filePath(u"0012_001.est"_s);
    const QString patient = m_dir.filePath(u"00000012.DAT"_s);
    const QString png = m_dir.filePath(u"out.png"_s);
    writePatient(patient, {u"Ana"_s, u"Núñez"_s, 160, u"01/01/1960"_s, 1}, 1);
    const QByteArray bytes = encodeStudy(reviewProtocol(), reviewRecords(4));
    writeFile(study, bytes);
    const auto run = [&](const QString& args) {
        return runCli(QString(args).replace(u"O"_s, png), study, patient).status;
    };
    QCOMPARE(run(u"review @ --patient @ --record 9 --size 640x480 --out O"_s), 0);
    const QImage image(png);
    QCOMPARE(image.size(), QSize(640, 480));
    // The strip panel 448 × 192 at (179, 240) has its green frame.
    QCOMPARE(image.pixel(179, 245) & 0xFFFFFF, 0x008000u);
    QCOMPARE(run(u"review @ --patient @ --out O"_s), 0);
    QCOMPARE(QImage(png).size(), QSize(1000, 700));

    writeFile(study, bytes.left(bytes.size() - 10)); // torn tail: drawn without it, status 1
    QCOMPARE(run(u"review @ --patient @ --out O"_s), 1);
    QCOMPARE(runCli(u"review @ --patient nowhere.DAT --out "_s + png, study).status, 1);
    for (const QString& bad :
         {u"review @ --patient @"_s, u"review @ --patient @ --size 10x10 --out O"_s,
          u"review @ --patient @ --record 0 --out O"_s})
        QCOMPARE(run(bad), 2);
}

// Reports through the real program, which runs without a display.
void TestCli::theExecutableDumpsReports()
{
    QProcess p;
    p.start(QStringLiteral(ESF_CLI_PATH),
            {u"dump"_s, QStringLiteral(ESF_TEST_DATA "/wordpad-informe.rtf")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    const QJsonValue report = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    QCOMPARE(at(report, u"paragraphs"_s).toArray().size(), 5);
    QCOMPARE(at(report, u"paragraphs/0/alignment"_s).toString(), u"center"_s);
    QCOMPARE(QJsonDocument(at(report, u"paragraphs/1/runs/1"_s).toObject())
                 .toJson(QJsonDocument::Compact),
             R"({"bold":false,"color":null,"font":"Arial","italic":true,"size":10,"strike":false,)"
             R"("text":"Pérez, José","underline":false})");
    QCOMPARE(at(report, u"paragraphs/2/runs/1/color"_s).toString(), u"#c00000"_s);
    QCOMPARE(at(report, u"paragraphs/2/runs/1/text"_s).toString(), u"ST ≥ 2 mm"_s);
    p.start(QStringLiteral(ESF_CLI_PATH), {u"dump"_s, m_dir.filePath(u"0012_003.INF"_s)});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 1);
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"

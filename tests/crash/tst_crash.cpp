#include "TestFiles.h"
#include "app/ZirodIni.h"
#include "common/FileError.h"
#include "common/Version.h"
#include "protocol/ProtocolRecord.h"
#include "records/PatientFile.h"
#include "records/StudyFile.h"
#include "records/StudyReview.h"
#include "report/GeneralData.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace esf;
using namespace esf::test;

namespace {

const QString kPatient = QStringLiteral("00000001.DAT");
const QDate kToday(2007, 5, 14);

// Every field and sample depends on the elapsed time, so any byte out of place shows.
StageRecord recordAt(int elapsed)
{
    StageRecord r;
    r.kind = static_cast<std::uint8_t>(elapsed % 2);
    r.elapsed = elapsed;
    r.stage = static_cast<std::uint8_t>(1 + elapsed % 5);
    r.diastolic = 60 + elapsed % 40;
    r.systolic = 110 + elapsed % 90;
    r.heartRate = 70 + elapsed % 120;
    r.angina = static_cast<std::uint8_t>(elapsed % 3 == 0);
    for (int lead = 0; lead < kLeadCount; ++lead) {
        auto& strip = r.strip[static_cast<std::size_t>(lead)];
        for (int i = 0; i < 2001; ++i)
            strip.push_back((elapsed * 31 + i * 7 + lead * 1000) % 4001 - 2000);
        r.st[static_cast<std::size_t>(lead)] = static_cast<float>(elapsed % 17) / 8.0f;
    }
    return r;
}

ProtocolRecord protocolNamed(const QString& name, int stages)
{
    ProtocolRecord p;
    p.name = name;
    p.stageCount = static_cast<std::uint8_t>(stages);
    for (int n = 1; n <= stages; ++n) {
        p.stage(n).number = static_cast<std::uint8_t>(n);
        p.stage(n).duration = 60 * n;
        p.stage(n).load = 25.0f * static_cast<float>(n);
    }
    return p;
}

// A data folder in memory when the machine has one, so a thousand saves stay quick.
QString scratchRoot()
{
    return QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                              : QDir::tempPath();
}

// The folder as a reader sees it: the patient's studies and the records of the newest one.
struct Seen {
    StudyList list;
    StudyTrend trend;
};

Seen look(const QDir& dir)
{
    Seen s;
    s.list = readStudyList(dir.filePath(kPatient));
    if (!s.list.entries.isEmpty())
        s.trend = readStudyTrend(dir.filePath(s.list.entries.back().file), kSoftwareVersion);
    return s;
}

// The whole-file rewrites: two contents each, read back as the reader gives them.
struct Rewrite {
    void (*write)(const QDir&, int variant);
    QByteArray (*read)(const QDir&);
    const char* file;
};

GeneralData generalData(int variant)
{
    const QString a = variant ? QStringLiteral("Clínica del Sur, sala 2") : QStringLiteral("H");
    return {a,
            a + a,
            QStringLiteral("(011) 4555-0000"),
            a,
            QStringLiteral("W"),
            QStringLiteral("mmHg"),
            QStringLiteral("km/h"),
            QStringLiteral("lpm"),
            QStringLiteral("%"),
            a};
}

ZirodConfig zirodConfig(int variant)
{
    return {variant ? 123456 : 7, static_cast<std::uint8_t>(variant * 3),
            variant ? QStringLiteral("BRUCE MODIFICADO.pro") : QStringLiteral("OMS 25W.pro"),
            static_cast<std::uint8_t>(variant * 5)};
}

const Rewrite kProtocolRewrite{
    [](const QDir& d, int v) {
        saveProtocolFile(d, protocolNamed(QStringLiteral("PRUEBA"), v ? 12 : 3));
    },
    [](const QDir& d) {
        return encodeProtocol(loadProtocolFile(d.filePath(QStringLiteral("PRUEBA.pro"))));
    },
    "PRUEBA.pro"};
const Rewrite kGeneralDataRewrite{
    [](const QDir& d, int v) {
        writeGeneralData(d.filePath(kGeneralDataFileName), generalData(v));
    },
    [](const QDir& d) {
        const GeneralData g = readGeneralData(d.filePath(kGeneralDataFileName));
        return (g.institution + g.address + g.logo).toUtf8();
    },
    "Datosgen.txt"};
const Rewrite kZirodCreate{
    [](const QDir& d, int v) { createZirod(d.filePath(kZirodFileName), zirodConfig(v)); },
    [](const QDir& d) { return encodeZirod(readZirod(d.filePath(kZirodFileName))); }, "Zirod.ini"};
const Rewrite kZirodUpdate{
    [](const QDir& d, int v) { updateZirod(d.filePath(kZirodFileName), zirodConfig(v)); },
    kZirodCreate.read, "Zirod.ini"};

// Writes fail once a file would grow past limit bytes, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 limit)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit l = m_old;
        l.rlim_cur = static_cast<rlim_t>(limit);
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
};

} // namespace

Q_DECLARE_METATYPE(const Rewrite*)

class TestCrash : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root{scratchRoot() + QStringLiteral("/esfuerzo-crash-XXXXXX")};
    QRandomGenerator m_random{20070514};

    QDir freshFolder(const QString& name)
    {
        QDir dir(m_root.path());
        dir.mkdir(name);
        dir.cd(name);
        writePatientHeader(dir.filePath(kPatient), {}, 0);
        return dir;
    }

    // Kills the child after a random moment; returns its exit status, -1 when killed.
    int killLater(pid_t child, int maxMicroseconds)
    {
        ::usleep(static_cast<useconds_t>(m_random.bounded(maxMicroseconds)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        std::signal(SIGXFSZ, SIG_IGN);
    }

    // A study is recorded while the writer dies at random moments; a new study every
    // twentieth time. Each death may cost the record being written, never an earlier one.
    void killedStageWriter()
    {
        const QDir dir = freshFolder(QStringLiteral("stages"));
        const ProtocolRecord protocol = protocolNamed(QStringLiteral("BRUCE"), 7);
        StudySession session{kPatient, 0, kSoftwareVersion, false, {}, {}};
        qint64 kept = 0;
        for (int round = 0; round < 1000; ++round) {
            if (round % 20 == 0 && !session.newStudyPending) {
                session.studyCount = static_cast<std::uint8_t>(session.studyCount + 1);
                session.newStudyPending = true;
                kept = 0;
            }
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                try {
                    for (qint64 k = 1; k <= 3; ++k)
                        saveStageRecord(dir, session, protocol, recordAt(int(kept + k)), kToday);
                } catch (const FileError&) {
                    ::_exit(2);
                }
                ::_exit(0);
            }
            QVERIFY(killLater(child, 1500) != 2);

            const Seen seen = look(dir);
            QVERIFY(seen.list.complete);
            const auto count = readPatientHeader(dir.filePath(kPatient)).studyCount;
            QCOMPARE(seen.list.entries.size(), count);
            QVERIFY(count == session.studyCount || count == session.studyCount - 1);
            if (session.newStudyPending && count == session.studyCount) {
                session.newStudyPending = false;
                session.studyFileName = seen.list.entries.back().file;
            }
            if (session.newStudyPending)
                continue;
            const auto& records = seen.trend.records;
            QVERIFY(qint64(records.size()) >= kept && qint64(records.size()) <= kept + 3);
            for (std::size_t i = 0; i < records.size(); ++i) {
                StageRecord expected = recordAt(int(i + 1));
                expected.strip = {};
                QCOMPARE(records[i], expected);
            }
            kept = qint64(records.size());
            if (kept > 0) {
                const StudyRead last = readStudyRecord(dir.filePath(session.studyFileName),
                                                       int(kept), kSoftwareVersion);
                QCOMPARE(last.record, recordAt(int(kept)));
            }
        }
        // The next save cuts a torn record off and appends where the whole records end.
        saveStageRecord(dir, session, protocol, recordAt(int(kept + 1)), kToday);
        QCOMPARE(QFileInfo(dir.filePath(session.studyFileName)).size(),
                 kProtocolRecordSize + (kept + 1) * kStageRecordSize);
        QVERIFY(
            listStudies(dir.filePath(kPatient)).lines.filter(QStringLiteral("corrupto")).isEmpty());
    }

    void killedRewrite_data()
    {
        QTest::addColumn<const Rewrite*>("rewrite");
        QTest::newRow("protocolo") << &kProtocolRewrite;
        QTest::newRow("Datosgen.txt") << &kGeneralDataRewrite;
        QTest::newRow("Zirod.ini nuevo") << &kZirodCreate;
        QTest::newRow("Zirod.ini en su lugar") << &kZirodUpdate;
    }

    // Killed while rewriting a file whole, the writer leaves the old content or the new one.
    void killedRewrite()
    {
        QFETCH(const Rewrite*, rewrite);
        const QDir dir = freshFolder(QString::fromLatin1(QTest::currentDataTag()));
        rewrite->write(dir, 0);
        const QByteArray contents[] = {rewrite->read(dir),
                                       (rewrite->write(dir, 1), rewrite->read(dir))};
        QVERIFY(contents[0] != contents[1]);
        for (int round = 0; round < 250; ++round) {
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                try {
                    for (int k = 0;; ++k)
                        rewrite->write(dir, k % 2);
                } catch (const FileError&) {
                    ::_exit(2);
                }
            }
            QVERIFY(killLater(child, 3000) != 2);
            const QByteArray now = rewrite->read(dir);
            QVERIFY2(now == contents[0] || now == contents[1], now.toHex().constData());
        }
    }

    // Overwriting bytes in place needs no room, so only the whole-file writers are here.
    void fullDiskRewrite_data()
    {
        QTest::addColumn<const Rewrite*>("rewrite");
        QTest::newRow("protocolo") << &kProtocolRewrite;
        QTest::newRow("Datosgen.txt") << &kGeneralDataRewrite;
        QTest::newRow("Zirod.ini nuevo") << &kZirodCreate;
    }

    // A disk full at any byte of a rewrite: an error and the old content, or the new one whole.
    void fullDiskRewrite()
    {
        QFETCH(const Rewrite*, rewrite);
        const QDir dir =
            freshFolder(QStringLiteral("full ") + QLatin1String(QTest::currentDataTag()));
        rewrite->write(dir, 1);
        const QByteArray fresh = rewrite->read(dir);
        const qint64 size = QFileInfo(dir.filePath(QLatin1String(rewrite->file))).size();
        for (qint64 limit = 0; limit <= size; ++limit) {
            rewrite->write(dir, 0);
            const QByteArray old = rewrite->read(dir);
            bool failed = false;
            {
                const FileSizeLimit full(limit);
                try {
                    rewrite->write(dir, 1);
                } catch (const FileError&) {
                    failed = true;
                }
            }
            QCOMPARE(failed, limit < size);
            QCOMPARE(rewrite->read(dir), failed ? old : fresh);
        }
    }

    void fullDiskStage_data()
    {
        QTest::addColumn<bool>("newStudy");
        QTest::newRow("primer registro de un estudio nuevo") << true;
        QTest::newRow("registro añadido") << false;
    }

    // The disk fills after every possible byte of a save: an error, earlier data untouched,
    // and once there is room again the save goes through aligned.
    void fullDiskStage()
    {
        QFETCH(bool, newStudy);
        const QDir dir = freshFolder(QStringLiteral("disk-%1").arg(newStudy));
        const ProtocolRecord protocol = protocolNamed(QStringLiteral("BRUCE"), 7);
        StudySession base{kPatient, 1, kSoftwareVersion, true, {}, {}};
        saveStageRecord(dir, base, protocol, recordAt(1), kToday);
        if (newStudy) {
            base.studyCount = 2;
            base.newStudyPending = true;
        }
        const QString patientPath = dir.filePath(kPatient);
        const QByteArray patientBytes = readFile(patientPath);
        const QString firstStudy = dir.filePath(base.studyFileName);
        const QByteArray studyBytes = readFile(firstStudy);
        const qint64 start = newStudy ? 0 : studyBytes.size();
        const qint64 end = start + (newStudy ? kProtocolRecordSize : 0) + kStageRecordSize;
        // Every byte near the ends of the save, where the small fields and the file's growth
        // start and stop; in the middle of the strips every 13th byte, a step prime to all
        // field sizes, so the cut falls at every position within a field somewhere.
        const auto step = [&](qint64 limit) {
            return limit - start < 1024 || end - limit <= 1024 ? limit + 1 : limit + 13;
        };
        for (qint64 limit = start; limit <= end; limit = step(limit)) {
            StudySession s = base;
            bool failed = false;
            {
                const FileSizeLimit full(qMax(limit, qint64(patientBytes.size())));
                try {
                    saveStageRecord(dir, s, protocol, recordAt(2), kToday);
                } catch (const FileError&) {
                    failed = true;
                }
            }
            QCOMPARE(failed, limit < end);
            QCOMPARE(readStudyTrend(firstStudy, kSoftwareVersion).records.size(),
                     std::size_t(newStudy || failed ? 1 : 2));
            QCOMPARE(readStudyRecord(firstStudy, 1, kSoftwareVersion).record, recordAt(1));
            if (failed) {
                saveStageRecord(dir, s, protocol, recordAt(2), kToday);
                const StudyTrend now =
                    readStudyTrend(dir.filePath(s.studyFileName), kSoftwareVersion);
                QCOMPARE(now.records.size(), std::size_t(newStudy ? 1 : 2));
                QVERIFY(!now.tornTail);
                QVERIFY(readStudyList(patientPath).complete);
            }
            // Back to the folder as it was, for the next limit.
            for (const QString& name : dir.entryList(QDir::Files))
                QFile::remove(dir.filePath(name));
            writeFile(patientPath, patientBytes);
            writeFile(firstStudy, studyBytes);
        }
    }
};

QTEST_GUILESS_MAIN(TestCrash)
#include "tst_crash.moc"

#include "TestFiles.h"
#include "common/BinaryIO.h"
#include "common/FileError.h"
#include "common/Version.h"
#include "records/PatientFile.h"
#include "records/StudyFile.h"

#include <QBuffer>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

const QDate kToday(2007, 3, 5);
const QString kNew = kSoftwareVersion;
const QString kOld = u"2007.1.0"_s; // records without ST levels

QString s(const char* text)
{
    return QString::fromUtf8(text);
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

template <typename F> QByteArray bytesOf(F write)
{
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    LeWriter w(b, QString());
    write(w);
    return out;
}

QByteArray encode(const StageRecord& r, bool withST)
{
    return bytesOf([&](LeWriter& w) { writeStageRecord(w, r, withST); });
}

ProtocolRecord protocol()
{
    ProtocolRecord p = ProtocolRecord::cleared();
    p.name = s("Bruce");
    p.stageCount = 2;
    p.device = Device::Cinta;
    p.stages[0] = {1, StageType::Basal, 120, 0.0f, 0.0f, 0.0f};
    p.stages[1] = {2, StageType::Ejercicio, 180, 0.0f, 10.0f, 2.7f};
    return p;
}

// A patient file with the given count followed by (name, date) entries; a null date leaves
// the entry torn after its name.
void patient(const QString& path, std::uint8_t count, const QList<QStringList>& entries = {})
{
    QFile::remove(path);
    writePatientHeader(path, {s("Ana"), s("Núñez"), 160, s("01/02/1950"), 0}, count);
    for (const QStringList& e : entries) {
        appendFile(path, encodeString(e[0], 12));
        if (e.size() > 1)
            appendFile(path, encodeString(e[1], 10));
    }
}

} // namespace

class TestStudyFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void recordLayout();
    void versionsNamesAndItt();
    void oldHeaderIsConverted();
    void studyLifecycle();
    void collidingNameMovesToAFreeNumber();
    void rewriteTouchesOnlyTheCorrectedBytes();
    void listingMarksBrokenEntries();

private:
    QTemporaryDir m_tmp;
};

void TestStudyFile::recordLayout()
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
}

void TestStudyFile::versionsNamesAndItt()
{
    QVERIFY(recordsHaveST(s("2007.1.1")) && recordsHaveST(s("2007.1.0.1")));
    QVERIFY(!recordsHaveST(kOld) && !recordsHaveST(s("2007.1")) && !recordsHaveST({}));
    // Bytes compare unsigned: é (0xE9) is above every ASCII letter.
    QVERIFY(versionGreaterThan(s("2007.é"), s("2007.z")));
    for (const char* old : {"2004.1.9", "1999"})
        QVERIFY2(usesOldProtocolHeader(s(old)), old);
    for (const char* current : {"2004.2.0", "2004", "2004.x", "", "V2.0"})
        QVERIFY2(!usesOldProtocolHeader(s(current)), current);

    QCOMPARE(studyFileName(s("00000123.DAT"), 7), s("0123_007.est"));
    QCOMPARE(studyFileName(s("00000012.DAT"), 1000), s("0012_1000.es"));
    QCOMPARE(reportFileName(s("0012_003.est")), s("0012_003.INF"));

    StageRecord r;
    std::tie(r.heartRate, r.systolic) = std::pair(180, 220);
    QCOMPARE(r.itt(), 39600);
    std::tie(r.heartRate, r.systolic) = std::pair(46341, 46341);
    QCOMPARE(r.itt(), -2147479015); // 2147488281 wrapped
}

void TestStudyFile::oldHeaderIsConverted()
{
    // name "Old", count 2, pad, device 1; each 24-byte entry: u8 number, 3 pad, i32 type,
    // i32 duration, then the three stage values as i32 at 12/16/20. Entry 3 lies beyond
    // the count and must come out zero.
    QByteArray h = encodeString(s("Old"), 20) + QByteArray::fromHex("02000001000000");
    const QList<QList<std::int32_t>> values = {
        {1, 90, 75, -3, 12}, {1, 60, 0, 16, 5}, {9, 9, 9, 9, 9}};
    for (int i = 0; i < kMaxStages; ++i) {
        h += QByteArray(1, static_cast<char>(i + 1)) + QByteArray(3, '\0');
        for (std::int32_t v : values.value(i, {0, 0, 0, 0, 0}))
            h += bytesOf([v](LeWriter& w) { w.i32(v); });
    }
    QCOMPARE(h.size(), 388);

    const QString path = m_tmp.filePath(s("old.est"));
    writeFile(path, h + encode(record(1), false));
    const StudyRead old = readStudyRecord(path, 1, s("2004.1.0"));
    QVERIFY(!old.error && old.atEnd);
    QCOMPARE(old.protocol.name, s("Old"));
    QCOMPARE(old.protocol.device, 1);
    QCOMPARE(old.protocol.stages[0], (StageEntry{1, 1, 90, 75.0f, -3.0f, 12.0f}));
    QCOMPARE(old.protocol.stages[1], (StageEntry{2, 1, 60, 0.0f, 16.0f, 5.0f}));
    QCOMPARE(old.protocol.stages[2], StageEntry{});
    QCOMPARE(old.record.st, (std::array<float, 3>{-1000.0f, -1000.0f, -1000.0f}));
    // Read as the current layout, the same integers are taken for the bits of floats.
    QVERIFY(readStudyRecord(path, 1, kOld).protocol.stages[0].load != 75.0f);
}

void TestStudyFile::studyLifecycle()
{
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    const QString pat = dir.filePath(s("00000012.DAT"));
    patient(pat, 2, {{s("0012_001.est"), s("01/01/2007")}});
    appendFile(pat, "torn"); // an entry cut short must not shift the new one
    StudySession session{s("00000012.DAT"), 2, kNew, true, {}, {}};
    const auto save = [&](int seed) {
        saveStageRecord(dir, session, protocol(), record(seed), kToday.addDays(seed - 1));
    };

    save(1);
    QCOMPARE(session.studyFileName, s("0012_002.est"));
    QCOMPARE(session.studyDate, s("05/03/2007"));
    QVERIFY(!session.newStudyPending);
    const QString study = dir.filePath(session.studyFileName);
    QCOMPARE(readFile(study), encodeProtocol(protocol()) + encode(record(1), true));
    const QByteArray registered = readFile(pat);
    QCOMPARE(registered.size(), kPatientHeaderSize + 2 * kStudyEntrySize);
    QCOMPARE(registered[kPatientHeaderSize - 1], '\2');
    QCOMPARE(readStudyEntries(pat).last(), (StudyEntry{s("0012_002.est"), s("05/03/2007")}));

    save(2);
    QCOMPARE(session.studyDate, s("06/03/2007"));
    StudyRead r = readStudyRecord(study, 3, kNew);
    QVERIFY(r.atEnd && !r.error && r.recordsRead == 2 && r.protocol == protocol());
    QCOMPARE(r.record, record(2));
    QCOMPARE(r.previousElapsed, record(1).elapsed);
    r = readStudyRecord(study, 0, kNew);
    QVERIFY(!r.atEnd && !r.error && r.recordsRead == 0 && r.protocol == protocol());
    r = readStudyRecord(dir.filePath(s("none.est")), 1, kNew);
    QVERIFY(r.error && r.recordsRead == 0);
    r = readStudyRecord(study, 3, kOld); // 24039-byte records do not line up with these
    QVERIFY(r.error && !r.atEnd && r.recordsRead == 2);

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
    StudySession none{s("00000099.DAT"), 1, kNew, true, {}, {}};
    QVERIFY_THROWS_EXCEPTION(FileError, saveStageRecord(dir, none, protocol(), record(1), kToday));
    session.studyFileName = s("../x.est");
    QVERIFY_THROWS_EXCEPTION(FileError, save(1));
    QCOMPARE(dir.entryList(QDir::Files).size(), 2);
}

void TestStudyFile::collidingNameMovesToAFreeNumber()
{
    QDir dir(m_tmp.filePath(s("clash")));
    QVERIFY(dir.mkpath(s(".")));
    patient(dir.filePath(s("00000012.DAT")), 1, {{s("0012_001.est"), s("01/01/2007")}});
    writeFile(dir.filePath(s("0012_001.est")), "theirs");
    writeFile(dir.filePath(s("0012_002.EST")), "theirs too");
    writeFile(dir.filePath(s("0012_003.inf")), "their report");
    const QString mine = dir.filePath(s("00010012.DAT"));
    patient(mine, 1);
    StudySession session{s("00010012.DAT"), 1, kNew, true, {}, {}};
    saveStageRecord(dir, session, protocol(), record(1), kToday);
    QCOMPARE(session.studyFileName, s("0012_004.est"));
    QCOMPARE(readStudyEntries(mine), (QList<StudyEntry>{{s("0012_004.est"), s("05/03/2007")}}));
    QCOMPARE(readFile(dir.filePath(s("0012_001.est"))), QByteArray("theirs"));
    QCOMPARE(QFileInfo(dir.filePath(s("0012_004.est"))).size(),
             kProtocolRecordSize + kStageRecordSize);

    // Every number up to 999 taken: refused before the entry is written.
    writeFile(dir.filePath(s("0012_999.est")), "x");
    StudySession full{s("00010012.DAT"), 255, kNew, true, {}, {}};
    for (int n = 255; n < 999; ++n)
        writeFile(dir.filePath(studyFileName(s("00010012.DAT"), n)), "x");
    const QByteArray before = readFile(mine);
    QVERIFY_THROWS_EXCEPTION(FileError, saveStageRecord(dir, full, protocol(), record(1), kToday));
    QVERIFY(full.newStudyPending);
    QCOMPARE(readFile(mine).size(), before.size());
}

void TestStudyFile::rewriteTouchesOnlyTheCorrectedBytes()
{
    const QString path = m_tmp.filePath(s("0002_001.est"));
    const QByteArray original =
        encodeProtocol(protocol()) + encode(record(1), true) + encode(record(2), true);
    writeFile(path, original);
    rewriteStageValues(path, 2, 95, 180, 150, 0);
    QByteArray expected = original;
    const int at = kProtocolRecordSize + kStageRecordSize;
    expected.replace(at + 10, 12, QByteArray::fromHex("5f000000b400000096000000"));
    expected[at + 26] = '\0';
    QCOMPARE(readFile(path), expected);
    QCOMPARE(readStudyRecord(path, 2, kNew).record.itt(), 27000);

    for (int n : {0, 3})
        QVERIFY_THROWS_EXCEPTION(FileError, rewriteStageValues(path, n, 1, 1, 1, 1));
    QCOMPARE(readFile(path), expected);
    const QString missing = m_tmp.filePath(s("none.est"));
    QVERIFY_THROWS_EXCEPTION(FileError, rewriteStageValues(missing, 1, 1, 1, 1, 1));
    QVERIFY(!QFile::exists(missing));
}

void TestStudyFile::listingMarksBrokenEntries()
{
    const QString path = m_tmp.filePath(s("00000003.DAT"));
    patient(path, 5,
            {{s("0003_001.est"), s("12/03/2007")},
             {s("../x.est"), s("13/03/2007")},
             {s("00000004.DAT"), s("14/03/2007")},
             {s("0003_004.EST"), s("15/03/2007")},
             {s("0003_005.est")}});
    const StudyListing l = listStudies(path);
    QCOMPARE(l.caption, s("Estudio: Núñez, Ana"));
    QCOMPARE(l.lines,
             (QStringList{s("1)-12/03/2007"), s("2)-Archivo corrupto"), s("3)-Archivo corrupto"),
                          s("4)-15/03/2007"), s("5)-Archivo corrupto")}));
    QCOMPARE(l.files, (QStringList{s("0003_001.est"), {}, {}, s("0003_004.EST"), {}}));

    // The count says 3, the file holds one entry: the listing stops at the first gap.
    patient(path, 3, {{s("0003_001.est"), s("12/03/2007")}});
    QCOMPARE(listStudies(path).lines, (QStringList{s("1)-12/03/2007"), s("2)-Archivo corrupto")}));
    writeFile(path, readFile(path).left(kPatientHeaderSize - 1));
    QVERIFY(listStudies(path).lines.isEmpty() && listStudies(path).caption.isEmpty());
}

QTEST_GUILESS_MAIN(TestStudyFile)
#include "tst_studyfile.moc"

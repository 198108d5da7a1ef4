#include "TestFiles.h"
#include "common/BinaryIO.h"
#include "common/FileError.h"
#include "common/Version.h"
#include "records/PatientFile.h"

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

// patient-accented.DAT, 225 bytes, unused string bytes zero:
//   0 string[30] "María José"   31 string[30] "Peña Ibáñez" (í é ñ á single bytes)
//  62 u8 163   63 string[10] "05/11/1958"   74 u8 0 (female)
//  75 string[100] "2007.1.1"   176 u8 2
// 177 "0001_001.est" "12/03/2007"   201 "0001_002.est" "14/03/2007"
QByteArray fixture()
{
    return readFile(QStringLiteral(ESF_TEST_DATA "/patient-accented.DAT"));
}

void put(const QDir& dir, const QString& name, const QByteArray& bytes)
{
    writeFile(dir.filePath(name), bytes);
}

// The fixture's header with the given count, followed by one entry per study name.
QByteArray patientWith(std::uint8_t count, const QStringList& studies)
{
    QByteArray bytes = fixture().left(kPatientHeaderSize);
    bytes[kPatientHeaderSize - 1] = static_cast<char>(count);
    for (const QString& s : studies)
        bytes += encodeString(s, 12) + encodeString(u"01/01/2007"_s, 10);
    return bytes;
}

} // namespace

class TestPatientFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTripIsByteExactAndReadsWholeEntries();
    void headerRewriteKeepsTheStudyListAndCutsNames();
    void ageAndVersionGate();
    void listingMarksShortFiles();
    void nextNumberSkipsFilesInAnyCase();
    void deletionStaysInsideTheFolder();
};

void TestPatientFile::roundTripIsByteExactAndReadsWholeEntries()
{
    QTemporaryDir tmp;
    const QDir dir(tmp.path());
    const QByteArray original = fixture();
    QCOMPARE(original.size(), 225);
    put(dir, u"in.DAT"_s, original);
    const PatientHeader h = readPatientHeader(tmp.filePath(u"in.DAT"_s));
    QCOMPARE(h.data, (PatientData{u"María José"_s, u"Peña Ibáñez"_s, 163, u"05/11/1958"_s, 0}));
    QCOMPARE(h.version, u"2007.1.1"_s);
    QCOMPARE(h.studyCount, 2);
    const QList<StudyEntry> list = readStudyEntries(tmp.filePath(u"in.DAT"_s));
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[1], (StudyEntry{u"0001_002.est"_s, u"14/03/2007"_s}));

    const QString out = tmp.filePath(u"out.DAT"_s);
    writePatientHeader(out, h.data, h.studyCount);
    QCOMPARE(readFile(out), original.left(kPatientHeaderSize));
    QVERIFY(readStudyEntries(out).isEmpty());

    // A torn last entry is ignored; a short or missing header is an error.
    put(dir, u"torn.DAT"_s, original.left(kPatientHeaderSize + kStudyEntrySize + 13));
    QCOMPARE(readStudyEntries(dir.filePath(u"torn.DAT"_s)), list.first(1));
    put(dir, u"short.DAT"_s, original.left(kPatientHeaderSize - 1));
    for (const char* name : {"short.DAT", "none.DAT"}) {
        const QString path = dir.filePath(QLatin1String(name));
        QVERIFY_THROWS_EXCEPTION(FileError, readPatientHeader(path));
        QVERIFY_THROWS_EXCEPTION(FileError, readStudyEntries(path));
    }
}

void TestPatientFile::headerRewriteKeepsTheStudyListAndCutsNames()
{
    QTemporaryDir tmp;
    QByteArray old = fixture();
    old.replace(76, 8, "2004.2.0"); // written by an older version
    put(QDir(tmp.path()), u"p.DAT"_s, old);
    const QString path = tmp.filePath(u"p.DAT"_s);
    const QString thirty = u"Ñ"_s.repeated(30);

    writePatientHeader(path, {thirty, thirty + u"xyz"_s, 201, u"29/02/1960"_s, 1}, 3);
    const QByteArray now = readFile(path);
    QCOMPARE(now.size(), old.size());
    QCOMPARE(now.mid(kPatientHeaderSize), old.mid(kPatientHeaderSize));
    const PatientHeader h = readPatientHeader(path);
    QCOMPARE(h.data, (PatientData{thirty, thirty, 201, u"29/02/1960"_s, 1}));
    QCOMPARE(h.version, u"2007.1.1"_s);
    QCOMPARE(h.studyCount, 3);
}

void TestPatientFile::ageAndVersionGate()
{
    const std::tuple<QString, QDate, int> ages[] = {
        {u"01/01/2000"_s, {2009, 12, 29}, 10}, // 3650 days
        {u"01/01/2000"_s, {2009, 12, 28}, 9},  {u"29/02/1960"_s, {2007, 3, 1}, 47},
        {u"31/02/2000"_s, {2009, 12, 29}, 0},  {u"  /  /    "_s, {2009, 12, 29}, 0},
        {u"01-01-2000"_s, {2009, 12, 29}, 0}};
    for (const auto& [birth, today, age] : ages)
        QCOMPARE(patientAge(birth, today), age);

    // Above 2007.1.0 byte for byte, and a four-digit year in front.
    for (const QString& v : {u"2007.1.1"_s, u"2007.1.0.1"_s, u"2010"_s})
        QVERIFY2(versionAllowsNewStudy(v), qPrintable(v));
    for (const QString& v :
         {u"2007.1.0"_s, u"2007.1"_s, u"2004.2.0"_s, u"3"_s, u"2a07.1.1"_s, QString()})
        QVERIFY2(!versionAllowsNewStudy(v), qPrintable(v));
}

void TestPatientFile::listingMarksShortFiles()
{
    QTemporaryDir tmp;
    QDir dir(tmp.path());
    const QByteArray full = fixture();
    put(dir, u"00000001.DAT"_s, full);
    put(dir, u"00000002.dat"_s, full.left(70)); // cut inside the birth date
    put(dir, u"00000003.DAT"_s, {});
    QByteArray longName = full.left(kPatientHeaderSize - 1); // only the count is missing
    longName.replace(0, 21, QByteArray("\x14") + QByteArray(20, 'N'));
    put(dir, u"00000004.Dat"_s, longName);
    put(dir, u"notes.txt"_s, full);
    QVERIFY(dir.mkdir(u"folder.DAT"_s));

    const QList<PatientListing> list = listPatients(dir);
    QCOMPARE(list.size(), 4);
    QCOMPARE(list[0].fileName, u"00000001.DAT"_s);
    QVERIFY(!list[0].corrupt);
    QCOMPARE(list[0].header.studyCount, 2);
    QVERIFY(list[1].corrupt && list[2].corrupt && list[3].corrupt);
    const PatientData& torn = list[1].header.data;
    QCOMPARE(torn,
             (PatientData{u"María José[Archivo Corrupto]"_s, u"Peña Ibáñez"_s, 163, QString(), 0}));
    QCOMPARE(list[2].header.data.firstName, u"[Archivo Corrupto]"_s);
    QCOMPARE(list[3].header.data.firstName, QString(20, u'N') + u"[Archivo C"_s);
    QCOMPARE(list[3].header.version, u"2007.1.1"_s);

    QVERIFY_THROWS_EXCEPTION(FileError, listPatients(QDir(tmp.filePath(u"no"_s))));
}

void TestPatientFile::nextNumberSkipsFilesInAnyCase()
{
    QCOMPARE(patientFileName(17), u"00000017.DAT"_s);
    QTemporaryDir tmp;
    QDir dir(tmp.path());
    QCOMPARE(nextFreePatientNumber(dir, 0), 1);
    for (const char* name : {"00000001.DAT", "00000002.dat", "00000004.Dat"})
        put(dir, QLatin1String(name), {});
    QCOMPARE(nextFreePatientNumber(dir, 0), 3);
    QCOMPARE(nextFreePatientNumber(dir, 3), 5);
    QCOMPARE(nextFreePatientNumber(dir, -7), 3);
}

void TestPatientFile::deletionStaysInsideTheFolder()
{
    QTemporaryDir tmp;
    QDir root(tmp.path());
    QVERIFY(root.mkdir(u"work"_s));
    QDir dir(root.filePath(u"work"_s));
    // Count 3, entries read to the end of the file; hostile names never reach the disk.
    put(dir, u"00000001.dat"_s,
        patientWith(3, {u"0001_001.est"_s, u"0001_002.est"_s, u"0001_003.est"_s, u"../x.est"_s,
                        u"/etc/passwd"_s, u"a\\b.est"_s, u"00000002.DAT"_s, u".est"_s}));
    QStringList kept = {u"a\\b.est"_s, u"a\\b.INF"_s, u"00000002.DAT"_s, u".INF"_s,
                        u"0001_009.est"_s};
    for (const QString& name :
         kept + QStringList{u"0001_001.est"_s, u"0001_001.inf"_s, u"0001_002.EST"_s})
        put(dir, name, "x");
    put(root, u"x.est"_s, "x");
    put(root, u"x.INF"_s, "x");

    deletePatientFiles(dir, u"00000001.DAT"_s);
    QStringList left = dir.entryList(QDir::Files | QDir::Hidden);
    left.sort();
    kept.sort();
    QCOMPARE(left, kept);
    QCOMPARE(root.entryList(QDir::Files, QDir::Name), QStringList({u"x.INF"_s, u"x.est"_s}));

    deletePatientFiles(dir, u"00000001.DAT"_s); // already gone: nothing to do
    QVERIFY_THROWS_EXCEPTION(FileError, deletePatientFiles(dir, u"../x.est"_s));
    QVERIFY(root.exists(u"x.est"_s));

    // A count of 0 deletes no study; an unreadable header stops before anything is deleted.
    put(dir, u"00000003.DAT"_s, patientWith(0, {u"0001_009.est"_s}));
    put(dir, u"00000004.DAT"_s, patientWith(1, {}).left(50));
    deletePatientFiles(dir, u"00000003.DAT"_s);
    QVERIFY(!dir.exists(u"00000003.DAT"_s) && dir.exists(u"0001_009.est"_s));
    QVERIFY_THROWS_EXCEPTION(FileError, deletePatientFiles(dir, u"00000004.DAT"_s));
    QVERIFY(dir.exists(u"00000004.DAT"_s));
}

QTEST_GUILESS_MAIN(TestPatientFile)
#include "tst_patientfile.moc"

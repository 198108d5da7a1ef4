#include "common/BinaryIO.h"
#include "common/FileError.h"
#include "common/Version.h"
#include "records/PatientFile.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace esf;

namespace {

// patient-accented.DAT, 225 bytes, unused string bytes zero:
//   0 string[30] "María José"   31 string[30] "Peña Ibáñez" (í é ñ á single bytes)
//  62 u8 163   63 string[10] "05/11/1958"   74 u8 0 (female)
//  75 string[100] "2007.1.1"   176 u8 2
// 177 "0001_001.est" "12/03/2007"   201 "0001_002.est" "14/03/2007"
QByteArray fixture()
{
    QFile f(QStringLiteral(ESF_TEST_DATA "/patient-accented.DAT"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void put(const QDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile f(dir.filePath(name));
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(name));
    f.write(bytes);
}

QByteArray get(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The fixture's header with the given count, followed by one entry per study name.
QByteArray patientWith(std::uint8_t count, const QStringList& studies)
{
    QByteArray bytes = fixture().left(kPatientHeaderSize);
    bytes[kPatientHeaderSize - 1] = static_cast<char>(count);
    for (const QString& s : studies)
        bytes += encodeString(s, 12) + encodeString(QStringLiteral("01/01/2007"), 10);
    return bytes;
}

} // namespace

class TestPatientFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTripIsByteExactAndReadsWholeEntries();
    void headerRewriteKeepsTheStudyListAndCutsNames();
    void age_data();
    void age();
    void versionGate_data();
    void versionGate();
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
    put(dir, QStringLiteral("in.DAT"), original);
    const PatientHeader h = readPatientHeader(tmp.filePath(QStringLiteral("in.DAT")));
    QCOMPARE(h.data, (PatientData{QStringLiteral("María José"), QStringLiteral("Peña Ibáñez"), 163,
                                  QStringLiteral("05/11/1958"), 0}));
    QCOMPARE(h.version, QStringLiteral("2007.1.1"));
    QCOMPARE(h.studyCount, 2);
    const QList<StudyEntry> list = readStudyEntries(tmp.filePath(QStringLiteral("in.DAT")));
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[1], (StudyEntry{QStringLiteral("0001_002.est"), QStringLiteral("14/03/2007")}));

    const QString out = tmp.filePath(QStringLiteral("out.DAT"));
    writePatientHeader(out, h.data, h.studyCount);
    QCOMPARE(get(out), original.left(kPatientHeaderSize));
    QVERIFY(readStudyEntries(out).isEmpty());

    // A torn last entry is ignored; a short or missing header is an error.
    put(dir, QStringLiteral("torn.DAT"), original.left(kPatientHeaderSize + kStudyEntrySize + 13));
    QCOMPARE(readStudyEntries(dir.filePath(QStringLiteral("torn.DAT"))), list.first(1));
    put(dir, QStringLiteral("short.DAT"), original.left(kPatientHeaderSize - 1));
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
    put(QDir(tmp.path()), QStringLiteral("p.DAT"), old);
    const QString path = tmp.filePath(QStringLiteral("p.DAT"));
    const QString thirty = QStringLiteral("Ñ").repeated(30);

    writePatientHeader(
        path, {thirty, thirty + QStringLiteral("xyz"), 201, QStringLiteral("29/02/1960"), 1}, 3);
    const QByteArray now = get(path);
    QCOMPARE(now.size(), old.size());
    QCOMPARE(now.mid(kPatientHeaderSize), old.mid(kPatientHeaderSize));
    const PatientHeader h = readPatientHeader(path);
    QCOMPARE(h.data, (PatientData{thirty, thirty, 201, QStringLiteral("29/02/1960"), 1}));
    QCOMPARE(h.version, kSoftwareVersion);
    QCOMPARE(h.studyCount, 3);
}

void TestPatientFile::age_data()
{
    QTest::addColumn<QString>("birth");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("age");
    QTest::newRow("3650 days") << "01/01/2000" << QDate(2009, 12, 29) << 10;
    QTest::newRow("3649 days") << "01/01/2000" << QDate(2009, 12, 28) << 9;
    QTest::newRow("leap day") << "29/02/1960" << QDate(2007, 3, 1) << 47;
    QTest::newRow("no such day") << "31/02/2000" << QDate(2009, 12, 29) << 0;
    QTest::newRow("untouched mask") << "  /  /    " << QDate(2009, 12, 29) << 0;
    QTest::newRow("blank in the day") << " 1/01/2000" << QDate(2009, 12, 29) << 0;
    QTest::newRow("other separator") << "01-01-2000" << QDate(2009, 12, 29) << 0;
}

void TestPatientFile::age()
{
    QFETCH(QString, birth);
    QFETCH(QDate, today);
    QTEST(patientAge(birth, today), "age");
}

void TestPatientFile::versionGate_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("the floor itself") << "2007.1.0" << false;
    QTest::newRow("this version") << "2007.1.1" << true;
    QTest::newRow("floor as prefix") << "2007.1.0.1" << true;
    QTest::newRow("prefix of floor") << "2007.1" << false;
    QTest::newRow("later year") << "2010" << true;
    QTest::newRow("2004.2 below the floor") << "2004.2.0" << false;
    QTest::newRow("2005 below the floor") << "2005.9.9" << false;
    QTest::newRow("bytes above, not a year") << "3" << false;
    QTest::newRow("letters in the year") << "2a07.1.1" << false;
    QTest::newRow("empty") << "" << false;
}

void TestPatientFile::versionGate()
{
    QFETCH(QString, version);
    QTEST(versionAllowsNewStudy(version), "allowed");
}

void TestPatientFile::listingMarksShortFiles()
{
    QTemporaryDir tmp;
    QDir dir(tmp.path());
    const QByteArray full = fixture();
    put(dir, QStringLiteral("00000001.DAT"), full);
    put(dir, QStringLiteral("00000002.dat"), full.left(70)); // cut inside the birth date
    put(dir, QStringLiteral("00000003.DAT"), {});
    QByteArray longName = full.left(kPatientHeaderSize - 1); // only the count is missing
    longName.replace(0, 21, QByteArray("\x14") + QByteArray(20, 'N'));
    put(dir, QStringLiteral("00000004.Dat"), longName);
    put(dir, QStringLiteral("notes.txt"), full);
    QVERIFY(dir.mkdir(QStringLiteral("folder.DAT")));

    const QList<PatientListing> list = listPatients(dir);
    QCOMPARE(list.size(), 4);
    QCOMPARE(list[0].fileName, QStringLiteral("00000001.DAT"));
    QVERIFY(!list[0].corrupt);
    QCOMPARE(list[0].header.studyCount, 2);
    QVERIFY(list[1].corrupt && list[2].corrupt && list[3].corrupt);
    const PatientData& torn = list[1].header.data;
    QCOMPARE(torn, (PatientData{QStringLiteral("María José[Archivo Corrupto]"),
                                QStringLiteral("Peña Ibáñez"), 163, QString(), 0}));
    QCOMPARE(list[2].header.data.firstName, QStringLiteral("[Archivo Corrupto]"));
    QCOMPARE(list[3].header.data.firstName, QString(20, u'N') + QStringLiteral("[Archivo C"));
    QCOMPARE(list[3].header.version, QStringLiteral("2007.1.1"));

    QVERIFY_THROWS_EXCEPTION(FileError, listPatients(QDir(tmp.filePath(QStringLiteral("no")))));
}

void TestPatientFile::nextNumberSkipsFilesInAnyCase()
{
    QCOMPARE(patientFileName(17), QStringLiteral("00000017.DAT"));
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
    QVERIFY(root.mkdir(QStringLiteral("work")));
    QDir dir(root.filePath(QStringLiteral("work")));
    // Count 3, entries read to the end of the file; hostile names never reach the disk.
    put(dir, QStringLiteral("00000001.dat"),
        patientWith(3, {QStringLiteral("0001_001.est"), QStringLiteral("0001_002.est"),
                        QStringLiteral("0001_003.est"), QStringLiteral("../x.est"),
                        QStringLiteral("/etc/passwd"), QStringLiteral("a\\b.est"),
                        QStringLiteral("00000002.DAT"), QStringLiteral(".est")}));
    QStringList kept = {QStringLiteral("a\\b.est"), QStringLiteral("a\\b.INF"),
                        QStringLiteral("00000002.DAT"), QStringLiteral(".INF"),
                        QStringLiteral("0001_009.est")};
    for (const QString& name :
         kept + QStringList{QStringLiteral("0001_001.est"), QStringLiteral("0001_001.inf"),
                            QStringLiteral("0001_002.EST")})
        put(dir, name, "x");
    put(root, QStringLiteral("x.est"), "x");
    put(root, QStringLiteral("x.INF"), "x");

    deletePatientFiles(dir, QStringLiteral("00000001.DAT"));
    QStringList left = dir.entryList(QDir::Files | QDir::Hidden);
    left.sort();
    kept.sort();
    QCOMPARE(left, kept);
    QCOMPARE(root.entryList(QDir::Files, QDir::Name),
             QStringList({QStringLiteral("x.INF"), QStringLiteral("x.est")}));

    deletePatientFiles(dir, QStringLiteral("00000001.DAT")); // already gone: nothing to do
    QVERIFY_THROWS_EXCEPTION(FileError, deletePatientFiles(dir, QStringLiteral("../x.est")));
    QVERIFY(root.exists(QStringLiteral("x.est")));

    // A count of 0 deletes no study; an unreadable header stops before anything is deleted.
    put(dir, QStringLiteral("00000003.DAT"), patientWith(0, {QStringLiteral("0001_009.est")}));
    put(dir, QStringLiteral("00000004.DAT"), patientWith(1, {}).left(50));
    deletePatientFiles(dir, QStringLiteral("00000003.DAT"));
    QVERIFY(!dir.exists(QStringLiteral("00000003.DAT")) &&
            dir.exists(QStringLiteral("0001_009.est")));
    QVERIFY_THROWS_EXCEPTION(FileError, deletePatientFiles(dir, QStringLiteral("00000004.DAT")));
    QVERIFY(dir.exists(QStringLiteral("00000004.DAT")));
}

QTEST_GUILESS_MAIN(TestPatientFile)
#include "tst_patientfile.moc"

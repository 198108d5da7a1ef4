#include "app/ZirodIni.h"
#include "common/FileError.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace esf;

namespace {

// Offsets: 0 i32 patient number, 4 u8 port, 5 string[100] protocol, 106 u8 formula.
QByteArray handBuilt()
{
    QByteArray b(107, '\0');
    b[0] = char(0x0C); // 12
    b[4] = char(2);
    const QByteArray name("C:\\ERGO\\BRUCE.pro");
    b[5] = char(name.size());
    b.replace(6, name.size(), name);
    b[106] = char(7);
    return b;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestZirodIni : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decodesTheFourFieldsAtTheirOffsets();
    void encodesByteForByte();
    void ignoresBytesAfterTheNameLength();
    void updateKeepsWhatFollowsByte107();
    void updateExtendsAShortFileToTheFullRecord();
    void patientNumberUpdateTouchesOnlyFourBytes();
    void shortFileIsAReadError();
    void scanFindsTheHighestPatientNumber();
    void scanIgnoresNamesThatAreNotPatientFiles();
};

void TestZirodIni::decodesTheFourFieldsAtTheirOffsets()
{
    const ZirodConfig c = decodeZirod(handBuilt(), QStringLiteral("Zirod.ini"));
    QCOMPARE(c.lastPatientNumber, 12);
    QCOMPARE(c.portIndex, quint8(2));
    QCOMPARE(c.protocolFileName, QStringLiteral("C:\\ERGO\\BRUCE.pro"));
    QCOMPARE(c.maxHRFormula, quint8(7));
}

void TestZirodIni::encodesByteForByte()
{
    ZirodConfig c;
    c.lastPatientNumber = 12;
    c.portIndex = 2;
    c.protocolFileName = QStringLiteral("C:\\ERGO\\BRUCE.pro");
    c.maxHRFormula = 7;
    QCOMPARE(encodeZirod(c), handBuilt());
    QCOMPARE(encodeZirod(ZirodConfig()), QByteArray(107, '\0'));
}

void TestZirodIni::ignoresBytesAfterTheNameLength()
{
    QByteArray b = handBuilt();
    b[5] = char(5); // only "C:\ER" is significant; the rest is old junk
    const ZirodConfig c = decodeZirod(b, QStringLiteral("Zirod.ini"));
    QCOMPARE(c.protocolFileName, QStringLiteral("C:\\ER"));
    QCOMPARE(c.maxHRFormula, quint8(7));
}

void TestZirodIni::updateKeepsWhatFollowsByte107()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Zirod.ini"));
    const QByteArray tail("extra bytes of a newer installation");
    writeFile(path, handBuilt() + tail);

    ZirodConfig c = readZirod(path);
    c.portIndex = 0;
    c.maxHRFormula = 3;
    updateZirod(path, c);

    const QByteArray after = readFile(path);
    QCOMPARE(after.size(), 107 + tail.size());
    QCOMPARE(after.mid(107), tail);
    QCOMPARE(readZirod(path), c);
}

void TestZirodIni::updateExtendsAShortFileToTheFullRecord()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Zirod.ini"));
    writeFile(path, QByteArray(10, '\x01'));
    ZirodConfig c;
    c.lastPatientNumber = 3;
    updateZirod(path, c);
    QCOMPARE(readFile(path), encodeZirod(c));
}

void TestZirodIni::patientNumberUpdateTouchesOnlyFourBytes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Zirod.ini"));
    writeFile(path, handBuilt());
    updateZirodPatientNumber(path, 0x01020304);
    const QByteArray after = readFile(path);
    QCOMPARE(after.left(4), QByteArray("\x04\x03\x02\x01"));
    QCOMPARE(after.mid(4), handBuilt().mid(4));
}

void TestZirodIni::shortFileIsAReadError()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Zirod.ini"));
    writeFile(path, handBuilt().left(106));
    QVERIFY_THROWS_EXCEPTION(FileError, readZirod(path));
    QVERIFY_THROWS_EXCEPTION(FileError, readZirod(dir.filePath(QStringLiteral("missing.ini"))));
}

void TestZirodIni::scanFindsTheHighestPatientNumber()
{
    QTemporaryDir dir;
    const QDir d(dir.path());
    QCOMPARE(scanLastPatientNumber(d), 0);
    for (const char* n : {"00000003.DAT", "00000012.dat", "00000007.DAT"})
        writeFile(dir.filePath(QLatin1String(n)), QByteArray());
    QCOMPARE(scanLastPatientNumber(d), 12);
}

void TestZirodIni::scanIgnoresNamesThatAreNotPatientFiles()
{
    QTemporaryDir dir;
    for (const char* n :
         {"ABCDEFGH.DAT", "12.DAT", "0000002X.DAT", "-0000009.DAT", "00000099.txt", "00000005.DAT"})
        writeFile(dir.filePath(QLatin1String(n)), QByteArray());
    QCOMPARE(scanLastPatientNumber(QDir(dir.path())), 5);
}

QTEST_GUILESS_MAIN(TestZirodIni)
#include "tst_zirodini.moc"

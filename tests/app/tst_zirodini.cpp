#include "TestFiles.h"
#include "app/ZirodIni.h"
#include "common/FileError.h"

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

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

} // namespace

class TestZirodIni : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_path = m_dir.filePath(u"Zirod.ini"_s); }
    void fourFieldsAtTheirOffsets();
    void updatesKeepWhatFollowsByte107AndExtendShortFiles();
    void scanFindsTheHighestPatientNumber();

private:
    QTemporaryDir m_dir;
    QString m_path;
};

void TestZirodIni::fourFieldsAtTheirOffsets()
{
    const ZirodConfig c{12, 2, u"C:\\ERGO\\BRUCE.pro"_s, 7};
    QCOMPARE(decodeZirod(handBuilt(), u"Zirod.ini"_s), c);
    QCOMPARE(encodeZirod(c), handBuilt());
    QCOMPARE(encodeZirod(ZirodConfig()), QByteArray(107, '\0'));

    QByteArray b = handBuilt();
    b[5] = char(5); // only "C:\ER" is significant; the rest is old junk
    const ZirodConfig cut = decodeZirod(b, u"Zirod.ini"_s);
    QCOMPARE(cut.protocolFileName, u"C:\\ER"_s);
    QCOMPARE(cut.maxHRFormula, quint8(7));

    writeFile(m_path, handBuilt().left(106));
    QVERIFY_THROWS_EXCEPTION(FileError, readZirod(m_path));
    QVERIFY_THROWS_EXCEPTION(FileError, readZirod(m_dir.filePath(u"missing.ini"_s)));
}

void TestZirodIni::updatesKeepWhatFollowsByte107AndExtendShortFiles()
{
    const QByteArray tail("extra bytes of a newer installation");
    writeFile(m_path, handBuilt() + tail);
    updateZirodPatientNumber(m_path, 0x01020304); // only those four bytes change
    QCOMPARE(readFile(m_path), "\x04\x03\x02\x01" + handBuilt().mid(4) + tail);
    ZirodConfig c = readZirod(m_path);
    c.portIndex = 0;
    c.maxHRFormula = 3;
    updateZirod(m_path, c);
    QCOMPARE(readFile(m_path), encodeZirod(c) + tail);

    writeFile(m_path, QByteArray(10, '\x01'));
    c = ZirodConfig{3, 0, {}, 0};
    updateZirod(m_path, c);
    QCOMPARE(readFile(m_path), encodeZirod(c));
}

void TestZirodIni::scanFindsTheHighestPatientNumber()
{
    QTemporaryDir dir;
    QCOMPARE(scanLastPatientNumber(QDir(dir.path())), 0);
    // Only eight digits and .DAT in any case make a patient file.
    for (const char* n : {"00000003.DAT", "00000005.dat", "ABCDEFGH.DAT", "12.DAT", "0000009X.DAT",
                          "-0000009.DAT", "00000099.txt"})
        writeFile(dir.filePath(QLatin1String(n)), QByteArray());
    QCOMPARE(scanLastPatientNumber(QDir(dir.path())), 5);
}

QTEST_GUILESS_MAIN(TestZirodIni)
#include "tst_zirodini.moc"

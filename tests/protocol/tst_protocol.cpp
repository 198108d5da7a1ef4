#include "TestFiles.h"
#include "common/FileError.h"
#include "protocol/MaxHeartRate.h"
#include "protocol/ProtocolRecord.h"

#include <QTest>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

// Laid out by hand: name string[20] at 0, stage count at 21, device at 24, stage i at
// 28 + 24 (i - 1) with number, type, duration, load, slope, speed at 0, 4, 8, 12, 16, 20.
// Alignment bytes (22-23, and 1-3 of each stage) are zero; the last entry's type is -1.
QByteArray handBuiltTreadmill()
{
    QByteArray b(kProtocolRecordSize, '\0');
    b.replace(0, 8, "\x07RAMPA \xD1"); // "RAMPA Ñ", one byte per letter
    b[21] = 2;
    b.replace(28, 48,
              QByteArray::fromHex("01000000 00000000 b4000000 00000000 00002041 cdcc2c40"
                                  "02000000 02000000 4b000000 0000fb42 0000003f 0000c03f"));
    b.replace(28 + 24 * 14 + 4, 4, "\xff\xff\xff\xff");
    return b;
}

ProtocolRecord treadmillRecord()
{
    ProtocolRecord p;
    p.name = u"RAMPA Ñ"_s;
    p.stageCount = 2;
    p.device = Device::Cinta;
    p.stages[0] = {1, StageType::Basal, 180, 0.0f, 10.0f, 2.7f};
    p.stages[1] = {2, StageType::Recuperacion, 75, 125.5f, 0.5f, 1.5f};
    p.stages[14].type = StageType::None;
    return p;
}

} // namespace

// The protocol record and its file, stage times and heart-rate limits.
class TestProtocol : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encodesByteForByteAndReadsBack()
    {
        QByteArray bytes = handBuiltTreadmill();
        QCOMPARE(encodeProtocol(treadmillRecord()), bytes);
        QCOMPARE(decodeProtocol(bytes, u"x.pro"_s), treadmillRecord());

        // Readers skip alignment bytes and anything after the record.
        for (int offset : {22, 23, 29, 30, 31, 53, 54, 55, 28 + 24 * 14 + 3})
            bytes[offset] = static_cast<char>(0xCC);
        bytes += QByteArray(12, '\x7F');
        QCOMPARE(decodeProtocol(bytes, u"x.pro"_s), treadmillRecord());
        // A length byte above 20 reads the 20 characters there are, no more.
        bytes[0] = static_cast<char>(200);
        QCOMPARE(decodeProtocol(bytes, u"x.pro"_s).name.size(), kProtocolNameChars);
    }
    void stageTimesAndStageBounds()
    {
        // An hour keeps counting minutes; negative parts keep their signs.
        QCOMPARE(formatStageTime(6000), u"100:00"_s);
        QCOMPARE(formatStageTime(-75), u"-01:-15"_s);
        QCOMPARE(formatStageTime(std::numeric_limits<int>::min()), u"-35791394:-08"_s);
        // A part out of its range, or not a number, counts as zero.
        const std::pair<QString, int> typed[] = {{u"75:10"_s, 10},  {u"00:60"_s, 0},
                                                 {u"2 : 4"_s, 124}, {u"ab:1x"_s, 0},
                                                 {u"-5:10"_s, 10},  {u"7"_s, 420}};
        for (const auto& [text, seconds] : typed)
            QCOMPARE(parseStageTime(text), seconds);

        ProtocolRecord p = ProtocolRecord::cleared();
        const ProtocolRecord before = p;
        for (int n : {0, 16}) {
            p.stage(n).duration = 99; // lands nowhere in the record
            QCOMPARE(std::as_const(p).stage(n), StageEntry{});
        }
        QCOMPARE(p, before);
        QCOMPARE(stageTypeName(StageType::Recuperacion), u"Recuperación"_s);
        QVERIFY(stageTypeName(StageType::None).isEmpty() && stageTypeName(3).isEmpty());
    }
    void namesSavingAndLoading()
    {
        QVERIFY(protocolNameProblem(u"AÑO 2º (B)"_s).isEmpty());
        const QString refused = u"El nombre del protocolo no puede contener "_s;
        for (QChar c : u"/\\:*?\"<>|Ω"_s)
            QCOMPARE(protocolNameProblem(u"A"_s + c + u"B"_s), refused + u"«%1»"_s.arg(c));
        QCOMPARE(protocolNameProblem(u"../../etc"_s), refused + u"«..»"_s);
        QCOMPARE(protocolNameProblem(u"A\tB"_s), refused + u"caracteres de control"_s);

        // Saved under the name's first 20 characters.
        QTemporaryDir tmp;
        const QDir dir(tmp.path());
        ProtocolRecord p = treadmillRecord();
        p.name = u"PROTOCOLO DE RAMPA LENTA"_s;
        const QString path = saveProtocolFile(dir, p);
        QCOMPARE(path, dir.filePath(u"PROTOCOLO DE RAMPA L.pro"_s));
        p.name.truncate(kProtocolNameChars);
        QCOMPARE(loadProtocolFile(path), p);

        // Refused names, or a missing folder, write nothing here or anywhere else.
        for (const QString& name : {u"../FUERA"_s, QString(), u"A|B"_s, u"SIN CARPETA"_s}) {
            p.name = name;
            QVERIFY_THROWS_EXCEPTION(FileError, saveProtocolFile(QDir(dir.filePath(u"sub"_s)), p));
        }
        QCOMPARE(dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QFileInfo(path).fileName()});

        // Loading finds the file in another case and refuses short files.
        writeFile(dir.filePath(u"rampa.PRO"_s), handBuiltTreadmill());
        QCOMPARE(loadProtocolFile(dir.filePath(u"RAMPA.pro"_s)), treadmillRecord());
        writeFile(dir.filePath(u"CORTO.pro"_s), handBuiltTreadmill().left(kProtocolRecordSize - 1));
        QVERIFY_THROWS_EXCEPTION(FileError, loadProtocolFile(dir.filePath(u"CORTO.pro"_s)));
        QVERIFY_THROWS_EXCEPTION(FileError, loadProtocolFile(dir.filePath(u"NADA.pro"_s)));
    }
    void maxHeartRateFormulas()
    {
        // Formula, age, then the maximum and 85 % of it, each rounded half to even; formula 0
        // reads the table, here under it and past it.
        const int rows[][4] = {{0, 4, 182, 155},  {0, 77, 147, 125}, // 124.95
                               {1, 60, 160, 136}, {2, 45, 158, 134}, // 157.5
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
        QCOMPARE(maxHeartRate(10, 1, 0, 0).maxHR, 194);      // a girl of 10 in the table
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"

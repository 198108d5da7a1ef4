#include "TestFiles.h"
#include "common/BinaryIO.h"
#include "common/Cp1252.h"
#include "common/FileError.h"
#include "common/FileNames.h"
#include "common/NumberFormat.h"
#include "common/Rounding.h"

#include <QBuffer>

using namespace esf;
using namespace Qt::StringLiterals;

class TestCommon : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundingAndSaturation();
    void cp1252KeepsAccentsAsSingleBytes();
    void fieldsAreLittleEndianWithCountedStrings();
    void damagedFieldsReadNoFurtherThanTheirBytes();
    void picturesAndParsing();
    void fileNames();
};

void TestCommon::roundingAndSaturation()
{
    // Halves go to even; the last two are the products the heart rate and the average compute.
    const double cases[][2] = {{0.5, 0},       {1.5, 2},    {2.5, 2},       {-2.5, -2},
                               {2.5000001, 3}, {-3.49, -3}, {75 * 0.3, 22}, {65 * 0.7, 46}};
    for (const auto& [value, rounded] : cases) {
        QCOMPARE(roundHalfEven(value), qint64(rounded));
        QCOMPARE(roundHalfEven(static_cast<long double>(value)), qint64(rounded));
    }
    QCOMPARE(roundHalfEven(0.3L * 15), qint64(4));
    // 59.5, 58.5, -2.5, -3.5, -3.5 and 387.1.
    const int ratios[][3] = {{595, 10, 60}, {585, 10, 58}, {-25, 10, -2},
                             {-35, 10, -4}, {7, -2, -4},   {12000, 31, 387}};
    for (const auto& [numerator, denominator, quotient] : ratios)
        QCOMPARE(roundHalfEvenRatio(numerator, denominator), quotient);
    QCOMPARE(saturateInt16(32767), qint16(32767));
    QCOMPARE(saturateInt16(32768), qint16(32767));
    QCOMPARE(saturateInt16(-40000), qint16(-32768));
}

void TestCommon::cp1252KeepsAccentsAsSingleBytes()
{
    const QString text = u"Cardíaca º ¿Sí? €"_s;
    const QByteArray bytes = cp1252::encode(text);
    QCOMPARE(bytes.size(), text.size());
    QCOMPARE(static_cast<unsigned char>(bytes[4]), 0xEDu); // í
    QCOMPARE(static_cast<unsigned char>(bytes[bytes.size() - 1]), 0x80u);
    QCOMPARE(cp1252::encode(u"ж"_s), QByteArray("?"));
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    QCOMPARE(cp1252::encode(cp1252::decode(all)), all);
}

void TestCommon::fieldsAreLittleEndianWithCountedStrings()
{
    QByteArray data;
    QBuffer buf(&data);
    buf.open(QIODevice::WriteOnly);
    LeWriter w(buf, u"x"_s);
    w.i32(-2);
    w.i16(0x1234);
    w.f32(-1000.0f);
    w.u8(200);
    w.str(u"Peña"_s, 10); // length byte, then the whole field
    QCOMPARE(data.toHex(), QByteArray("feffffff3412"
                                      "00007ac4c8"
                                      "045065f161000000000000"));
    buf.close();
    buf.open(QIODevice::ReadOnly);
    LeReader r(buf, u"x"_s);
    QCOMPARE(r.i32(), -2);
    QCOMPARE(r.i16(), qint16(0x1234));
    QCOMPARE(r.f32(), -1000.0f);
    QCOMPARE(r.u8(), quint8(200));
    QCOMPARE(r.str(10), u"Peña"_s);
    QCOMPARE(encodeString(u"ABCDEFGHIJKL"_s, 5), QByteArray("\x05"
                                                            "ABCDE"));
}

void TestCommon::damagedFieldsReadNoFurtherThanTheirBytes()
{
    // A length byte beyond its field reads only the field; a short read throws naming the file.
    QByteArray data("\xff"
                    "ABC\x01\x02",
                    6);
    QBuffer buf(&data);
    buf.open(QIODevice::ReadOnly);
    LeReader r(buf, u"/tmp/00000001.DAT"_s);
    QCOMPARE(r.str(3), u"ABC"_s);
    try {
        r.i32();
        QFAIL("a short read must throw");
    } catch (const FileError& e) {
        QVERIFY(e.message().contains(u"00000001.DAT"_s));
        QCOMPARE(e.operation(), u"lectura"_s);
    }
}

void TestCommon::picturesAndParsing()
{
    // A displayed tie rounds away from zero, as the printed tables always did.
    const std::tuple<double, QString, QString> pictures[] = {
        {5.5, u"00.0"_s, u"05.5"_s}, {100.0, u"00.0"_s, u"100.0"_s}, {2.7, u"##0.0"_s, u"2.7"_s},
        {0.25, u"#0.0"_s, u"0.3"_s}, {-1.25, u"0.00"_s, u"-1.25"_s}, {-0.01, u"0.0"_s, u"0.0"_s},
        {7.0, u"000"_s, u"007"_s}};
    for (const auto& [value, picture, shown] : pictures)
        QCOMPARE(formatPicture(value, picture), shown);

    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    double d = 0;
    QVERIFY(parseDecimal(u"2.5"_s, d));
    QCOMPARE(d, 2.5);
    QVERIFY(!parseDecimal(u"2,5"_s, d));
    int i = 0;
    QVERIFY(!parseInteger(u"12a"_s, i));
    QVERIFY(parseInteger(u" 120 "_s, i));
    QCOMPARE(i, 120);
    QLocale::setDefault(QLocale::c());
}

void TestCommon::fileNames()
{
    for (const QString& plain : {u"0012_003.est"_s, u"BRUCE MODIFICADO.pro"_s})
        QVERIFY2(isPlainFileName(plain), qPrintable(plain));
    for (const QString& hostile : {QString(), u".."_s, u"../etc/passwd"_s, u"C:\\ERGO\\x.est"_s,
                                   u"/etc/passwd"_s, u"a\nb"_s, u"*.DAT"_s})
        QVERIFY2(!isPlainFileName(hostile), qPrintable(hostile));

    QTemporaryDir dir;
    for (const char* n : {"00000001.DAT", "00000002.dat", "BRUCE.pro", "notes.txt"})
        test::writeFile(dir.filePath(QLatin1String(n)), {});
    const QDir d(dir.path());
    QCOMPARE(listMatching(d, u"*.DAT"_s), QStringList({u"00000001.DAT"_s, u"00000002.dat"_s}));
    QCOMPARE(QFileInfo(resolveCaseInsensitive(d, u"bruce.PRO"_s)).fileName(), u"BRUCE.pro"_s);
    QCOMPARE(QFileInfo(resolveCaseInsensitive(d, u"missing.pro"_s)).fileName(), u"missing.pro"_s);
}

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"

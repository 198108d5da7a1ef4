#include "common/BinaryIO.h"
#include "common/Cp1252.h"
#include "common/FileError.h"
#include "common/FileNames.h"
#include "common/NumberFormat.h"
#include "common/Rounding.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

using namespace esf;

class TestCommon : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundsHalfToEven_data();
    void roundsHalfToEven();
    void workedExamplesRoundAsTheLabExpects();
    void exactRatiosRoundHalfToEven();
    void saturatesToInt16();
    void cp1252KeepsAccentsAsSingleBytes();
    void cp1252RoundTripsEveryByte();
    void stringFieldIsLengthPlusFixedBytes();
    void stringFieldClipsLongTextAndBadLengths();
    void integersAreLittleEndian();
    void shortReadThrowsNamingTheFile();
    void pictures_data();
    void pictures();
    void parsesWithPointWhateverTheLocale();
    void plainFileNames_data();
    void plainFileNames();
    void patternsIgnoreCase();
};

void TestCommon::roundsHalfToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("0.5") << 0.5 << qint64(0);
    QTest::newRow("1.5") << 1.5 << qint64(2);
    QTest::newRow("2.5") << 2.5 << qint64(2);
    QTest::newRow("-0.5") << -0.5 << qint64(0);
    QTest::newRow("-1.5") << -1.5 << qint64(-2);
    QTest::newRow("-2.5") << -2.5 << qint64(-2);
    QTest::newRow("2.5000001") << 2.5000001 << qint64(3);
    QTest::newRow("-3.49") << -3.49 << qint64(-3);
}

void TestCommon::roundsHalfToEven()
{
    QFETCH(double, value);
    QFETCH(qint64, expected);
    QCOMPARE(roundHalfEven(value), expected);
    QCOMPARE(roundHalfEven(static_cast<long double>(value)), expected);
}

void TestCommon::workedExamplesRoundAsTheLabExpects()
{
    // The same products the heart rate and the QRS average compute.
    QCOMPARE(roundHalfEven(75 * 0.3), qint64(22));
    QCOMPARE(roundHalfEven(65 * 0.7), qint64(46));
    QCOMPARE(roundHalfEven(0.3L * 15), qint64(4));
    QCOMPARE(roundHalfEven(0.3L * 5), qint64(2));
    QCOMPARE(roundHalfEven(3 * 0.5), qint64(2));
    QCOMPARE(roundHalfEven(5 * 0.5), qint64(2));
}

void TestCommon::exactRatiosRoundHalfToEven()
{
    QCOMPARE(roundHalfEvenRatio(595, 10), 60); // 59.5
    QCOMPARE(roundHalfEvenRatio(585, 10), 58); // 58.5
    QCOMPARE(roundHalfEvenRatio(12000, 192), 62);
    QCOMPARE(roundHalfEvenRatio(-25, 10), -2);
    QCOMPARE(roundHalfEvenRatio(-35, 10), -4);
    QCOMPARE(roundHalfEvenRatio(7, -2), -4); // -3.5
    QCOMPARE(roundHalfEvenRatio(12000, 31), 387);
}

void TestCommon::saturatesToInt16()
{
    QCOMPARE(saturateInt16(32767), qint16(32767));
    QCOMPARE(saturateInt16(32768), qint16(32767));
    QCOMPARE(saturateInt16(-32768), qint16(-32768));
    QCOMPARE(saturateInt16(-40000), qint16(-32768));
}

void TestCommon::cp1252KeepsAccentsAsSingleBytes()
{
    const QString text = QStringLiteral("Cardíaca º ¿Sí? €");
    const QByteArray bytes = cp1252::encode(text);
    QCOMPARE(bytes.size(), text.size());
    QCOMPARE(static_cast<unsigned char>(bytes[4]), 0xEDu); // í
    QCOMPARE(static_cast<unsigned char>(bytes[bytes.size() - 1]), 0x80u);
    QCOMPARE(cp1252::decode(bytes), text);
    QCOMPARE(cp1252::encode(QStringLiteral("ж")), QByteArray("?"));
}

void TestCommon::cp1252RoundTripsEveryByte()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    QCOMPARE(cp1252::encode(cp1252::decode(all)), all);
}

void TestCommon::stringFieldIsLengthPlusFixedBytes()
{
    QByteArray data;
    QBuffer buf(&data);
    buf.open(QIODevice::WriteOnly);
    LeWriter(buf, QStringLiteral("x")).str(QStringLiteral("Peña"), 10);
    QCOMPARE(data.size(), 11);
    QCOMPARE(data.at(0), char(4));
    QCOMPARE(data.mid(1, 4), QByteArray("Pe\xf1"
                                        "a"));
    QCOMPARE(data.mid(5), QByteArray(6, '\0'));

    buf.close();
    buf.open(QIODevice::ReadOnly);
    QCOMPARE(LeReader(buf, QStringLiteral("x")).str(10), QStringLiteral("Peña"));
}

void TestCommon::stringFieldClipsLongTextAndBadLengths()
{
    QCOMPARE(encodeString(QStringLiteral("ABCDEFGHIJKL"), 5), QByteArray("\x05"
                                                                         "ABCDE"));
    // A length byte beyond the field (a damaged file) reads only the field.
    QByteArray bad("\xff"
                   "ABC",
                   4);
    QBuffer buf(&bad);
    buf.open(QIODevice::ReadOnly);
    QCOMPARE(LeReader(buf, QStringLiteral("x")).str(3), QStringLiteral("ABC"));
}

void TestCommon::integersAreLittleEndian()
{
    QByteArray data;
    QBuffer buf(&data);
    buf.open(QIODevice::WriteOnly);
    LeWriter w(buf, QStringLiteral("x"));
    w.i32(-2);
    w.i16(0x1234);
    w.f32(-1000.0f);
    w.u8(200);
    QCOMPARE(data.toHex(), QByteArray("feffffff"
                                      "3412"
                                      "00007ac4"
                                      "c8"));
    buf.close();
    buf.open(QIODevice::ReadOnly);
    LeReader r(buf, QStringLiteral("x"));
    QCOMPARE(r.i32(), -2);
    QCOMPARE(r.i16(), qint16(0x1234));
    QCOMPARE(r.f32(), -1000.0f);
    QCOMPARE(r.u8(), quint8(200));
}

void TestCommon::shortReadThrowsNamingTheFile()
{
    QByteArray data("\x01\x02", 2);
    QBuffer buf(&data);
    buf.open(QIODevice::ReadOnly);
    LeReader r(buf, QStringLiteral("/tmp/00000001.DAT"));
    try {
        r.i32();
        QFAIL("a short read must throw");
    } catch (const FileError& e) {
        QVERIFY(e.message().contains(QStringLiteral("00000001.DAT")));
        QCOMPARE(e.operation(), QStringLiteral("lectura"));
    }
}

void TestCommon::pictures_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("expected");
    QTest::newRow("slope 00.0") << 5.5 << QStringLiteral("00.0") << QStringLiteral("05.5");
    QTest::newRow("load 00.0") << 100.0 << QStringLiteral("00.0") << QStringLiteral("100.0");
    QTest::newRow("load 0000.0") << 25.0 << QStringLiteral("0000.0") << QStringLiteral("0025.0");
    QTest::newRow("speed ##0.0") << 2.7 << QStringLiteral("##0.0") << QStringLiteral("2.7");
    QTest::newRow("zero ##0.0") << 0.0 << QStringLiteral("##0.0") << QStringLiteral("0.0");
    // A displayed tie rounds away from zero, as the printed tables always did.
    QTest::newRow("#0.0 tie") << 0.25 << QStringLiteral("#0.0") << QStringLiteral("0.3");
    QTest::newRow("#0.0 below one") << 0.04 << QStringLiteral("#0.0") << QStringLiteral("0.0");
    QTest::newRow("negative") << -1.25 << QStringLiteral("0.00") << QStringLiteral("-1.25");
    QTest::newRow("negative zero") << -0.01 << QStringLiteral("0.0") << QStringLiteral("0.0");
    QTest::newRow("no decimals") << 7.0 << QStringLiteral("000") << QStringLiteral("007");
}

void TestCommon::pictures()
{
    QFETCH(double, value);
    QFETCH(QString, picture);
    QFETCH(QString, expected);
    QCOMPARE(formatPicture(value, picture), expected);
}

void TestCommon::parsesWithPointWhateverTheLocale()
{
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    double d = 0;
    QVERIFY(parseDecimal(QStringLiteral("2.5"), d));
    QCOMPARE(d, 2.5);
    QVERIFY(!parseDecimal(QStringLiteral("2,5"), d));
    int i = 0;
    QVERIFY(!parseInteger(QStringLiteral("12a"), i));
    QVERIFY(parseInteger(QStringLiteral(" 120 "), i));
    QCOMPARE(i, 120);
    QLocale::setDefault(QLocale::c());
}

void TestCommon::plainFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plain");
    QTest::newRow("study") << QStringLiteral("0012_003.est") << true;
    QTest::newRow("protocol with blank") << QStringLiteral("BRUCE MODIFICADO.pro") << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("dot dot") << QStringLiteral("..") << false;
    QTest::newRow("parent") << QStringLiteral("../etc/passwd") << false;
    QTest::newRow("backslash") << QStringLiteral("C:\\ERGO\\x.est") << false;
    QTest::newRow("slash") << QStringLiteral("/etc/passwd") << false;
    QTest::newRow("control") << QStringLiteral("a\nb") << false;
    QTest::newRow("star") << QStringLiteral("*.DAT") << false;
}

void TestCommon::plainFileNames()
{
    QFETCH(QString, name);
    QFETCH(bool, plain);
    QCOMPARE(isPlainFileName(name), plain);
}

void TestCommon::patternsIgnoreCase()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char* n : {"00000001.DAT", "00000002.dat", "BRUCE.pro", "notes.txt"}) {
        QFile f(dir.filePath(QLatin1String(n)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const QDir d(dir.path());
    QCOMPARE(listMatching(d, QStringLiteral("*.DAT")),
             QStringList({QStringLiteral("00000001.DAT"), QStringLiteral("00000002.dat")}));
    QCOMPARE(listMatching(d, QStringLiteral("*.PRO")), QStringList({QStringLiteral("BRUCE.pro")}));
    QCOMPARE(QFileInfo(resolveCaseInsensitive(d, QStringLiteral("bruce.PRO"))).fileName(),
             QStringLiteral("BRUCE.pro"));
    QCOMPARE(QFileInfo(resolveCaseInsensitive(d, QStringLiteral("missing.pro"))).fileName(),
             QStringLiteral("missing.pro"));
}

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"

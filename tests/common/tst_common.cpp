#include "common/BinaryIO.h"
#include "common/Cp1252.h"
#include "common/Rounding.h"

#include <QBuffer>
#include <QTest>

using namespace esf;
using namespace Qt::StringLiterals;

class TestCommon : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundingAndSaturation();
    void cp1252KeepsAccentsAsSingleBytes();
    void fieldsAreLittleEndianWithCountedStrings();
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

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"

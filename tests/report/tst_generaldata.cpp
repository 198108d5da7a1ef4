#include "TestFiles.h"
#include "common/FileError.h"
#include "report/GeneralData.h"

#include <QTemporaryDir>
#include <QTest>
#include <optional>

using namespace esf;
using esf::test::readFile;
using esf::test::writeFile;

namespace {

QStringList linesOf(const GeneralData& d)
{
    return {d.institution,  d.address,   d.telephone, d.physician, d.loadUnit,
            d.pressureUnit, d.speedUnit, d.rateUnit,  d.slopeUnit, d.logo};
}

QStringList linesOf(const UnitTexts& u)
{
    return {u.load, u.pressure, u.speed, u.rate, u.slope};
}

// The given lines first, the rest empty.
QStringList padded(QStringList lines, qsizetype count = 10)
{
    while (lines.size() < count)
        lines << QString();
    return lines;
}

// "Clínica Ñandú" and "Médico €" as single Windows-1252 bytes.
const QByteArray kFull = "Cl\xEDnica \xD1"
                         "and\xFA\r\nAv. Libertador 1234\r\n(011)4567 890\r\nDr. M\xE9"
                         "dico \x80\r\n[Kgm]\r\nmmHg\r\n[Km/h]\r\n[Lpm]\r\n[%]\r\n/u/logo.bmp\r\n";
const QStringList kFullLines{u"Clínica Ñandú"_qs, u"Av. Libertador 1234"_qs,
                             u"(011)4567 890"_qs, u"Dr. Médico €"_qs,
                             u"[Kgm]"_qs,         u"mmHg"_qs,
                             u"[Km/h]"_qs,        u"[Lpm]"_qs,
                             u"[%]"_qs,           u"/u/logo.bmp"_qs};
const QByteArray kBlankFile = "\r\n\r\n(   )        \r\n" + QByteArray("\r\n").repeated(7);

} // namespace

class TestGeneralData : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_tmp.emplace();
        QVERIFY(m_tmp->isValid());
    }
    void readsLinesInOrder_data();
    void readsLinesInOrder();
    void writesTenCrLfLinesWhole();
    void missingAndUnusableFiles();
    void aFileDifferingOnlyInCaseIsUsed();
    void loadUnitsTakesLinesFiveToNine_data();
    void loadUnitsTakesLinesFiveToNine();

private:
    QString path() const { return m_tmp->filePath(kGeneralDataFileName); }
    std::optional<QTemporaryDir> m_tmp; // a fresh folder for every case
};

void TestGeneralData::readsLinesInOrder_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QByteArray>("written");
    const QByteArray crlf = "\r\n";
    QTest::newRow("ten lines") << kFull << kFullLines << kFull;
    QTest::newRow("beyond ten ignored") << kFull + "extra\r\n" << kFullLines << kFull;
    QTest::newRow("LF only, last open")
        << QByteArray(kFull).replace("\r\n", "\n").chopped(1) << kFullLines << kFull;
    QTest::newRow("empty") << QByteArray() << padded({}) << crlf.repeated(10);
    QTest::newRow("two lines") << QByteArray("Cl\xEDnica\r\nmmHg")
                               << padded({u"Clínica"_qs, u"mmHg"_qs})
                               << "Cl\xEDnica\r\nmmHg\r\n" + crlf.repeated(8);
    // Blanks are data; only the CR of a line end goes.
    QTest::newRow("blanks kept") << QByteArray("\r\n  dos  \r\n(   )        \r\n\r\n a\rb\r\r\n")
                                 << padded({{}, u"  dos  "_qs, kEmptyTelephone, {}, u" a\rb\r"_qs})
                                 << "\r\n  dos  \r\n(   )        \r\n\r\n a\rb\r\r\n" +
                                        crlf.repeated(5);
}

void TestGeneralData::readsLinesInOrder()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QFETCH(QByteArray, written);
    writeFile(path(), bytes);
    const GeneralData d = readGeneralData(path());
    QCOMPARE(linesOf(d), expected);
    writeGeneralData(path(), d);
    QCOMPARE(readFile(path()), written);
    QCOMPARE(linesOf(readGeneralData(path())), expected);
}

void TestGeneralData::writesTenCrLfLinesWhole()
{
    writeFile(path(), QByteArray(4000, 'x')); // a longer file must not leave its tail behind
    GeneralData d;
    d.telephone = kEmptyTelephone;
    writeGeneralData(path(), d);
    QCOMPARE(readFile(path()), kBlankFile);
}

void TestGeneralData::missingAndUnusableFiles()
{
    QCOMPARE(readGeneralData(path()), GeneralData{});
    QVERIFY(!QFile::exists(path()));
    const QString nowhere = m_tmp->filePath(QStringLiteral("no-such-folder/Datosgen.txt"));
    QVERIFY_THROWS_EXCEPTION(FileError, writeGeneralData(nowhere, {}));

    // A folder in the file's place can be neither read nor replaced.
    QVERIFY(QDir(m_tmp->path()).mkdir(kGeneralDataFileName));
    try {
        readGeneralData(path());
        QFAIL("a folder was read as the file");
    } catch (const FileError& e) {
        QVERIFY2(e.message().contains(kGeneralDataFileName), qPrintable(e.message()));
    }
    QVERIFY_THROWS_EXCEPTION(FileError, writeGeneralData(path(), {}));
    UnitTexts units;
    QVERIFY_THROWS_EXCEPTION(FileError, loadUnits(path(), units));
    QCOMPARE(linesOf(units), linesOf(UnitTexts{}));
}

void TestGeneralData::aFileDifferingOnlyInCaseIsUsed()
{
    const QString upper = m_tmp->filePath(QStringLiteral("DATOSGEN.TXT"));
    writeFile(upper, "Vieja\r\n");
    QCOMPARE(readGeneralData(path()).institution, QStringLiteral("Vieja"));
    writeGeneralData(path(), {});
    QCOMPARE(readFile(upper), QByteArray("\r\n").repeated(10));
    QVERIFY(!QFile::exists(path()));
}

void TestGeneralData::loadUnitsTakesLinesFiveToNine_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");
    const QStringList before{u"L"_qs, u"P"_qs, u"S"_qs, u"R"_qs, u"G"_qs};
    QTest::newRow("no file") << false << QByteArray() << before;
    QTest::newRow("ten lines") << true << kFull
                               << QStringList{u"[Kgm]"_qs, u"mmHg"_qs, u"[Km/h]"_qs, u"[Lpm]"_qs,
                                              u"[%]"_qs};
    // Lines 1 to 4 passed through the load unit too, but only line 5 may stay there.
    QTest::newRow("four lines") << true << QByteArray("a\r\nb\r\nc\r\nd\r\n") << padded({}, 5);
    QTest::newRow("five, last open")
        << true << QByteArray("a\nb\nc\nd\n[Wats]") << padded({u"[Wats]"_qs}, 5);
}

void TestGeneralData::loadUnitsTakesLinesFiveToNine()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    if (exists)
        writeFile(path(), bytes);
    UnitTexts units{u"L"_qs, u"P"_qs, u"S"_qs, u"R"_qs, u"G"_qs};
    loadUnits(path(), units);
    QCOMPARE(linesOf(units), expected);
}

QTEST_GUILESS_MAIN(TestGeneralData)
#include "tst_generaldata.moc"

#include "TestFiles.h"
#include "common/FileError.h"
#include "report/GeneralData.h"

#include <QTemporaryDir>
#include <QTest>
#include <optional>

using namespace esf;
using namespace Qt::StringLiterals;
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
const QStringList kFullLines = u"Clínica Ñandú|Av. Libertador 1234|(011)4567 890|Dr. Médico €|"
                               "[Kgm]|mmHg|[Km/h]|[Lpm]|[%]|/u/logo.bmp"_s.split(u'|');

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
    void writesTenCrLfLinesWholeInTheFileOfAnyCase();
    void missingAndUnusableFiles();
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
    QTest::newRow("beyond ten ignored") << kFull + "extra\r\n" << kFullLines << kFull;
    QTest::newRow("LF only, last open")
        << QByteArray(kFull).replace("\r\n", "\n").chopped(1) << kFullLines << kFull;
    QTest::newRow("empty") << QByteArray() << padded({}) << crlf.repeated(10);
    // Blanks are data; only the CR of a line end goes.
    QTest::newRow("blanks kept") << QByteArray("\r\n  dos  \r\n(   )        \r\n\r\n a\rb\r\r\n")
                                 << padded({{}, u"  dos  "_s, kEmptyTelephone, {}, u" a\rb\r"_s})
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
}

void TestGeneralData::writesTenCrLfLinesWholeInTheFileOfAnyCase()
{
    const QString upper = m_tmp->filePath(u"DATOSGEN.TXT"_s);
    writeFile(upper, "Vieja\r\n" + QByteArray(4000, 'x')); // its tail must not stay behind
    QCOMPARE(readGeneralData(path()).institution, u"Vieja"_s);
    GeneralData d;
    d.telephone = kEmptyTelephone;
    writeGeneralData(path(), d);
    QCOMPARE(readFile(upper), "\r\n\r\n(   )        \r\n" + QByteArray("\r\n").repeated(7));
    QVERIFY(!QFile::exists(path()));
}

void TestGeneralData::missingAndUnusableFiles()
{
    QCOMPARE(readGeneralData(path()), GeneralData{});
    QVERIFY(!QFile::exists(path()));
    const QString nowhere = m_tmp->filePath(u"no-such-folder/Datosgen.txt"_s);
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

void TestGeneralData::loadUnitsTakesLinesFiveToNine()
{
    UnitTexts units{u"L"_s, u"P"_s, u"S"_s, u"R"_s, u"G"_s};
    loadUnits(path(), units); // no file: nothing changes
    QCOMPARE(linesOf(units), (QStringList{u"L"_s, u"P"_s, u"S"_s, u"R"_s, u"G"_s}));
    writeFile(path(), kFull);
    loadUnits(path(), units);
    QCOMPARE(linesOf(units), kFullLines.mid(4, 5));
    // Lines 1 to 4 passed through the load unit too, but only line 5 may stay there.
    writeFile(path(), "a\nb\nc\nd\n[Wats]");
    loadUnits(path(), units);
    QCOMPARE(linesOf(units), padded({u"[Wats]"_s}, 5));
    writeFile(path(), "a\r\nb\r\nc\r\nd\r\n");
    loadUnits(path(), units);
    QCOMPARE(linesOf(units), padded({}, 5));
}

QTEST_GUILESS_MAIN(TestGeneralData)
#include "tst_generaldata.moc"

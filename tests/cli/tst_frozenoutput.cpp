#include "TestFiles.h"

#include <QProcess>
#include <algorithm>

using namespace esf::test;
using namespace Qt::StringLiterals;

// The command line's output for a real recording, byte for byte as committed in
// tests/data/frozen: any change to the signal path that alters one digit shows here.
class TestFrozenOutput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void outputIsUnchanged_data();
    void outputIsUnchanged();
};

void TestFrozenOutput::outputIsUnchanged_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    const QString recording = QStringLiteral(ESF_TEST_DATA "/rest-12lead-II-V2-V5.ecg");
    for (const QString& gain : {u"0"_s, u"2"_s}) {
        QTest::addRow("play --filter --gain %s", qPrintable(gain))
            << QStringList{u"play"_s, recording, u"--filter"_s, u"--gain"_s, gain}
            << u"rest-play-filter-gain%1.csv"_s.arg(gain);
        QTest::addRow("qrs --gain %s", qPrintable(gain))
            << QStringList{u"qrs"_s, recording, u"--gain"_s, gain}
            << u"rest-qrs-gain%1.txt"_s.arg(gain);
    }
}

void TestFrozenOutput::outputIsUnchanged()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    const QByteArray wanted = readFile(QStringLiteral(ESF_TEST_DATA "/frozen/") + expected);
    QVERIFY2(!wanted.isEmpty(), qPrintable(expected));
    QProcess p;
    p.start(QStringLiteral(ESF_CLI_PATH), args);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const QByteArray got = p.readAllStandardOutput();
    const QList<QByteArray> gotLines = got.split('\n');
    const QList<QByteArray> wantedLines = wanted.split('\n');
    for (qsizetype i = 0; i < std::min(gotLines.size(), wantedLines.size()); ++i)
        QCOMPARE(gotLines[i], wantedLines[i]); // the first differing line, both shown
    QCOMPARE(got, wanted);
}

QTEST_GUILESS_MAIN(TestFrozenOutput)
#include "tst_frozenoutput.moc"

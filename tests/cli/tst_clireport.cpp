#include "TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace esf::test;
using namespace Qt::StringLiterals;

// `esfuerzo-cli dump` of reports, through the real program (it runs without a GUI).
class TestCliReport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dumpsParagraphsAndRuns();
};

void TestCliReport::dumpsParagraphsAndRuns()
{
    QProcess p;
    p.start(QStringLiteral(ESF_CLI_PATH),
            {u"dump"_s, QStringLiteral(ESF_TEST_DATA "/wordpad-informe.rtf")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    const QJsonArray paragraphs = QJsonDocument::fromJson(p.readAllStandardOutput())
                                      .object()
                                      .value(u"paragraphs"_s)
                                      .toArray();
    QCOMPARE(paragraphs.size(), 5);
    QCOMPARE(paragraphs[0].toObject().value(u"alignment"_s).toString(), u"center"_s);
    const QJsonObject name = paragraphs[1].toObject().value(u"runs"_s).toArray()[1].toObject();
    QCOMPARE(QJsonDocument(name).toJson(QJsonDocument::Compact),
             R"({"bold":false,"color":null,"font":"Arial","italic":true,"size":10,"strike":false,)"
             R"("text":"Pérez, José","underline":false})");
    const QJsonObject red = paragraphs[2].toObject().value(u"runs"_s).toArray()[1].toObject();
    QCOMPARE(red.value(u"color"_s).toString(), u"#c00000"_s);
    QCOMPARE(red.value(u"text"_s).toString(), u"ST ≥ 2 mm"_s);

    QTemporaryDir dir;
    p.start(QStringLiteral(ESF_CLI_PATH), {u"dump"_s, dir.filePath(u"0012_003.INF"_s)});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 1);
}

QTEST_GUILESS_MAIN(TestCliReport)
#include "tst_clireport.moc"

#include "StudyFixture.h"
#include "TestFiles.h"
#include "cli/Cli.h"
#include "records/PatientFile.h"

#include <QImage>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

class TestCliReview : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rendersTheCanvasAndReportsDamage();
};

void TestCliReview::rendersTheCanvasAndReportsDamage()
{
    QTemporaryDir tmp;
    const QString study = tmp.filePath(u"0012_001.est"_s);
    const QString patient = tmp.filePath(u"00000012.DAT"_s);
    const QString png = tmp.filePath(u"out.png"_s);
    writePatientHeader(patient, {u"Ana"_s, u"Núñez"_s, 160, u"01/01/1960"_s, 1}, 1);
    const QByteArray bytes = encodeStudy(reviewProtocol(), reviewRecords(4));
    writeFile(study, bytes);
    const auto run = [&](const QString& args) {
        QString out;
        QString err;
        QTextStream o(&out);
        QTextStream e(&err);
        QStringList words = args.split(u' ');
        for (QString& w : words)
            w = w == u"S"_s ? study : (w == u"P"_s ? patient : (w == u"O"_s ? png : w));
        return cli::run(words, o, e);
    };
    QCOMPARE(run(u"review S --patient P --record 9 --size 640x480 --out O"_s), 0);
    const QImage image(png);
    QCOMPARE(image.size(), QSize(640, 480));
    // The strip panel 448 × 192 at (179, 240) has its green frame.
    QCOMPARE(image.pixel(179, 245) & 0xFFFFFF, 0x008000u);
    QCOMPARE(run(u"review S --patient P --out O"_s), 0);
    QCOMPARE(QImage(png).size(), QSize(1000, 700));

    writeFile(study, bytes.left(bytes.size() - 10)); // torn tail: drawn without it, status 1
    QCOMPARE(run(u"review S --patient P --out O"_s), 1);
    QCOMPARE(run(u"review S --patient nowhere.DAT --out O"_s), 1);
    for (const QString& bad :
         {u"review S --patient P"_s, u"review S --patient P --size 10x10 --out O"_s,
          u"review S --patient P --record 0 --out O"_s})
        QCOMPARE(run(bad), 2);
}

QTEST_MAIN(TestCliReview)
#include "tst_clireview.moc"

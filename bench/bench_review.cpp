#include "Fixtures.h"
#include "records/StudyCharts.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

using namespace esf;
using namespace esf::test;

// A repaint of the study review: a 255-record study on a 1920 × 1080 canvas.
class BenchReview : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void repaint();
    void openAndRepaint();
    void stepRecord();

private:
    void paint(const StudyReview& review);
    QTemporaryDir m_tmp;
    QString m_path;
    QImage m_image{1920, 1080, QImage::Format_RGB32};
};

void BenchReview::initTestCase()
{
    m_path = m_tmp.filePath(QStringLiteral("0001_001.est"));
    QFile f(m_path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(encodeStudy(reviewProtocol(), reviewRecords(255, 10)));
}

void BenchReview::paint(const StudyReview& review)
{
    ReviewScene scene{reviewLayout(1920, 1080), &review, {}, QColor(0xEFEFEF), QFont()};
    QPainter p(&m_image);
    drawReviewCanvas(p, scene);
}

// What the window does on a repaint: the records were read when the study was opened.
void BenchReview::repaint()
{
    StudyReview review;
    QVERIFY(review.open(m_path, QStringLiteral("2007.1.1")));
    review.goTo(128);
    QBENCHMARK
    {
        paint(review);
    }
}

// Opening (reading the whole study once) and the first repaint.
void BenchReview::openAndRepaint()
{
    QBENCHMARK
    {
        StudyReview review;
        review.open(m_path, QStringLiteral("2007.1.1"));
        paint(review);
    }
}

// The next-record button: marks moved, one record read, strip panel redrawn.
void BenchReview::stepRecord()
{
    StudyReview review;
    QVERIFY(review.open(m_path, QStringLiteral("2007.1.1")));
    ReviewScene scene{reviewLayout(1920, 1080), &review, {}, QColor(0xEFEFEF), QFont()};
    QBENCHMARK
    {
        QPainter p(&m_image);
        drawRecordMarks(p, scene, false);
        if (!review.next())
            review.goTo(1);
        drawRecordMarks(p, scene, true);
        drawStripPanel(p, scene);
    }
}

QTEST_MAIN(BenchReview)
#include "bench_review.moc"

#include "report/RtfCodec.h"

#include <QFile>
#include <QPageSize>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

using namespace esf;

namespace {

// Fifty copies of the shipped template, each on a page of its own, as a long report.
QByteArray fiftyPageReport()
{
    QFile f(QStringLiteral(ESF_SOURCE_DIR "/data/informe.rtf"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray rtf = f.readAll();
    const qsizetype start = rtf.indexOf("\\pard");
    const qsizetype end = rtf.lastIndexOf('}');
    const QByteArray body = rtf.mid(start, end - start);
    QByteArray out = rtf.left(start);
    for (int page = 0; page < 50; ++page)
        out += (page > 0 ? "\\page\n" : "") + body;
    return out + '}';
}

} // namespace

class BenchReport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void load();
    void save();

private:
    QTemporaryDir m_dir;
    QString m_path;
};

void BenchReport::initTestCase()
{
    m_path = m_dir.filePath(QStringLiteral("0012_003.INF"));
    QFile f(m_path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(fiftyPageReport());
    f.close();
    QTextDocument doc;
    loadReportFile(m_path, doc);
    doc.setPageSize(QPageSize(QPageSize::A4).size(QPageSize::Point));
    qInfo("%lld bytes, %d paragraphs, %d pages", static_cast<long long>(f.size()), doc.blockCount(),
          doc.pageCount());
    QVERIFY(doc.pageCount() >= 50);
}

void BenchReport::load()
{
    QTextDocument doc;
    QBENCHMARK
    {
        loadReportFile(m_path, doc);
    }
}

void BenchReport::save()
{
    QTextDocument doc;
    loadReportFile(m_path, doc);
    const QString out = m_dir.filePath(QStringLiteral("copia.INF"));
    QBENCHMARK
    {
        saveReportFile(out, doc);
    }
}

QTEST_MAIN(BenchReport)
#include "bench_report.moc"

#include "common/BinaryIO.h"
#include "report/GraphicReport.h"
#include "report/PrintDrawing.h"
#include "report/ReportPdf.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace esf;

namespace {

constexpr int kRecords = 24;
constexpr int kMarked = 10;
constexpr int kDpi = 600;

// A spiky, repeating signal so the strips are not flat lines.
std::int32_t sampleAt(int k, int lead)
{
    const int phase = (k + lead * 37) % 160;
    if (phase < 8)
        return phase * 60;
    if (phase < 16)
        return (16 - phase) * 60 - 120;
    return (phase % 40) - 20;
}

} // namespace

// The whole graphic report of a 24-record treadmill study with 10 marked strips, from the
// study file to an A4 PDF at 600 dpi: reading, building and drawing.
class BenchPrint : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void reportToPdf();

private:
    QTemporaryDir m_dir;
};

void BenchPrint::initTestCase()
{
    QFile f(m_dir.filePath(QStringLiteral("0012_001.est")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    LeWriter w(f, f.fileName());
    ProtocolRecord p = ProtocolRecord::cleared();
    p.name = QStringLiteral("BRUCE");
    p.device = Device::Cinta;
    p.stageCount = 7;
    for (int i = 0; i < 7; ++i)
        p.stages[static_cast<std::size_t>(i)] = {
            std::uint8_t(i + 1), StageType::Ejercicio, 180, 0.0f, 10.0f + 2 * i, 2.7f + 1.3f * i};
    writeProtocol(w, p);
    for (int i = 0; i < kRecords; ++i) {
        StageRecord r;
        r.stage = std::uint8_t(i / 4 + 1);
        r.elapsed = 60 * (i + 1);
        r.systolic = 120 + 3 * i;
        r.diastolic = 70 + i;
        r.heartRate = 80 + 4 * i;
        for (int lead = 0; lead < kLeadCount; ++lead) {
            auto& samples = r.strip[static_cast<std::size_t>(lead)];
            samples.resize(kStripLength);
            for (int k = 0; k < kStripLength; ++k)
                samples[static_cast<std::size_t>(k)] = sampleAt(k + 50 * i, lead);
        }
        writeStageRecord(w, r, true);
    }
}

void BenchPrint::reportToPdf()
{
    ReportInputs in;
    in.patient = {QStringLiteral("Ana"), QStringLiteral("Peña"), 160, QStringLiteral("01/01/1970"),
                  0};
    in.patientVersion = QStringLiteral("2007.1.1");
    in.units = {QStringLiteral("[Kgm]"), QStringLiteral("[mmHg]"), QStringLiteral("[Km/h]"),
                QStringLiteral("[Lpm]"), QStringLiteral("[%]")};
    in.today = QDate(2026, 12, 6);
    for (int n = 1; n <= kMarked; ++n)
        in.selection.set(static_cast<std::size_t>(2 * n));
    const QString study = m_dir.filePath(QStringLiteral("0012_001.est"));
    const QString pdf = m_dir.filePath(QStringLiteral("0012_001.pdf"));
    QBENCHMARK
    {
        const GraphicReport report =
            buildGraphicReport(in, readPrintedStudy(study, in.patientVersion, in.selection));
        writeReportPdf(pdf, report, QImage(), reportPageLayout(QPageSize::A4), kDpi);
    }
    qInfo("PDF size: %lld bytes", static_cast<long long>(QFileInfo(pdf).size()));
}

QTEST_MAIN(BenchPrint)
#include "bench_print.moc"

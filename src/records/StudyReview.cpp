#include "records/StudyReview.h"

#include "acquisition/DisplaySettings.h"
#include "common/BinaryIO.h"
#include "common/FileError.h"
#include "common/FileNames.h"
#include "common/Rounding.h"
#include "records/PatientFile.h"
#include "records/StudyFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace esf {
namespace {

constexpr std::int32_t kMaxElapsed = 24 * 3600;
// The head of a stage record up to the strips: what the charts need of every record.
constexpr int kRecordHead = 27;
// The trend is read this many records at a time: few reads, bounded memory.
constexpr int kRecordsPerRead = 64;

StageRecord decodeHead(const char* p, bool withST)
{
    StageRecord r;
    const auto u8 = [p](int at) { return static_cast<std::uint8_t>(p[at]); };
    r.kind = u8(0);
    r.elapsed = readI32(p + 1);
    r.stage = u8(5);
    r.leadSet = u8(6);
    r.gain = u8(7);
    r.speed = u8(8);
    r.filter = u8(9);
    r.diastolic = readI32(p + 10);
    r.systolic = readI32(p + 14);
    r.heartRate = readI32(p + 18);
    r.angina = u8(26);
    if (withST) {
        // The ST levels follow the three strips of 2001 samples.
        for (int lead = 0; lead < kLeadCount; ++lead) {
            const std::int32_t bits = readI32(p + kOldStageRecordSize + 4 * lead);
            float level = 0.0f;
            std::memcpy(&level, &bits, sizeof level);
            r.st[static_cast<std::size_t>(lead)] = level;
        }
    }
    return r;
}

} // namespace

ChartBox ReviewLayout::chart(int index) const
{
    const int left = chartLeft[static_cast<std::size_t>(std::clamp(index, 0, 3))];
    return {left, chartTop, left + chartSide, chartTop + chartSide};
}

ReviewLayout reviewLayout(int width, int height)
{
    ReviewLayout l;
    l.width = std::max(width, 0);
    l.height = std::max(height, 0);
    l.chartSide = roundShare(0.2, l.width);
    l.gap = roundShare(0.04, l.width);
    l.chartTop = roundShare(0.05, l.height);
    for (int i = 0; i < 4; ++i)
        l.chartLeft[static_cast<std::size_t>(i)] = (i + 1) * l.gap + i * l.chartSide;
    const int sw = roundShare(0.7, l.width);
    const int sh = roundShare(0.4, l.height);
    const int sl = l.width - roundShare(0.02, l.width) - sw;
    const int st = roundShare(0.5, l.height);
    l.strips = {sl, st, sl + sw, st + sh};
    if (sw > 0) {
        l.stripRows = static_cast<int>(roundHalfEvenRatio(std::int64_t(sh) * 50, sw));
        l.stripRange = static_cast<int>(roundHalfEvenRatio(std::int64_t(sh) * 50 * 70, sw));
    }
    return l;
}

std::int32_t clampElapsed(std::int32_t seconds)
{
    return std::clamp(seconds, 0, kMaxElapsed);
}

TimeAxis timeAxis(std::int32_t totalSeconds)
{
    const std::int32_t total = clampElapsed(totalSeconds);
    TimeAxis a;
    a.minutes = static_cast<int>(roundHalfEvenRatio(total, 60)) + 1;
    a.step = std::max(1, static_cast<int>(roundHalfEvenRatio(total, 480)));
    return a;
}

int timeToX(const ChartBox& box, std::int32_t seconds, int minutes)
{
    const std::int64_t m = std::max(minutes, 1);
    const std::int64_t t = std::clamp<std::int64_t>(seconds, 0, 60 * m);
    return box.left + static_cast<int>(t * box.width() / m / 60);
}

int valueToY(const ChartBox& box, double value, ValueRange range)
{
    const std::int64_t span = range.max - range.min;
    if (span <= 0)
        return box.bottom;
    const double v =
        std::isnan(value) ? range.min : std::clamp<double>(value, range.min, range.max);
    const std::int64_t offset = std::int64_t(box.height()) * -range.min / span;
    return box.bottom - static_cast<int>(offset) -
           static_cast<int>(roundHalfEven(v * box.height() / static_cast<double>(span)));
}

LoadChart loadChartKind(const ProtocolRecord& protocol)
{
    if (protocol.device == Device::Cinta)
        return LoadChart::Slope;
    if (protocol.device == Device::Bicicleta)
        return LoadChart::Load;
    return LoadChart::None;
}

double stageLoadValue(const ProtocolRecord& protocol, int stage)
{
    const StageEntry& e = protocol.stage(stage);
    return loadChartKind(protocol) == LoadChart::Load ? e.load : e.slope;
}

std::array<ChartSpec, 4> chartSpecs(const UnitTexts& units, LoadChart load)
{
    std::array<ChartSpec, 4> c;
    c[0] = {{50, 250}, 8, {50, 250}, 50, QStringLiteral(" P.art") + units.pressure, true};
    c[1] = {{20, 220}, 8, {20, 220}, 50, QStringLiteral("Frec") + units.rate, true};
    c[2] = {{0, 40000}, 10, {0, 40}, 4, QStringLiteral("ITT x1000"), true};
    if (load == LoadChart::Load)
        c[3] = {{0, 2000}, 8, {0, 2000}, 500, QStringLiteral("Carga") + units.load, true};
    else
        c[3] = {{0, 40},
                8,
                {0, 40},
                10,
                QStringLiteral("Pendiente") + units.slope,
                load == LoadChart::Slope};
    return c;
}

int printPages(int marked, int records)
{
    const int n = records + 1;
    const int e = n >= 25 ? marked : (n >= 13 ? marked - 1 : marked - 2);
    return e <= 0 ? 1 : 1 + (e + 4) / 5;
}

QString printPagesText(int pages)
{
    if (pages == 1)
        return QStringLiteral("Se imprimirá 1 hoja");
    return QStringLiteral("Se imprimirán ") + QString::number(pages) + QStringLiteral(" hojas");
}

int reviewAge(const QString& birthDate, const QDate& today)
{
    const QDate birth = parseShortDate(birthDate);
    if (!birth.isValid() || !today.isValid())
        return 0;
    return static_cast<int>(roundHalfEvenRatio(birth.daysTo(today), 365));
}

int leadingInteger(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    std::int64_t v = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        v = std::min<std::int64_t>(v * 10 + (text[i].unicode() - u'0'),
                                   std::numeric_limits<int>::max());
    return static_cast<int>(v);
}

QString stLevelText(float level, const QString& version)
{
    const QString none = QStringLiteral("---");
    if (versionGreaterThan(QStringLiteral("2007.1.1"), version) || level == kStNotMeasured ||
        !std::isfinite(level))
        return none;
    // Five significant digits, shown with three decimals.
    const double v = QString::number(static_cast<double>(level), 'g', 5).toDouble();
    if (std::fabs(v) >= 1e5)
        return QString::number(v, 'E', 4);
    return QString::number(v, 'f', 3);
}

QString gainTitle(int gainIndex)
{
    const double gain = kGainTable[static_cast<std::size_t>(std::clamp(gainIndex, 0, 2))];
    return QString::number(gain, 'f', 1) + QStringLiteral("[cm/mV]");
}

StudyTrend readStudyTrend(const QString& path, const QString& version)
{
    StudyTrend out;
    const QFileInfo info(path);
    QFile f(resolveCaseInsensitive(info.dir(), info.fileName()));
    if (!tryOpenRegularFile(f, QIODevice::ReadOnly))
        return out;
    const QByteArray header = f.read(kProtocolRecordSize);
    if (header.size() != kProtocolRecordSize)
        return out;
    QBuffer hb;
    hb.setData(header);
    hb.open(QIODevice::ReadOnly);
    LeReader hr(hb, f.fileName());
    out.protocol = readStudyHeader(hr, usesOldProtocolHeader(version));
    out.readable = true;

    const qint64 recordSize = recordsHaveST(version) ? kStageRecordSize : kOldStageRecordSize;
    while (true) {
        const QByteArray block = f.read(recordSize * kRecordsPerRead);
        const qint64 whole = block.size() / recordSize;
        for (qint64 k = 0; k < whole; ++k)
            out.records.push_back(
                decodeHead(block.constData() + k * recordSize, recordSize == kStageRecordSize));
        if (block.size() < recordSize * kRecordsPerRead) {
            out.tornTail = block.size() % recordSize != 0;
            break;
        }
    }
    return out;
}

bool StudyReview::open(const QString& path, const QString& version)
{
    m_path = path;
    m_version = version;
    m_trend = readStudyTrend(path, version);
    m_current = 0;
    show(1);
    return m_current == 1 && m_readable;
}

std::int32_t StudyReview::totalTime() const
{
    return m_trend.records.empty() ? 0 : m_trend.records.back().elapsed;
}

void StudyReview::show(int record)
{
    m_current = std::clamp(record, 0, recordsInStudy());
    m_readable = false;
    m_record =
        m_current > 0 ? m_trend.records[static_cast<std::size_t>(m_current - 1)] : StageRecord();
    if (m_current == 0)
        return;
    StudyRead r = readStudyRecord(m_path, m_current, m_version);
    if (r.recordsRead == m_current) {
        m_record = std::move(r.record);
        m_readable = true;
    }
}

bool StudyReview::next()
{
    const int before = m_current;
    if (m_current < recordsInStudy())
        show(m_current + 1);
    return m_current != before;
}

bool StudyReview::previous()
{
    const int before = m_current;
    if (m_current > 1)
        show(m_current - 1);
    return m_current != before;
}

bool StudyReview::canCorrect() const
{
    return recordsHaveST(m_version);
}

void StudyReview::correct(int systolic, int diastolic, int heartRate, bool angina)
{
    if (!canCorrect() || m_current < 1)
        return;
    // The edits refuse values above their limits; a value shown from the file goes back as it
    // was read.
    rewriteStageValues(m_path, m_current, diastolic, systolic, heartRate, angina ? 1 : 0);
    const int at = m_current;
    m_trend = readStudyTrend(m_path, m_version);
    show(at);
}

void StudyReview::setMarked(bool on)
{
    if (canMark())
        printFlags.set(static_cast<std::size_t>(m_current), on);
}

int StudyReview::pages() const
{
    return printPages(static_cast<int>(printFlags.count()), recordsInStudy());
}

} // namespace esf

#include "st/StMeasure.h"

#include "common/NumberFormat.h"
#include "common/Rounding.h"
#include "common/SoftAssert.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace esf {

namespace {

constexpr int kDefaultSpeed = 25;
constexpr double kMvPerDiv = 0.5;      // at gain 1
constexpr double kPaperMmPerDiv = 5.0; // one division of paper
constexpr int kSignificantDigits = 5;  // of the shown readings
constexpr int kDecimals = 3;
constexpr int kCaliperTick = 10;   // length of the short end strokes of a caliper figure
constexpr int kBaselineToZero = 5; // a baseline at offset 0 lies this far above the zero level

std::size_t at(int i)
{
    return static_cast<std::size_t>(i);
}

int clampSample(int index)
{
    return std::clamp(index, 0, kStLastSample);
}

} // namespace

double stVerticalScale()
{
    return kStPxPerDiv / static_cast<double>(kStUnitsPerDiv);
}

double stHorizontalScale(int speedMmPerS)
{
    return kStPxPerDiv * speedMmPerS / 1000.0;
}

int stSampleSpan(int count, int speedMmPerS)
{
    return static_cast<int>(
        roundHalfEvenRatio(static_cast<std::int64_t>(count) * kStPxPerDiv * speedMmPerS, 1000));
}

int stSampleX(int index, int speedMmPerS)
{
    return kStX0 + stSampleSpan(index, speedMmPerS);
}

int stSampleY(std::int32_t value, int lead)
{
    const auto lift =
        roundHalfEvenRatio(static_cast<std::int64_t>(value) * kStPxPerDiv, kStUnitsPerDiv);
    return static_cast<int>(kStY0 + kStZeroLine[at(lead)] - lift);
}

int stJtSamples(int ms)
{
    return static_cast<int>(roundHalfEvenRatio(ms, kStSampleMs));
}

float computeSt(std::int32_t stSample, int lead, int baselineOffset, double gain)
{
    const int zero = kStZeroLine[at(lead)];
    const double ySt = (zero + kBaselineToZero) - stSample * stVerticalScale();
    const int baselineTop = zero - baselineOffset;
    return static_cast<float>((baselineTop - ySt) / kStPxPerDiv * kMvPerDiv / gain);
}

double amplitudeReading(int y0, int y, double gain)
{
    return std::abs(y0 - y) / static_cast<double>(kStPxPerDiv) * kMvPerDiv / gain;
}

double timeReading(int x0, int x, int speedMmPerS)
{
    return std::abs(x0 - x) / static_cast<double>(kStPxPerDiv) * kPaperMmPerDiv / speedMmPerS;
}

QString formatStValue(double value)
{
    if (!std::isfinite(value))
        return QLocale::c().toString(value);

    // The decimal exponent after rounding to five significant digits decides how many
    // decimals are real digits: 123.4567 shows as 123.460.
    const QString sci = QLocale::c().toString(value, 'e', kSignificantDigits - 1);
    const int exponent = sci.mid(sci.indexOf(QLatin1Char('e')) + 1).toInt();
    if (exponent >= kSignificantDigits) {
        return sci.left(sci.indexOf(QLatin1Char('e'))) + QStringLiteral("E+") +
               QStringLiteral("%1").arg(exponent, 3, 10, QLatin1Char('0'));
    }
    const int decimals = std::clamp(kSignificantDigits - 1 - std::max(exponent, 0), 0, kDecimals);
    QString text = QLocale::c().toString(value, 'f', decimals);
    if (decimals == 0)
        text += QLatin1Char('.');
    text += QString(kDecimals - decimals, QLatin1Char('0'));
    static const QRegularExpression nonZero(QStringLiteral("[1-9]"));
    if (text.startsWith(QLatin1Char('-')) && !text.contains(nonZero))
        text.remove(0, 1);
    return text;
}

bool stCrossCursorAt(QPoint p)
{
    return p.x() > kStX0 && p.x() < kStX1 && p.y() > kStY0 && p.y() < kStY1;
}

bool StMarkers::covers(QPoint p) const
{
    const auto in = [p](const auto& rects) {
        return std::any_of(rects.begin(), rects.end(),
                           [p](const QRect& r) { return r.contains(p); });
    };
    return jLine.contains(p) || in(jCircles) || in(stCircles) || in(baselines);
}

void StMeasurement::open(const QrsBeats& average, int fidIdx, int speedMmPerS, double gain)
{
    ESF_ASSERT(speedMmPerS > 0, speedMmPerS = kDefaultSpeed);
    ESF_ASSERT(gain > 0.0 && std::isfinite(gain), gain = 1.0);
    m_average = average;
    m_fidIdx = fidIdx;
    m_speed = speedMmPerS;
    m_gain = gain;
    // A detection point near the end of the window (or none yet) must not put J outside it.
    m_jIdx = static_cast<int>(
        std::clamp<std::int64_t>(std::int64_t{fidIdx} + kStJAfterFiducial, 0, kStLastSample));
}

bool StMeasurement::setJtText(const QString& text)
{
    int ms = 0;
    if (!parseInteger(text, ms))
        return false;
    m_jtMs = ms;
    return true;
}

void StMeasurement::moveJ(int samples)
{
    m_jIdx = clampSample(m_jIdx + std::clamp(samples, -kQrsWindow, kQrsWindow));
    computeSt();
}

void StMeasurement::stepBaseline(int lead, int clicks)
{
    ESF_ASSERT(lead >= 0 && lead < kLeadCount, return );
    int& offset = m_offsets[at(lead)];
    offset = std::clamp(offset + std::clamp(clicks, -2 * kStBaselineLimit, 2 * kStBaselineLimit),
                        -kStBaselineLimit, kStBaselineLimit);
    computeSt();
}

void StMeasurement::computeSt()
{
    const int st = stIdx();
    for (int lead = 0; lead < kLeadCount; ++lead)
        m_st[at(lead)] = esf::computeSt(sample(lead, st), lead, m_offsets[at(lead)], m_gain);
}

int StMeasurement::baselineTop(int lead) const
{
    return kStZeroLine[at(lead)] - m_offsets[at(lead)];
}

int StMeasurement::stIdxFor(int jIdx) const
{
    // An interval reaching past the last sample is cut there; so is a negative one at 0.
    return clampSample(jIdx + std::clamp(stJtSamples(m_jtMs), -kQrsWindow, kQrsWindow));
}

std::int32_t StMeasurement::sample(int lead, int index) const
{
    return m_average[at(lead)][at(clampSample(index))];
}

StMarkers StMeasurement::markers() const
{
    StMarkers m;
    const int half = kStMarkerSize / 2;
    const int jLeft = stSampleX(m_jIdx, m_speed);
    const int stLeft = jLeft - half + stSampleSpan(jtSamples(), m_speed);
    m.jLine = QRect(jLeft, kStY0, kStJLineWidth, kStY1 - kStY0);
    for (int lead = 0; lead < kLeadCount; ++lead) {
        const int jTop = stSampleY(sample(lead, m_jIdx), lead) - half;
        const int stTop = stSampleY(sample(lead, stIdx()), lead) - half;
        m.jCircles[at(lead)] = QRect(jLeft - half, jTop, kStMarkerSize, kStMarkerSize);
        m.stCircles[at(lead)] = QRect(stLeft, stTop, kStMarkerSize, kStMarkerSize);
        m.baselines[at(lead)] = QRect(kStX0, baselineTop(lead), kStX1 - kStX0, 1);
    }
    return m;
}

void Calipers::press(Caliper caliper, QPoint p)
{
    m_origin = p;
    (caliper == Caliper::Amplitude ? m_amplitude : m_time) = true;
}

std::vector<Calipers::Step> Calipers::move(QPoint p, double gain, int speedMmPerS)
{
    std::vector<Step> steps;
    if (m_amplitude) {
        const CaliperFigure figure = amplitudeFigure(m_origin, p);
        steps.push_back({Caliper::Amplitude, m_drawnAmplitude, figure,
                         amplitudeReading(m_origin.y(), p.y(), gain)});
        m_drawnAmplitude = figure;
    }
    if (m_time) {
        const CaliperFigure figure = timeFigure(m_origin, p);
        steps.push_back(
            {Caliper::Time, m_drawnTime, figure, timeReading(m_origin.x(), p.x(), speedMmPerS)});
        m_drawnTime = figure;
    }
    return steps;
}

void Calipers::release()
{
    // The figures stay on the surface; they are no longer ours to erase.
    m_amplitude = false;
    m_time = false;
    forgetFigures();
}

void Calipers::forgetFigures()
{
    m_drawnAmplitude.reset();
    m_drawnTime.reset();
}

bool Calipers::isOn(Caliper caliper) const
{
    return caliper == Caliper::Amplitude ? m_amplitude : m_time;
}

CaliperFigure Calipers::amplitudeFigure(QPoint origin, QPoint p)
{
    return {QPoint(origin.x() - kCaliperTick, origin.y()), QPoint(p.x(), origin.y()), p,
            QPoint(p.x() - kCaliperTick, p.y())};
}

CaliperFigure Calipers::timeFigure(QPoint origin, QPoint p)
{
    return {QPoint(origin.x(), origin.y() - kCaliperTick), QPoint(origin.x(), p.y()), p,
            QPoint(p.x(), p.y() - kCaliperTick)};
}

} // namespace esf

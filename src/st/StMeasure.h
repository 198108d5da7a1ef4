#pragma once

#include "signal/QrsAverage.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace esf {

// Fixed layout of the ST view, in window client pixels.
inline constexpr int kStX0 = 5;
inline constexpr int kStY0 = 5;
inline constexpr int kStX1 = 600;
inline constexpr int kStY1 = 600;
inline constexpr int kStPxPerDiv = (kStX1 - kStX0) / 10; // both axes
inline constexpr int kStUnitsPerDiv = 70;                // sample units in one division
inline constexpr std::array<int, kLeadCount> kStZeroLine{
    1 * ((kStY1 - kStY0) / 4), 2 * ((kStY1 - kStY0) / 4), 3 * ((kStY1 - kStY0) / 4)};

inline constexpr int kStSampleMs = 5;
inline constexpr int kStLastSample = kQrsWindow - 1;
inline constexpr int kStJAfterFiducial = 12; // 60 ms after the detection point
inline constexpr int kStMarkerSize = 10;     // J and ST circles
inline constexpr int kStJLineWidth = 2;
inline constexpr int kStJtMinimum = 0; // range of the J–T arrows
inline constexpr int kStJtMaximum = 100;
inline constexpr int kStJtDefault = 80;
inline constexpr int kStBaselineLimit = 100; // offsets run from -100 to 100

// Pixels per sample unit, vertically.
double stVerticalScale();
// Pixels per sample at a sweep speed in mm/s: one division is 5 mm of paper.
double stHorizontalScale(int speedMmPerS);
// round(count × horizontal scale), exactly: the scale is 59 × speed / 1000 and a binary
// fraction must not tip a true half.
int stSampleSpan(int count, int speedMmPerS);
// Where sample index of a lead is drawn.
int stSampleX(int index, int speedMmPerS);
int stSampleY(std::int32_t value, int lead);

// round(ms / 5).
int stJtSamples(int ms);

// ST value of one lead in mV: the height of the ST sample over the lead's baseline.
float computeSt(std::int32_t stSample, int lead, int baselineOffset, double gain);

// Caliper readings: |Y0 − Y| in mV, |X0 − X| in seconds.
double amplitudeReading(int y0, int y, double gain);
double timeReading(int x0, int x, int speedMmPerS);

// Fixed notation with three decimals and five significant digits, "." as decimal separator;
// a value that rounds to zero shows no sign. Beyond five integer digits the exponent form
// "1.2346E+005" takes over.
QString formatStValue(double value);

// The cross cursor covers the drawing area without its outline.
bool stCrossCursorAt(QPoint p);

// Rectangles of the J line, the J and ST circles and the baselines.
struct StMarkers {
    QRect jLine;
    std::array<QRect, kLeadCount> jCircles;
    std::array<QRect, kLeadCount> stCircles;
    std::array<QRect, kLeadCount> baselines;

    bool covers(QPoint p) const;
};

// What the view measures on, and what it keeps from one opening to the next.
class StMeasurement {
public:
    // A new snapshot: J goes back to 12 samples after detection; the J–T interval, the
    // baseline offsets and the ST results stay. The ST results are not recomputed.
    void open(const QrsBeats& average, int fidIdx, int speedMmPerS, double gain);

    // The J–T text as typed; false when it is not an integer, and nothing changes then.
    bool setJtText(const QString& text);
    int jtMs() const { return m_jtMs; }
    QString jtText() const { return QString::number(m_jtMs); }

    // One sample right (+1) or left (−1) per click; J stops at either end of the beat.
    // The ST results follow.
    void moveJ(int samples);
    // One click up (+1) or down (−1) on a lead's baseline; the ST results of all leads follow.
    void stepBaseline(int lead, int clicks);
    void computeSt();

    int jIdx() const { return m_jIdx; }
    // Samples between J and the ST point, limited so the ST point stays in the beat.
    int jtSamples() const { return stIdxFor(m_jIdx) - m_jIdx; }
    int stIdx() const { return stIdxFor(m_jIdx); }
    int baselineOffset(int lead) const { return m_offsets[static_cast<std::size_t>(lead)]; }
    int baselineTop(int lead) const;
    const std::array<float, kLeadCount>& st() const { return m_st; }

    const QrsBeats& average() const { return m_average; }
    int fidIdx() const { return m_fidIdx; }
    int speed() const { return m_speed; }
    double gain() const { return m_gain; }

    StMarkers markers() const;

private:
    int stIdxFor(int jIdx) const;
    std::int32_t sample(int lead, int index) const;

    QrsBeats m_average{};
    int m_fidIdx = kQrsWindow / 2;
    int m_speed = 25;
    double m_gain = 1.0;
    int m_jIdx = kQrsWindow / 2 + kStJAfterFiducial;
    int m_jtMs = kStJtDefault;
    std::array<int, kLeadCount> m_offsets{};
    std::array<float, kLeadCount> m_st{};
};

enum class Caliper { Amplitude, Time };
using CaliperFigure = std::array<QPoint, 4>;

// The two mouse calipers: each press sets the common start point; moves redraw the figure
// of every caliper that is on; any release ends both.
class Calipers {
public:
    struct Step {
        Caliper caliper;
        std::optional<CaliperFigure> erase; // the figure drawn by the previous move
        CaliperFigure draw;
        double reading;
    };

    void press(Caliper caliper, QPoint p);
    std::vector<Step> move(QPoint p, double gain, int speedMmPerS);
    void release();
    void reset() { *this = Calipers(); }
    // The surface was redrawn under the figures: the next move draws without erasing.
    void forgetFigures();

    bool isOn(Caliper caliper) const;
    QPoint origin() const { return m_origin; }

    static CaliperFigure amplitudeFigure(QPoint origin, QPoint p);
    static CaliperFigure timeFigure(QPoint origin, QPoint p);

private:
    QPoint m_origin;
    bool m_amplitude = false;
    bool m_time = false;
    std::optional<CaliperFigure> m_drawnAmplitude;
    std::optional<CaliperFigure> m_drawnTime;
};

} // namespace esf

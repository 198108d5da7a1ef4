#pragma once

#include "protocol/ProtocolRecord.h"
#include "protocol/StageRecord.h"
#include "protocol/StageRun.h"
#include "report/UnitTexts.h"

#include <QDate>
#include <QString>
#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

namespace esf {

inline const QString kReviewOpenErrorText =
    QStringLiteral("Problemas para abrir el archivo de estudio.Posiblemente dañado");

// A rectangle as the charts use it: right and bottom lie one past the last pixel.
struct ChartBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const ChartBox&) const = default;
};

struct ValueRange {
    int min = 0;
    int max = 0;
    bool empty() const { return max <= min; }
};

// Where everything of the review canvas stands for a client area of width × height.
struct ReviewLayout {
    int width = 0;
    int height = 0;
    int chartSide = 0; // C
    int gap = 0;       // G
    int chartTop = 0;
    std::array<int, 4> chartLeft{};
    ChartBox strips;    // SL, ST, SW, SH
    int stripRows = 0;  // grid rows of the strip panel, each as tall as a column is wide
    int stripRange = 0; // sample units over the panel's height

    ChartBox chart(int index) const; // 0..3
};
ReviewLayout reviewLayout(int width, int height);

// The time axis of the four charts: 0 to `minutes`, labelled every `step` minutes.
struct TimeAxis {
    int minutes = 1; // M
    int step = 1;    // T
    int columns() const { return minutes / step; }
};
// Elapsed times are clamped to a day first, so a damaged record cannot make the grid huge.
TimeAxis timeAxis(std::int32_t totalSeconds);
std::int32_t clampElapsed(std::int32_t seconds);

// Pixel of a time (seconds; before 0 at the left edge, after the axis at the right edge) and of
// a value clamped into its range (a value that is not a number lies at the bottom).
int timeToX(const ChartBox& box, std::int32_t seconds, int minutes);
int valueToY(const ChartBox& box, double value, ValueRange range);

// The fourth chart follows the protocol's device.
enum class LoadChart { Slope, Load, None };
LoadChart loadChartKind(const ProtocolRecord& protocol);
// Slope or load of the record's stage; 0 for a stage the protocol does not hold.
double stageLoadValue(const ProtocolRecord& protocol, int stage);

// Range, grid and labels of one trend chart.
struct ChartSpec {
    ValueRange range;
    int rows = 0;
    ValueRange labels;
    int labelStep = 0;
    QString title;
    bool shown = true; // false: the frame stays empty
};
std::array<ChartSpec, 4> chartSpecs(const UnitTexts& units, LoadChart load);

// Pages of the printed report for `marked` flags in a study of `records` records.
int printPages(int marked, int records);
QString printPagesText(int pages);

// Whole years rounded half to even from 365-day years; 0 for a date that is not valid.
int reviewAge(const QString& birthDate, const QDate& today);
// Leading blanks skipped, then the leading digits (saturated); 0 when there are none.
int leadingInteger(const QString& text);
// "-0.125" with three decimals, or "---" for levels not measured or not stored.
QString stLevelText(float level, const QString& version);
// "1.0[cm/mV]" for the record's gain index (clamped into the gain table).
QString gainTitle(int gainIndex);

// The stored study as the charts and the summary need it: every whole record (strips left out,
// ST levels kept) read in one pass. A torn tail is left out.
struct StudyTrend {
    bool readable = false; // the header could be read
    ProtocolRecord protocol;
    std::vector<StageRecord> records;
    bool tornTail = false;
};
StudyTrend readStudyTrend(const QString& path, const QString& version);

inline constexpr int kReviewMaxSystolic = 250;
inline constexpr int kReviewMaxHeartRate = 300;

// The review's state: the study, the record on screen and the print marks. The trend is read
// when the study is opened and again after a correction; stepping reads one record.
class StudyReview {
public:
    // False when the first record cannot be read (the study then shows no record).
    bool open(const QString& path, const QString& version);

    const QString& path() const { return m_path; }
    const QString& version() const { return m_version; }
    const StudyTrend& trend() const { return m_trend; }
    const ProtocolRecord& protocol() const { return m_trend.protocol; }
    int recordsInStudy() const { return static_cast<int>(m_trend.records.size()); }
    // 1-based; 0 when the study has no readable record.
    int currentRecord() const { return m_current; }
    // The record on screen with its strips; strips are empty when it could not be read.
    const StageRecord& current() const { return m_record; }
    bool currentReadable() const { return m_readable; }
    std::int32_t totalTime() const;

    // Shows record n, kept within the records found.
    void goTo(int record) { show(std::max(record, 1)); }
    // Steps stay within the records found; false when the position did not change.
    bool next();
    bool previous();

    // Corrections are stored only in files whose records carry the ST levels.
    bool canCorrect() const;
    // Writes the values into the record on screen and reads the study again. Throws FileError
    // and keeps the values on screen when the write fails.
    void correct(int systolic, int diastolic, int heartRate, bool angina);

    std::bitset<kPrintSelectionSize> printFlags;
    // Records after the 50th have no print flag.
    bool canMark() const { return m_current >= 1 && m_current < kPrintSelectionSize; }
    bool marked() const
    {
        return canMark() && printFlags.test(static_cast<std::size_t>(m_current));
    }
    void setMarked(bool on);
    int pages() const;

private:
    void show(int record);

    QString m_path;
    QString m_version;
    StudyTrend m_trend;
    int m_current = 0;
    StageRecord m_record;
    bool m_readable = false;
};

} // namespace esf

#pragma once

#include "acquisition/EcgRing.h"

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace esf {

class LeReader;
class LeWriter;

inline constexpr int kStageRecordSize = 24051;
inline constexpr int kOldStageRecordSize = 24039; // without the three ST levels
inline constexpr float kStNotMeasured = -1000.0f;

namespace RecordKind {
inline constexpr std::uint8_t Automatic = 0;
inline constexpr std::uint8_t Manual = 1;
} // namespace RecordKind

// One stage end or manual save: the measurements and the last ten seconds of all leads.
struct StageRecord {
    std::uint8_t kind = RecordKind::Automatic;
    std::int32_t elapsed = 0; // seconds since "Estudio nuevo" when the strip was captured
    std::uint8_t stage = 1;   // 1-based stage of the protocol header
    std::uint8_t leadSet = 0;
    std::uint8_t gain = 1;
    std::uint8_t speed = 1;
    std::uint8_t filter = 0;
    std::int32_t diastolic = 0;
    std::int32_t systolic = 0;
    std::int32_t heartRate = 0;
    std::uint8_t angina = 0;
    std::array<std::vector<std::int32_t>, kLeadCount> strip; // 2001 samples each, oldest first
    std::array<float, kLeadCount> st = {kStNotMeasured, kStNotMeasured, kStNotMeasured};

    // Heart rate × systolic pressure as the 32-bit product the review shows (wraps, never traps).
    std::int32_t itt() const;

    bool operator==(const StageRecord&) const = default;
};

// Records carry ST levels only for patients written by versions after "2007.1.0".
bool recordsHaveST(const QString& patientVersion);
// Byte-wise comparison as the old string type did: a longer string is greater when the
// shorter one is its prefix.
bool versionGreaterThan(const QString& version, const QString& than);

// Missing strip samples are written as 0, so a record always has its full size.
void writeStageRecord(LeWriter& w, const StageRecord& r, bool withST);
// Throws FileError when the record is cut short.
StageRecord readStageRecord(LeReader& r, bool withST);

} // namespace esf

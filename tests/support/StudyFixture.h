#pragma once

// Study files built in memory for the review's tests and benchmark; QtCore only.
#include "common/BinaryIO.h"
#include "protocol/ProtocolRecord.h"
#include "protocol/StageRecord.h"

#include <QBuffer>
#include <QByteArray>
#include <vector>

namespace esf::test {

// Treadmill protocol: basal, two exercise stages (slopes 10 and 12), recovery.
inline ProtocolRecord reviewProtocol()
{
    ProtocolRecord p = ProtocolRecord::cleared();
    p.name = QStringLiteral("Bruce");
    p.stageCount = 4;
    p.device = Device::Cinta;
    p.stages[0] = {1, StageType::Basal, 120, 0.0f, 0.0f, 0.0f};
    p.stages[1] = {2, StageType::Ejercicio, 180, 0.0f, 10.0f, 2.7f};
    p.stages[2] = {3, StageType::Ejercicio, 180, 0.0f, 12.0f, 4.0f};
    p.stages[3] = {4, StageType::Recuperacion, 120, 0.0f, 0.0f, 0.0f};
    return p;
}

// Record k (1-based) of a study whose records lie `spacing` seconds apart; the strips are
// ramps, so a wrong sample order shows.
inline StageRecord reviewRecord(int k, int spacing = 60)
{
    StageRecord r;
    r.kind = static_cast<std::uint8_t>(k % 3 == 0 ? 1 : 0);
    r.elapsed = k * spacing;
    r.stage = static_cast<std::uint8_t>(1 + (k - 1) % 4);
    r.gain = 1;
    r.diastolic = 70 + k % 20;
    r.systolic = 120 + k % 60;
    r.heartRate = 80 + k % 100;
    r.st = {-0.125f, kStNotMeasured, 0.05f};
    for (int l = 0; l < kLeadCount; ++l) {
        auto& lead = r.strip[static_cast<std::size_t>(l)];
        lead.resize(kStripLength);
        for (int j = 0; j < kStripLength; ++j)
            lead[static_cast<std::size_t>(j)] = ((j + 50 * l) % 200) - 100;
    }
    return r;
}

inline QByteArray encodeStudy(const ProtocolRecord& p, const std::vector<StageRecord>& records,
                              bool withST = true)
{
    QByteArray out = encodeProtocol(p);
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly | QIODevice::Append);
    LeWriter w(b, QString());
    for (const StageRecord& r : records)
        writeStageRecord(w, r, withST);
    return out;
}

inline std::vector<StageRecord> reviewRecords(int count, int spacing = 60)
{
    std::vector<StageRecord> v;
    for (int k = 1; k <= count; ++k)
        v.push_back(reviewRecord(k, spacing));
    return v;
}

} // namespace esf::test

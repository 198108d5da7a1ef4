#include "protocol/StageRecord.h"

#include "common/BinaryIO.h"
#include "common/Cp1252.h"

#include <algorithm>

namespace esf {
namespace {

constexpr int kStripBytes = kLeadCount * kStripLength * 4;

} // namespace

std::int32_t StageRecord::itt() const
{
    // Unsigned multiplication wraps modulo 2^32 like the original 32-bit product did.
    const std::uint32_t product =
        static_cast<std::uint32_t>(heartRate) * static_cast<std::uint32_t>(systolic);
    return static_cast<std::int32_t>(product);
}

bool versionGreaterThan(const QString& version, const QString& than)
{
    const QByteArray a = cp1252::encode(version);
    const QByteArray b = cp1252::encode(than);
    const auto less = [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    };
    return std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), less);
}

bool recordsHaveST(const QString& patientVersion)
{
    return versionGreaterThan(patientVersion, QStringLiteral("2007.1.0"));
}

void writeStageRecord(LeWriter& w, const StageRecord& r, bool withST)
{
    w.u8(r.kind);
    w.i32(r.elapsed);
    w.u8(r.stage);
    w.u8(r.leadSet);
    w.u8(r.gain);
    w.u8(r.speed);
    w.u8(r.filter);
    w.i32(r.diastolic);
    w.i32(r.systolic);
    w.i32(r.heartRate);
    w.i32(0);
    w.u8(r.angina);
    for (const std::vector<std::int32_t>& lead : r.strip) {
        const int have = std::min(static_cast<int>(lead.size()), kStripLength);
        for (int k = 0; k < kStripLength; ++k)
            w.i32(k < have ? lead[static_cast<std::size_t>(k)] : 0);
    }
    if (withST) {
        for (float v : r.st)
            w.f32(v);
    }
}

StageRecord readStageRecord(LeReader& r, bool withST)
{
    StageRecord s;
    s.kind = r.u8();
    s.elapsed = r.i32();
    s.stage = r.u8();
    s.leadSet = r.u8();
    s.gain = r.u8();
    s.speed = r.u8();
    s.filter = r.u8();
    s.diastolic = r.i32();
    s.systolic = r.i32();
    s.heartRate = r.i32();
    r.skip(4);
    s.angina = r.u8();
    // The strips are read in one piece: the review reads up to 50 records on every repaint.
    const QByteArray strips = r.bytes(kStripBytes);
    const char* p = strips.constData();
    for (std::vector<std::int32_t>& lead : s.strip) {
        lead.resize(kStripLength);
        for (std::int32_t& v : lead) {
            v = readI32(p);
            p += 4;
        }
    }
    if (withST) {
        for (float& v : s.st)
            v = r.f32();
    }
    return s;
}

} // namespace esf

// Writes the demonstration recording played by the live display: 150 s of a synthetic
// resting three-lead ECG (II, V2, V5) at 200 frames/s, 140 units per mV, optionally with
// the frame of each beat's steepest V2 edge for the detector tests.
//
// The output is fully deterministic (own PRNG, fixed seed, no clock) so the shipped file
// can be regenerated bit for bit. It is also periodic: beats, breathing, baseline wander
// and mains hum all complete whole cycles in 150 s, so the endless playback loop has no
// seam for the beat detector to trip over.

#include "common/BinaryIO.h"
#include "common/FileError.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

constexpr int kFrameRate = 200;
constexpr int kSeconds = 150;
constexpr int kFrames = kFrameRate * kSeconds;
constexpr double kUnitsPerMv = 140.0;
constexpr int kLeads = 3; // II, V2, V5
constexpr int kV2 = 1;

// 188 beats in 150 s is 75.2/min.
constexpr int kBeats = 188;
constexpr double kMeanRr = double(kSeconds) / kBeats;
// 36 breaths in 150 s (14.4/min): whole cycles keep the loop seamless.
constexpr double kBreathHz = 36.0 / kSeconds;
constexpr double kFirstBeat = 0.45; // s; well past the detector's start-up refractory count
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// The detector's fixed rule on V2, used only to report the margins.
constexpr int kSlopeSpan = 3;

// splitmix64: tiny, well mixed and identical on every platform, unlike the std
// distributions whose output is left to the library.
class Prng {
public:
    explicit Prng(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // (0, 1]: never 0, so the logarithm below is finite.
    double uniform() { return (double(next() >> 11) + 1.0) * 0x1.0p-53; }

    double gaussian()
    {
        if (m_haveSpare) {
            m_haveSpare = false;
            return m_spare;
        }
        const double r = std::sqrt(-2.0 * std::log(uniform()));
        const double a = kTwoPi * uniform();
        m_spare = r * std::sin(a);
        m_haveSpare = true;
        return r * std::cos(a);
    }

private:
    std::uint64_t m_state;
    double m_spare = 0.0;
    bool m_haveSpare = false;
};

enum class Phase { Atrial, Ventricular, Repolarisation };

// One Gaussian bump: peak in mV, centre and width in seconds from the R peak in lead II.
struct Wave {
    Phase phase;
    double mv;
    double centre;
    double width;
};

struct LeadShape {
    std::vector<Wave> waves;
    double wanderMv;   // respiratory baseline wander, amplitude
    double wanderTurn; // its phase, in turns
    double humUnits;   // 50 Hz pick-up, amplitude in sample units
    double noiseUnits; // white noise, standard deviation in sample units
};

// Normal adult resting morphology. T waves are two bumps so the upstroke is slower than
// the downstroke. V2 has a small r and a deep S: its r-to-S downstroke is the edge the
// detector sees, and it must exceed the threshold twice over so the half-gain setting
// still detects; T and P stay far below it.
const std::array<LeadShape, kLeads> kShapes = {{
    {{{Phase::Atrial, 0.15, -0.165, 0.022},
      {Phase::Ventricular, -0.08, -0.028, 0.008},
      {Phase::Ventricular, 1.20, 0.000, 0.010},
      {Phase::Ventricular, -0.20, 0.026, 0.009},
      {Phase::Repolarisation, 0.26, 0.265, 0.042},
      {Phase::Repolarisation, 0.16, 0.310, 0.028}},
     0.15,
     0.00,
     4.0,
     1.2},
    {{{Phase::Atrial, 0.07, -0.160, 0.022},
      {Phase::Ventricular, 0.30, -0.014, 0.009},
      {Phase::Ventricular, -1.50, 0.016, 0.012},
      {Phase::Repolarisation, 0.30, 0.245, 0.050},
      {Phase::Repolarisation, 0.22, 0.300, 0.033}},
     0.10,
     0.30,
     0.0,
     1.2},
    {{{Phase::Atrial, 0.10, -0.162, 0.022},
      {Phase::Ventricular, -0.10, -0.022, 0.007},
      {Phase::Ventricular, 1.60, 0.004, 0.0105},
      {Phase::Ventricular, -0.25, 0.030, 0.009},
      {Phase::Repolarisation, 0.30, 0.270, 0.042},
      {Phase::Repolarisation, 0.22, 0.315, 0.028}},
     0.12,
     0.55,
     2.5,
     1.2},
}};

// Beyond this distance a bump is below 1e-6 of its peak.
constexpr double kWaveReach = 5.5;

struct Beat {
    double time;    // R peak in lead II, seconds from the first frame
    double rr;      // interval to the next beat
    double qrsGain; // breathing swings the electrical axis a little
};

std::vector<Beat> makeBeats(Prng& rng)
{
    // Respiratory sinus arrhythmia of +-5 % plus a little beat-to-beat jitter.
    std::vector<Beat> beats(kBeats);
    double t = kFirstBeat;
    double total = 0.0;
    for (Beat& b : beats) {
        const double breath = std::sin(kTwoPi * kBreathHz * t);
        b.time = t;
        b.rr = kMeanRr * (1.0 - 0.05 * breath) * (1.0 + 0.01 * rng.gaussian());
        b.qrsGain = 1.0 + 0.03 * breath + 0.01 * rng.gaussian();
        t += b.rr;
        total += b.rr;
    }
    // Stretch the intervals to exactly the recording length so the last beat leads into
    // the first one when playback loops.
    const double stretch = kSeconds / total;
    t = kFirstBeat;
    for (Beat& b : beats) {
        b.rr *= stretch;
        b.time = t;
        t += b.rr;
    }
    return beats;
}

int wrapFrame(long n)
{
    return int(((n % kFrames) + kFrames) % kFrames);
}

// Sample values before rounding, in units; the waveform wraps round the recording end.
std::array<std::vector<double>, kLeads> render(const std::vector<Beat>& beats, Prng& rng)
{
    std::array<std::vector<double>, kLeads> trace;
    for (auto& t : trace)
        t.assign(kFrames, 0.0);

    for (const Beat& b : beats) {
        // Repolarisation follows the rate (QT shortens on short intervals); PR does not.
        const double qtScale = std::sqrt(b.rr / kMeanRr);
        for (int lead = 0; lead < kLeads; ++lead) {
            for (const Wave& w : kShapes[std::size_t(lead)].waves) {
                double mv = w.mv;
                double centre = w.centre;
                double width = w.width;
                if (w.phase == Phase::Ventricular)
                    mv *= b.qrsGain;
                if (w.phase == Phase::Repolarisation) {
                    centre *= qtScale;
                    width *= qtScale;
                }
                const double at = b.time + centre;
                const long first = long(std::floor((at - kWaveReach * width) * kFrameRate));
                const long last = long(std::ceil((at + kWaveReach * width) * kFrameRate));
                for (long n = first; n <= last; ++n) {
                    const double z = (double(n) / kFrameRate - at) / width;
                    trace[std::size_t(lead)][std::size_t(wrapFrame(n))] +=
                        kUnitsPerMv * mv * std::exp(-0.5 * z * z);
                }
            }
        }
    }

    for (int lead = 0; lead < kLeads; ++lead) {
        const LeadShape& s = kShapes[std::size_t(lead)];
        auto& t = trace[std::size_t(lead)];
        for (int n = 0; n < kFrames; ++n) {
            const double sec = double(n) / kFrameRate;
            const double breath = kTwoPi * (kBreathHz * sec + s.wanderTurn);
            // A little second harmonic so the wander is not a pure sine.
            const double wander = s.wanderMv * (std::sin(breath) + 0.2 * std::sin(2.0 * breath));
            // 50 Hz at 200 frames/s is exactly four frames per cycle.
            const double hum = s.humUnits * std::sin(kTwoPi * (n % 4) / 4.0 + 0.4);
            t[std::size_t(n)] += kUnitsPerMv * wander + hum + s.noiseUnits * rng.gaussian();
        }
    }
    return trace;
}

int slopeAt(const std::vector<std::int16_t>& v2, int n)
{
    return std::abs(int(v2[std::size_t(n)]) - v2[std::size_t(wrapFrame(n - kSlopeSpan))]);
}

struct SlopeReport {
    std::vector<int> edges; // frame of the steepest V2 edge of each beat
    int minQrs = 0;         // weakest beat's steepest edge
    int maxQrs = 0;
    int maxElsewhere = 0; // outside every QRS
};

SlopeReport findEdges(const std::vector<Beat>& beats, const std::vector<std::int16_t>& v2)
{
    // The QRS spans roughly -50 ms .. +70 ms around the R peak in II.
    constexpr int kBefore = 10;
    constexpr int kAfter = 14;
    SlopeReport r;
    r.minQrs = 1 << 30;
    std::vector<bool> inQrs(kFrames, false);
    for (const Beat& b : beats) {
        const long centre = std::lround(b.time * kFrameRate);
        int best = -1;
        int bestSlope = -1;
        for (long n = centre - kBefore; n <= centre + kAfter; ++n) {
            const int f = wrapFrame(n);
            inQrs[std::size_t(f)] = true;
            const int s = slopeAt(v2, f);
            if (s > bestSlope) {
                bestSlope = s;
                best = f;
            }
        }
        r.edges.push_back(best);
        r.minQrs = std::min(r.minQrs, bestSlope);
        r.maxQrs = std::max(r.maxQrs, bestSlope);
    }
    for (int n = 0; n < kFrames; ++n) {
        if (!inQrs[std::size_t(n)])
            r.maxElsewhere = std::max(r.maxElsewhere, slopeAt(v2, n));
    }
    std::sort(r.edges.begin(), r.edges.end());
    return r;
}

void writeRecording(const QString& path, const std::array<std::vector<std::int16_t>, kLeads>& s)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw esf::FileError(path, QStringLiteral("apertura"), file.errorString());
    esf::LeWriter out(file, path);
    for (int n = 0; n < kFrames; ++n) {
        for (int lead = 0; lead < kLeads; ++lead)
            out.i16(s[std::size_t(lead)][std::size_t(n)]);
    }
    if (!file.flush())
        throw esf::FileError(path, QStringLiteral("escritura"), file.errorString());
}

void writeBeats(const QString& path, const std::vector<int>& edges)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        throw esf::FileError(path, QStringLiteral("apertura"), file.errorString());
    QByteArray text;
    for (int e : edges)
        text += QByteArray::number(e) + '\n';
    if (file.write(text) != text.size() || !file.flush())
        throw esf::FileError(path, QStringLiteral("escritura"), file.errorString());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: ecg-generator OUT.ecg [BEATS.txt]\n");
        return 2;
    }

    Prng rng(0x45C6'2007'0001'0001ULL);
    const std::vector<Beat> beats = makeBeats(rng);
    const auto trace = render(beats, rng);

    // Kept far inside +-16383 so even the doubled gain cannot overflow 16 bits.
    constexpr double kLimit = 4000.0;
    std::array<std::vector<std::int16_t>, kLeads> samples;
    for (int lead = 0; lead < kLeads; ++lead) {
        auto& out = samples[std::size_t(lead)];
        out.reserve(kFrames);
        for (double v : trace[std::size_t(lead)]) {
            if (std::abs(v) > kLimit) {
                std::fprintf(stderr, "ecg-generator: sample %.0f out of range\n", v);
                return 1;
            }
            out.push_back(std::int16_t(std::lround(v)));
        }
    }

    const SlopeReport slopes = findEdges(beats, samples[kV2]);
    double minRr = 1e9;
    double maxRr = 0.0;
    for (const Beat& b : beats) {
        minRr = std::min(minRr, b.rr);
        maxRr = std::max(maxRr, b.rr);
    }

    try {
        writeRecording(QString::fromLocal8Bit(argv[1]), samples);
        if (argc == 3)
            writeBeats(QString::fromLocal8Bit(argv[2]), slopes.edges);
    } catch (const esf::FileError& e) {
        std::fprintf(stderr, "ecg-generator: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }

    std::printf("%d frames, %d beats, rate %.1f..%.1f/min\n", kFrames, kBeats, 60.0 / maxRr,
                60.0 / minRr);
    for (int lead = 0; lead < kLeads; ++lead) {
        const auto& s = samples[std::size_t(lead)];
        const auto [lo, hi] = std::minmax_element(s.begin(), s.end());
        std::printf("lead %d: %d..%d units\n", lead, int(*lo), int(*hi));
    }
    std::printf("V2 3-frame change: QRS %d..%d, elsewhere at most %d\n", slopes.minQrs,
                slopes.maxQrs, slopes.maxElsewhere);
    return 0;
}

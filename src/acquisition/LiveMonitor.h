#pragma once

#include "acquisition/DisplayFilter.h"
#include "acquisition/DisplaySettings.h"
#include "acquisition/EcgRing.h"
#include "acquisition/SampleSource.h"
#include "signal/BeatDetector.h"
#include "signal/QrsAverage.h"

#include <array>

namespace esf {

// Where the per-frame results go: the main window draws them, the command line prints them.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    // One (possibly filtered) sample, in frame order, lead 0 first.
    virtual void traceSample(int value, int lead) = 0;
    virtual void beatFlagChanged(bool visible) = 0;
    // Once a second: the heart-rate text.
    virtual void heartRateRefresh(int heartRate) = 0;
    // The average changed: redraw the QRS box.
    virtual void qrsAverageUpdated() = 0;
};

struct FrameReport {
    std::array<int, kLeadCount> shown{};
    bool heartRateRefresh = false;
    bool qrsUpdate = false;
};

// The live signal path: gain scaling, ring buffers, display filter, beat detection and
// the running QRS average. One instance, owned by the main window (or the command line).
class LiveMonitor {
public:
    static constexpr int kFramesPerTick = 10; // 50 ms of signal per 50 ms tick
    static constexpr int kRateRefreshFrames = 200;

    DisplaySettings settings;
    bool averagingOn = true; // "Promediar QRS"
    EcgRing ring;
    std::array<FilterMemory, kLeadCount> filters{};
    BeatDetector beats;
    QrsAverage qrs;

    FrameReport processFrame(const RawFrame& raw, FrameSink* sink);
    // Exactly ten frames whatever time has passed: late ticks slow playback, never skip.
    void tick(SampleSource& source, FrameSink* sink);
};

// Gain scaling held as a signed 16-bit value; out-of-range products saturate.
std::int16_t scaleSample(std::int16_t raw, double gain);

} // namespace esf

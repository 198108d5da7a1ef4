#include "acquisition/LiveMonitor.h"

#include "common/Rounding.h"

namespace esf {

std::int16_t scaleSample(std::int16_t raw, double gain)
{
    return saturateInt16(roundHalfEven(raw * gain));
}

FrameReport LiveMonitor::processFrame(const RawFrame& raw, FrameSink* sink)
{
    FrameReport report;
    ring.writeIndex = (ring.writeIndex + 1) % kRingLength;
    const auto w = static_cast<std::size_t>(ring.writeIndex);
    for (int lead = 0; lead < kLeadCount; ++lead) {
        const auto l = static_cast<std::size_t>(lead);
        const std::int16_t s = scaleSample(raw[l], settings.gain());
        ring.samples[l][w] = s;
        int d = s;
        if (settings.filterOn)
            d = filterSample(filters[l], s);
        if (lead == BeatDetector::kDetectionLead) {
            const bool before = beats.beatFlag;
            beats.detect(ring, ring.writeIndex);
            if (sink && before != beats.beatFlag)
                sink->beatFlagChanged(beats.beatFlag);
        }
        report.shown[l] = d;
        if (sink)
            sink->traceSample(d, lead);
    }
    if (ring.writeIndex % kRateRefreshFrames == 0) {
        report.heartRateRefresh = true;
        if (sink)
            sink->heartRateRefresh(beats.heartRate);
    }
    if (averagingOn && beats.beatCounter == QrsAverage::kUpdateDelay) {
        qrs.update(ring, ring.writeIndex, beats.beatCounter);
        report.qrsUpdate = true;
        if (sink)
            sink->qrsAverageUpdated();
    }
    return report;
}

void LiveMonitor::tick(SampleSource& source, FrameSink* sink)
{
    if (!source.isOpen())
        return;
    for (int i = 0; i < kFramesPerTick; ++i)
        processFrame(source.nextFrame(), sink);
}

} // namespace esf

#include "FuzzTarget.h"
#include "acquisition/LiveMonitor.h"

using namespace esf;

// The recording played as the workstation plays it, for a bounded number of ticks; the
// first byte chooses gain and filter.
int fuzzOne(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QString path = fuzz::writeInput(QStringLiteral("ECG-1.ecg"), data + 1, size - 1);
    SampleSource source;
    const bool opened = source.open(path);
    fuzz::require(opened == (size - 1 >= kFrameBytes), "whole frames refused or none accepted");
    if (!opened)
        return 0;
    LiveMonitor monitor;
    monitor.settings.gainIndex = static_cast<std::uint8_t>(data[0] & 7);
    monitor.settings.filterOn = (data[0] & 8) != 0;
    for (int tick = 0; tick < 300; ++tick)
        monitor.tick(source, nullptr);
    return 0;
}

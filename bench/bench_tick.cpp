// The workstation's sample tick, timed one by one: ten frames read from a recording, gain and
// rings, display filter, beat detection, the QRS average and its box, the heart-rate text and
// the sweep drawing on a 1920 × 1000 image. Prints the median and 99th percentile.
//
//   bench_tick [--paced] [--ticks N] [--speed 10|25|50] [--no-filter] [--gain 0|1|2]
//              [--digest] [RECORDING]
//
// --paced waits for the real 50 ms rhythm between ticks, as the running program does (colder
// caches); without it the ticks run back to back. --digest prints a checksum of every drawn
// area instead of timing, to prove a speed change leaves the images byte-identical. Besides the
// elapsed time it reports the thread's CPU time per tick, which leaves out the time other
// programs on a busy machine took the core away.

#include "acquisition/LiveMonitor.h"
#include "acquisition/SampleSource.h"
#include "display/QrsBox.h"
#include "display/SweepDisplay.h"

#include <QCryptographicHash>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <thread>
#include <utility>
#include <vector>

using namespace esf;

namespace {

using Clock = std::chrono::steady_clock;

double threadCpuUs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

constexpr int kSweepWidth = 1920;
constexpr int kSweepHeight = 1000;
// The QRS box beside a 1920 × 1000 sweep: the data column less the rate, pressure and stage
// boxes and the scroll bar.
constexpr int kQrsWidth = 138;
constexpr int kQrsHeight = 640;
constexpr int kTickMs = 50;
constexpr int kWarmUpTicks = 20;

struct Options {
    QString recording = QStringLiteral(ESF_DEFAULT_RECORDING);
    bool paced = false;
    bool digest = false;
    int ticks = 0; // 0: 1200 paced (one minute), 20000 back to back
    int speedIndex = 1;
    int gainIndex = 1;
    bool filter = true;
};

// What the main window does with each frame's results, minus the widgets.
class TickSink : public FrameSink {
public:
    TickSink(SweepDisplay& sweep, LiveMonitor& monitor) : m_sweep(sweep), m_monitor(monitor)
    {
        m_qrsImage = QImage(kQrsWidth, kQrsHeight, QImage::Format_RGB32);
        drawBox();
    }

    void traceSample(int value, int lead) override { m_sweep.drawTraceSample(value, lead); }
    void beatFlagChanged(bool visible) override { m_beatShown = visible; }
    void heartRateRefresh(int heartRate) override
    {
        const QString text = QString::number(heartRate);
        if (text != m_rateText)
            m_rateText = text;
    }
    void qrsAverageUpdated() override
    {
        const SweepGeometry& g = m_sweep.geometry();
        restoreQrsBox(m_qrsImage, g.bigDiv, kFace, m_averageArea);
        QPainter p(&m_qrsImage);
        const int q = kQrsHeight / 4;
        m_averageArea = drawQrsAverage(p, m_monitor.qrs.values, {q, 2 * q, 3 * q}, g.pxPerSample,
                                       g.pxPerUnit, 0);
        m_qrsChanged = true;
    }

    const QImage& qrsImage() const { return m_qrsImage; }
    bool takeQrsChanged() { return std::exchange(m_qrsChanged, false); }

private:
    void drawBox()
    {
        restoreQrsBox(m_qrsImage, m_sweep.geometry().bigDiv, kFace, m_qrsImage.rect());
    }

    SweepDisplay& m_sweep;
    LiveMonitor& m_monitor;
    QImage m_qrsImage;
    QString m_rateText;
    bool m_beatShown = false;
    bool m_qrsChanged = false;
    QRegion m_averageArea;
    static inline const QColor kFace = QColor(240, 240, 240);
};

void addArea(QCryptographicHash& hash, const QImage& image, const QRect& area)
{
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        hash.addData(QByteArrayView(image.constScanLine(y) + r.left() * 4, r.width() * 4));
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const auto n = static_cast<double>(v.size());
    const auto rank = static_cast<std::size_t>(std::max(std::ceil(p * n) - 1.0, 0.0));
    return v[std::min(rank, v.size() - 1)];
}

bool parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        const bool hasValue = i + 1 < argc;
        if (a == QLatin1String("--paced")) {
            o.paced = true;
        } else if (a == QLatin1String("--digest")) {
            o.digest = true;
        } else if (a == QLatin1String("--no-filter")) {
            o.filter = false;
        } else if (a == QLatin1String("--ticks") && hasValue) {
            o.ticks = std::max(QString::fromLocal8Bit(argv[++i]).toInt(), 1);
        } else if (a == QLatin1String("--gain") && hasValue) {
            o.gainIndex = std::clamp(QString::fromLocal8Bit(argv[++i]).toInt(), 0, 2);
        } else if (a == QLatin1String("--speed") && hasValue) {
            const int speed = QString::fromLocal8Bit(argv[++i]).toInt();
            const auto* it = std::find(kSpeedTable.begin(), kSpeedTable.end(), speed);
            if (it == kSpeedTable.end())
                return false;
            o.speedIndex = static_cast<int>(it - kSpeedTable.begin());
        } else if (!a.startsWith(QLatin1String("--"))) {
            o.recording = a;
        } else {
            return false;
        }
    }
    if (o.ticks == 0)
        o.ticks = o.digest ? 3000 : o.paced ? 1200 : 20000;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "uso: bench_tick [--paced] [--ticks N] [--speed 10|25|50] "
                             "[--no-filter] [--gain 0|1|2] [--digest] [ARCHIVO]\n");
        return 2;
    }
    SampleSource source;
    if (!source.open(o.recording)) {
        std::fprintf(stderr, "bench_tick: no se puede leer %s\n", qPrintable(o.recording));
        return 1;
    }
    LiveMonitor monitor;
    monitor.settings.filterOn = o.filter;
    monitor.settings.speedIndex = static_cast<std::uint8_t>(o.speedIndex);
    monitor.settings.gainIndex = static_cast<std::uint8_t>(o.gainIndex);
    SweepDisplay sweep;
    sweep.resize(kSweepWidth, kSweepHeight, kQrsHeight);
    sweep.drawGrid(monitor.settings.speed());
    TickSink sink(sweep, monitor);
    QImage screen(kSweepWidth, kSweepHeight, QImage::Format_RGB32);
    screen.fill(Qt::black);

    QCryptographicHash hash(QCryptographicHash::Sha1);
    std::vector<double> tickUs;
    std::vector<double> repaintUs;
    std::vector<double> cpuUs;
    tickUs.reserve(static_cast<std::size_t>(o.ticks));
    cpuUs.reserve(static_cast<std::size_t>(o.ticks));
    repaintUs.reserve(static_cast<std::size_t>(o.ticks));
    auto next = Clock::now();
    for (int t = -kWarmUpTicks; t < o.ticks; ++t) {
        if (o.paced) {
            next += std::chrono::milliseconds(kTickMs);
            std::this_thread::sleep_until(next);
        }
        const double cpuStart = threadCpuUs();
        const auto start = Clock::now();
        monitor.tick(source, &sink);
        const QRegion dirty = sweep.takeDirtyRegion();
        const auto ticked = Clock::now();
        const double cpuTicked = threadCpuUs();
        // What the window's paint event then copies to the screen.
        {
            QPainter p(&screen);
            for (const QRect& r : dirty)
                p.drawImage(r, sweep.image(), r);
        }
        const auto painted = Clock::now();
        if (o.digest) {
            addArea(hash, sweep.image(), dirty.boundingRect());
            if (t % 50 == 0)
                addArea(hash, sweep.image(), sweep.image().rect());
            if (sink.takeQrsChanged())
                addArea(hash, sink.qrsImage(), sink.qrsImage().rect());
        }
        if (t >= 0) {
            tickUs.push_back(std::chrono::duration<double, std::micro>(ticked - start).count());
            cpuUs.push_back(cpuTicked - cpuStart);
            repaintUs.push_back(
                std::chrono::duration<double, std::micro>(painted - ticked).count());
        }
    }
    if (o.digest) {
        std::printf("%s\n", hash.result().toHex().constData());
        return 0;
    }
    std::printf("%d ticks %s, %d mm/s, filter %s, gain index %d, %s\n", o.ticks,
                o.paced ? "paced at 50 ms" : "back to back", kSpeedTable[std::size_t(o.speedIndex)],
                o.filter ? "on" : "off", o.gainIndex, qPrintable(o.recording));
    std::printf("tick     median %7.1f us  p99 %7.1f us  max %8.1f us\n", percentile(tickUs, 0.5),
                percentile(tickUs, 0.99), percentile(tickUs, 1.0));
    std::printf("tick CPU median %7.1f us  p99 %7.1f us  max %8.1f us\n", percentile(cpuUs, 0.5),
                percentile(cpuUs, 0.99), percentile(cpuUs, 1.0));
    std::printf("repaint  median %7.1f us  p99 %7.1f us  max %8.1f us\n",
                percentile(repaintUs, 0.5), percentile(repaintUs, 0.99),
                percentile(repaintUs, 1.0));
    return 0;
}

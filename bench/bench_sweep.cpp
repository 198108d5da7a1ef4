#include "display/QrsBox.h"
#include "display/SweepDisplay.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <array>
#include <cstdint>

using namespace esf;

namespace {

// One sample timer tick: ten frames of three leads.
constexpr int kFramesPerTick = 10;

// A spiky, repeating signal so the segments are not all flat.
int sampleAt(int frame, int lead)
{
    const int phase = (frame + lead * 37) % 160;
    if (phase < 8)
        return phase * 60;
    if (phase < 16)
        return (16 - phase) * 60 - 120;
    return (phase % 40) - 20;
}

} // namespace

class BenchSweep : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tick_data();
    void tick();
    void fullGrid();
    void qrsBoxUpdate();
};

void BenchSweep::tick_data()
{
    QTest::addColumn<int>("speed");
    QTest::newRow("10 mm/s") << 10;
    QTest::newRow("25 mm/s") << 25;
    QTest::newRow("50 mm/s") << 50;
}

void BenchSweep::tick()
{
    QFETCH(int, speed);
    SweepDisplay display;
    display.resize(1600, 900, 250);
    display.drawGrid(speed);
    int frame = 0;
    QBENCHMARK
    {
        for (int i = 0; i < kFramesPerTick; ++i, ++frame)
            for (int lead = 0; lead < 3; ++lead)
                display.drawTraceSample(sampleAt(frame, lead), lead);
        display.takeDirtyRect();
    }
}

void BenchSweep::fullGrid()
{
    SweepDisplay display;
    display.resize(1600, 900, 250);
    QBENCHMARK
    {
        display.drawGrid(25);
    }
}

void BenchSweep::qrsBoxUpdate()
{
    const SweepGeometry g = computeSweepGeometry(1600, 900, 250, 25);
    std::array<std::array<std::int32_t, 201>, 3> avg{};
    for (int lead = 0; lead < 3; ++lead)
        for (int i = 0; i < 201; ++i)
            avg[static_cast<std::size_t>(lead)][static_cast<std::size_t>(i)] =
                sampleAt(i + 92, lead);
    QImage box(300, 250, QImage::Format_RGB32);
    QBENCHMARK
    {
        QPainter painter(&box);
        drawQrsBox(painter, box.width(), box.height(), g.bigDiv, QColor(240, 240, 240));
        drawQrsAverage(painter, avg, g.qrsBaseline, g.pxPerSample, g.pxPerUnit, 0);
    }
}

QTEST_MAIN(BenchSweep)
#include "bench_sweep.moc"

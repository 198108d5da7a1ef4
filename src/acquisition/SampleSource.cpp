#include "acquisition/SampleSource.h"

#include "common/BinaryIO.h"
#include "common/FileNames.h"
#include "common/SoftAssert.h"

namespace esf {

bool SampleSource::open(const QString& path)
{
    close();
    auto file = std::make_unique<QFile>(path);
    if (!file->exists() || !tryOpenRegularFile(*file, QIODevice::ReadOnly))
        return false;
    return open(std::move(file));
}

bool SampleSource::open(std::unique_ptr<QIODevice> device)
{
    close();
    if (!device || !device->isOpen() || device->isSequential())
        return false;
    const std::int64_t frames = device->size() / kFrameBytes;
    if (frames <= 0 || !device->seek(0))
        return false;
    m_device = std::move(device);
    m_frames = frames;
    m_position = 0;
    return true;
}

void SampleSource::close()
{
    m_device.reset();
    m_frames = 0;
    m_position = 0;
}

RawFrame SampleSource::nextFrame()
{
    RawFrame frame{};
    ESF_ASSERT(m_device, return frame);
    char buf[kFrameBytes];
    if (m_device->read(buf, kFrameBytes) != kFrameBytes) {
        // The file shrank or failed under us: start over rather than stop the trace.
        ESF_ASSERT(m_device->seek(0), return frame);
        m_position = 0;
        ESF_ASSERT(m_device->read(buf, kFrameBytes) == kFrameBytes, return frame);
    }
    for (int lead = 0; lead < 3; ++lead)
        frame[static_cast<std::size_t>(lead)] = readI16(buf + 2 * lead);
    if (++m_position >= m_frames) {
        m_position = 0;
        m_device->seek(0);
    }
    return frame;
}

} // namespace esf

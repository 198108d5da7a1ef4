#include "acquisition/SampleSource.h"

#include "common/BinaryIO.h"
#include "common/FileNames.h"
#include "common/SoftAssert.h"

#include <algorithm>

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
    m_next = m_filled = 0;
    return true;
}

void SampleSource::close()
{
    m_device.reset();
    m_frames = 0;
    m_position = 0;
    m_next = m_filled = 0;
}

RawFrame SampleSource::nextFrame()
{
    RawFrame frame{};
    ESF_ASSERT(m_device, return frame);
    if (m_next == m_filled && !refill())
        return frame;
    const char* buf = m_buffer.data() + std::size_t(m_next) * kFrameBytes;
    ++m_next;
    for (int lead = 0; lead < 3; ++lead)
        frame[static_cast<std::size_t>(lead)] = readI16(buf + 2 * lead);
    if (++m_position >= m_frames) {
        m_position = 0;
        m_next = m_filled = 0;
        m_device->seek(0);
    }
    return frame;
}

// The next whole frames up to the end of the recording, never the torn tail.
bool SampleSource::refill()
{
    m_next = m_filled = 0;
    const auto wanted = [this] {
        return std::min<std::int64_t>(kBufferFrames, m_frames - m_position) * kFrameBytes;
    };
    std::int64_t got = m_device->read(m_buffer.data(), wanted());
    if (got < kFrameBytes) {
        // The file shrank or failed under us: start over rather than stop the trace.
        ESF_ASSERT(m_device->seek(0), return false);
        m_position = 0;
        got = m_device->read(m_buffer.data(), wanted());
        ESF_ASSERT(got >= kFrameBytes, return false);
    }
    if (got % kFrameBytes != 0)
        m_device->seek(m_device->pos() - got % kFrameBytes); // the next read starts on a frame
    m_filled = static_cast<int>(got / kFrameBytes);
    return true;
}

} // namespace esf

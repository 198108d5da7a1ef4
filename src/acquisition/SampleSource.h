#pragma once

#include <QFile>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>

namespace esf {

inline constexpr int kFrameBytes = 6; // three signed 16-bit little-endian samples
using RawFrame = std::array<std::int16_t, 3>;

// The recorded sample file played in an endless loop. A trailing partial frame counts
// as the end of the recording, so a damaged file still loops instead of failing.
class SampleSource {
public:
    // Closes any earlier opening and opens path at its first byte. False when the file
    // is missing, unreadable or holds no whole frame: then nothing is played.
    bool open(const QString& path);
    // Same, on a device the caller hands over (tests, the command line).
    bool open(std::unique_ptr<QIODevice> device);
    void close();
    bool isOpen() const { return m_device != nullptr; }

    std::int64_t frameCount() const { return m_frames; }
    // The next frame; back to the first byte after the last whole frame.
    RawFrame nextFrame();

private:
    // Frames are read a block at a time: one read per frame costs more than the signal path.
    static constexpr int kBufferFrames = 1000;

    bool refill();

    std::unique_ptr<QIODevice> m_device;
    std::int64_t m_frames = 0;
    std::int64_t m_position = 0; // frame about to be returned
    std::array<char, kBufferFrames * kFrameBytes> m_buffer{};
    int m_next = 0;   // frame of the buffer about to be returned
    int m_filled = 0; // whole frames in the buffer
};

} // namespace esf

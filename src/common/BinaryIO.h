#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <cstdint>

namespace esf {

// Field-by-field little-endian reading. Every shortfall throws FileError naming the file.
class LeReader {
public:
    LeReader(QIODevice& dev, QString fileName);

    std::uint8_t u8();
    std::int16_t i16();
    std::int32_t i32();
    float f32();
    // string[n]: one length byte and n bytes; a length above n is clipped to n.
    QString str(int n);
    QByteArray bytes(int n);
    void skip(int n);

private:
    void need(int n, char* out);
    QIODevice& m_dev;
    QString m_fileName;
};

class LeWriter {
public:
    LeWriter(QIODevice& dev, QString fileName);

    void u8(std::uint8_t v);
    void i16(std::int16_t v);
    void i32(std::int32_t v);
    void f32(float v);
    // string[n]: text longer than n is cut; unused bytes are written as zero.
    void str(const QString& text, int n);
    void bytes(const QByteArray& b);

private:
    QIODevice& m_dev;
    QString m_fileName;
};

// Pure helpers for in-memory buffers (no device).
std::int16_t readI16(const char* p);
std::int32_t readI32(const char* p);
QByteArray encodeString(const QString& text, int n);

} // namespace esf

#include "common/BinaryIO.h"

#include "common/Cp1252.h"
#include "common/FileError.h"

#include <bit>
#include <cstring>

namespace esf {

std::int16_t readI16(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(u[0] | (u[1] << 8)));
}

std::int32_t readI32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    const std::uint32_t v = std::uint32_t(u[0]) | (std::uint32_t(u[1]) << 8) |
                            (std::uint32_t(u[2]) << 16) | (std::uint32_t(u[3]) << 24);
    return static_cast<std::int32_t>(v);
}

QByteArray encodeString(const QString& text, int n)
{
    QByteArray chars = cp1252::encode(text.left(n));
    QByteArray out(n + 1, '\0');
    out[0] = static_cast<char>(chars.size());
    std::memcpy(out.data() + 1, chars.constData(), static_cast<std::size_t>(chars.size()));
    return out;
}

LeReader::LeReader(QIODevice& dev, QString fileName) : m_dev(dev), m_fileName(std::move(fileName))
{
}

void LeReader::need(int n, char* out)
{
    const qint64 got = m_dev.read(out, n);
    if (got != n) {
        throw FileError(m_fileName, QStringLiteral("lectura"),
                        got < 0 ? m_dev.errorString()
                                : QStringLiteral("el archivo termina antes de lo esperado"));
    }
}

std::uint8_t LeReader::u8()
{
    char b = 0;
    need(1, &b);
    return static_cast<std::uint8_t>(b);
}

std::int16_t LeReader::i16()
{
    char b[2];
    need(2, b);
    return readI16(b);
}

std::int32_t LeReader::i32()
{
    char b[4];
    need(4, b);
    return readI32(b);
}

float LeReader::f32()
{
    return std::bit_cast<float>(static_cast<std::uint32_t>(i32()));
}

QString LeReader::str(int n)
{
    const QByteArray raw = bytes(n + 1);
    const int len = qMin(static_cast<int>(static_cast<unsigned char>(raw[0])), n);
    return cp1252::decode(raw.mid(1, len));
}

QByteArray LeReader::bytes(int n)
{
    QByteArray out(n, '\0');
    if (n > 0)
        need(n, out.data());
    return out;
}

void LeReader::skip(int n)
{
    bytes(n);
}

LeWriter::LeWriter(QIODevice& dev, QString fileName) : m_dev(dev), m_fileName(std::move(fileName))
{
}

void LeWriter::bytes(const QByteArray& b)
{
    if (m_dev.write(b) != b.size())
        throw FileError(m_fileName, QStringLiteral("escritura"), m_dev.errorString());
}

void LeWriter::u8(std::uint8_t v)
{
    bytes(QByteArray(1, static_cast<char>(v)));
}

void LeWriter::i16(std::int16_t v)
{
    const auto u = static_cast<std::uint16_t>(v);
    const char b[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    bytes(QByteArray(b, 2));
}

void LeWriter::i32(std::int32_t v)
{
    const auto u = static_cast<std::uint32_t>(v);
    const char b[4] = {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                       static_cast<char>((u >> 16) & 0xFF), static_cast<char>(u >> 24)};
    bytes(QByteArray(b, 4));
}

void LeWriter::f32(float v)
{
    i32(static_cast<std::int32_t>(std::bit_cast<std::uint32_t>(v)));
}

void LeWriter::str(const QString& text, int n)
{
    bytes(encodeString(text, n));
}

} // namespace esf

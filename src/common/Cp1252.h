#pragma once

#include <QByteArray>
#include <QString>

namespace esf::cp1252 {

// Text in files is Windows-1252. The five undefined bytes map to the C1 control
// characters of the same value so every byte survives a round trip.
QString decode(const QByteArray& bytes);
// Characters with no Windows-1252 byte become '?'.
QByteArray encode(const QString& text);
char encodeChar(QChar c);
QChar decodeChar(unsigned char b);

} // namespace esf::cp1252

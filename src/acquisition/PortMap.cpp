#include "acquisition/PortMap.h"

#include "common/FileNames.h"

#include <QFile>

#include <optional>

namespace esf {

namespace {

// The file holds a handful of lines; anything past this is not a port map, and reading it
// whole could exhaust memory (or never end, if the name points at a device).
constexpr qint64 kMaxFileBytes = 64 * 1024;

// COM number of "COMn" (any case, surrounding blanks ignored), n in 1..256.
std::optional<int> comNumber(QStringView name)
{
    name = name.trimmed();
    if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return std::nullopt;
    const QStringView digits = name.mid(3);
    if (digits.isEmpty())
        return std::nullopt;
    // toInt alone would also take "+1" or " 1".
    for (QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const int number = digits.toInt(&ok);
    if (!ok || number < 1 || number > kMaxPortIndex + 1)
        return std::nullopt;
    return number;
}

// Control characters mean a binary or damaged file; U+FFFD means bytes that were not UTF-8
// and so could not name the device the file meant.
bool isUsableDevicePath(const QString& path)
{
    if (path.isEmpty())
        return false;
    for (QChar c : path) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == QChar::ReplacementCharacter)
            return false;
    }
    return true;
}

} // namespace

QString portName(int portIndex)
{
    if (portIndex < 0 || portIndex > kMaxPortIndex)
        return {};
    return QStringLiteral("COM%1").arg(portIndex + 1);
}

PortMap PortMap::load(const QDir& workDir)
{
    QFile file(resolveCaseInsensitive(workDir, QStringLiteral("Puertos.txt")));
    if (!tryOpenRegularFile(file, QIODevice::ReadOnly))
        return {};
    return parse(file.read(kMaxFileBytes));
}

PortMap PortMap::parse(QByteArrayView text)
{
    PortMap map;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const QString line = QString::fromUtf8(text.sliced(start, end - start));
        start = end + 1;

        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const std::optional<int> number = comNumber(QStringView(line).first(eq));
        const QString device = line.mid(eq + 1).trimmed();
        if (!number || !isUsableDevicePath(device))
            continue;
        map.m_remapped.insert(*number, device);
    }
    return map;
}

QString PortMap::devicePath(const QString& portName) const
{
    const std::optional<int> number = comNumber(portName);
    if (!number)
        return {};
    const auto it = m_remapped.constFind(*number);
    if (it != m_remapped.cend())
        return *it;
    return QStringLiteral("/dev/ttyS%1").arg(*number - 1);
}

} // namespace esf

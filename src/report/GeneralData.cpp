#include "report/GeneralData.h"

#include "common/Cp1252.h"
#include "common/FileError.h"
#include "common/FileNames.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <array>

namespace esf {
namespace {

// The fields in file order; D is GeneralData or const GeneralData.
template <class D> auto fields(D& d)
{
    return std::array{&d.institution,  &d.address,   &d.telephone, &d.physician, &d.loadUnit,
                      &d.pressureUnit, &d.speedUnit, &d.rateUnit,  &d.slopeUnit, &d.logo};
}

QString existingPath(const QString& path)
{
    const QFileInfo info(path);
    return resolveCaseInsensitive(info.dir(), info.fileName());
}

} // namespace

GeneralData readGeneralData(const QString& path)
{
    GeneralData d;
    const QString resolved = existingPath(path);
    if (!QFileInfo::exists(resolved))
        return d;
    QFile file(resolved);
    openRegularFile(file, QIODevice::ReadOnly, QStringLiteral("apertura"));
    // Only what ten bounded lines can hold: a huge file costs no more than a normal one.
    const QByteArray bytes = file.read(10 * (kGeneralDataLineBytes + 2));
    if (file.error() != QFileDevice::NoError)
        throw FileError(resolved, QStringLiteral("lectura"), file.errorString());

    // Files edited by hand elsewhere may end lines with LF alone or leave the last one open.
    qsizetype start = 0;
    for (QString* field : fields(d)) {
        if (start >= bytes.size())
            break;
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        const qsizetype next = end + 1;
        if (end > start && bytes.at(end - 1) == '\r')
            --end;
        *field = cp1252::decode(
            bytes.mid(start, std::min<qsizetype>(end - start, kGeneralDataLineBytes)));
        start = next;
    }
    return d;
}

void writeGeneralData(const QString& path, const GeneralData& d)
{
    QByteArray bytes;
    for (const QString* field : fields(d))
        bytes += cp1252::encode(*field) + "\r\n";

    const QString target = existingPath(path);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(target, QStringLiteral("creación"), file.errorString());
    if (file.write(bytes) != bytes.size() || !commitWhole(file))
        throw FileError(target, QStringLiteral("escritura"), file.errorString());
}

void loadUnits(const QString& path, UnitTexts& units)
{
    if (!QFileInfo::exists(existingPath(path)))
        return;
    const GeneralData d = readGeneralData(path);
    // The old reader read lines 1 to 5 all into the load unit, so only line 5 is left there,
    // and a file shorter than five lines leaves it empty.
    units.load = d.loadUnit;
    units.pressure = d.pressureUnit;
    units.speed = d.speedUnit;
    units.rate = d.rateUnit;
    units.slope = d.slopeUnit;
}

} // namespace esf

#pragma once

#include "report/UnitTexts.h"

#include <QString>

namespace esf {

inline const QString kGeneralDataFileName = QStringLiteral("Datosgen.txt");

// The institution's details for the report header and the five unit labels.
struct GeneralData { // the ten lines, in file order
    QString institution, address, telephone, physician, loadUnit, pressureUnit, speedUnit, rateUnit,
        slopeUnit, logo;
    bool operator==(const GeneralData&) const = default;
};

// Longer lines are cut: only the start of the file is ever read.
inline constexpr int kGeneralDataLineBytes = 4096;

// What the telephone field holds when nothing was typed in it.
inline const QString kEmptyTelephone = QStringLiteral("(   )        ");

// Ten lines, Windows-1252, CR LF; fewer lines read as empty texts; LF-only and a missing last
// line end are accepted. At most ten lines' worth of bytes is read, each line cut to its bound.
// Throws FileError when the file exists but cannot be read. A missing file reads as ten empty
// texts. Here and below, a file whose name differs from the path's only in case stands in for it,
// as with files copied from older installations.
GeneralData readGeneralData(const QString& path);
// Writes the ten lines whole (QSaveFile), CR LF each. Throws FileError.
void writeGeneralData(const QString& path, const GeneralData& d);
// The unit copies the way the old reader filled them: lines 1..5 each into the load unit (so
// line 5 remains), 6 pressure, 7 speed, 8 rate, 9 slope; a missing file leaves `units` as it is.
// Throws FileError, leaving `units` as it is, when the file exists but cannot be read.
void loadUnits(const QString& path, UnitTexts& units);

} // namespace esf

#pragma once

#include <QString>

namespace esf {

// Stamped into every patient file written; compared byte by byte with older versions.
inline const QString kSoftwareVersion = QStringLiteral("2007.1.1");
inline const QString kProductTitle = QStringLiteral("Esfuerzo - Prueba ergométrica");

} // namespace esf

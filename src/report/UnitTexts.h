#pragma once

#include <QString>

namespace esf {

// Labels appended to values; nothing is ever converted between units.
struct UnitTexts {
    QString load = QStringLiteral("[Wats]");
    QString pressure = QStringLiteral("[mmHg]");
    QString speed = QStringLiteral("[Km/h]");
    QString rate = QStringLiteral("[Lpm]");
    QString slope = QStringLiteral("[%]");
};

} // namespace esf

#pragma once

#include <QString>

namespace esf {

// Labels appended to values; nothing is ever converted between units. Empty until the
// general data file has been read.
struct UnitTexts {
    QString load;
    QString pressure;
    QString speed;
    QString rate;
    QString slope;
};

} // namespace esf
